#include "hosts/wincon/console_control.h"

#include <cstdio>

#include <windows.h>

namespace wincon {

namespace {

std::atomic<std::atomic<unsigned>*> stopFlag{nullptr};
std::atomic<int> controlStatus{0};

// Runs on a thread the system starts for the event. For closing, logging off
// and shutting down, the system ends the process as soon as this returns (or
// after some seconds): it waits here while the main thread cleans up and
// exits with the status.
BOOL WINAPI onControl(DWORD type)
{
    const bool closing = type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
    int none = 0;
    controlStatus.compare_exchange_strong(none, closing ? CONSOLE_CLOSED_STATUS : CONTROL_C_STATUS);
    if (std::atomic<unsigned>* flag = stopFlag.load()) flag->store(1);
    if (closing) Sleep(INFINITE);  // ended by the main thread's exit
    return TRUE;
}

}  // namespace

void catchConsoleControl(std::atomic<unsigned>* flag)
{
    stopFlag.store(flag);
    static const bool installed = SetConsoleCtrlHandler(onControl, TRUE) != 0;
    (void)installed;
}

void endByConsoleControl()
{
    const int status = controlStatus.load();
    if (status == 0) return;
    std::fflush(nullptr);
    ExitProcess(UINT(status));
}

int consoleControlStatus() { return controlStatus.load(); }

}  // namespace wincon
