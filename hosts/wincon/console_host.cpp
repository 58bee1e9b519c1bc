// The console host for a Windows console: a screen buffer of the demo's own,
// made active with the title and 80 by 50 cells, the whole buffer written in
// one WriteConsoleOutputW a frame, Escape read from the console's input events
// by a thread of its own. The console is given back as it was found (see
// console_snapshot.h) on every way out: the end, Escape, the control events,
// exit() and a crash.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <windows.h>

#include "hosts/wincon/console_cells.h"
#include "hosts/wincon/console_control.h"
#include "hosts/wincon/console_state.h"
#include "hosts/wincon/wincon_app.h"

namespace wincon {

std::atomic<unsigned> stopRequested{0};
ConsoleState console;

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t TITLE[] = L"Norq - Murl #13";
// Not always in the headers: a timer that wakes to the tick of the clock, not
// of the scheduler (Windows 10 1803 and later; older ones make a plain one).
constexpr DWORD HIGH_RESOLUTION_TIMER = 0x00000002;

Clock::duration framePeriod = std::chrono::microseconds(1000000 / 60);
Clock::time_point lastFrame;
HANDLE frameTimer = nullptr;
std::thread inputThread;

void closeAtExit() { closeConsole(); }

// The console back as it was: the input mode, the original screen buffer
// active again, its size, text, window, cursor and the title. Once per run;
// only console calls, so that a crash can do it too.
void giveConsoleBack()
{
    if (console.givenBack.exchange(true)) return;
    if (console.inputModeSaved) SetConsoleMode(console.input, console.inputMode);
    if (console.ownBuffer) SetConsoleActiveScreenBuffer(console.original);
    restoreConsole(console.original, console.snapshot);
}

LONG WINAPI onCrash(EXCEPTION_POINTERS*)
{
    if (console.open) giveConsoleBack();
    return EXCEPTION_CONTINUE_SEARCH;  // on to Windows' own handling
}

void onAbort(int signal)
{
    if (console.open) giveConsoleBack();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Makes a screen buffer of the demo's own active: the original keeps its text.
// Where none can be made the demo draws on the original, given back as saved.
void useOwnBuffer()
{
    console.output = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    console.ownBuffer = console.output != INVALID_HANDLE_VALUE && SetConsoleActiveScreenBuffer(console.output);
    if (console.ownBuffer) return;
    if (console.output != INVALID_HANDLE_VALUE) CloseHandle(console.output);
    console.output = console.original;
}

// The keys the demo reads: Escape ends it; while the error box is open,
// Enter, Space and Escape dismiss the box instead.
void readKeys()
{
    const HANDLE waits[] = {console.input, console.quitInput};
    INPUT_RECORD records[32];
    for (;;) {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return;
        DWORD count = 0;
        if (!ReadConsoleInputW(console.input, records, DWORD(std::size(records)), &count)) return;
        for (DWORD i = 0; i < count; ++i) {
            if (records[i].EventType != KEY_EVENT || !records[i].Event.KeyEvent.bKeyDown) continue;
            const WORD key = records[i].Event.KeyEvent.wVirtualKeyCode;
            if (console.boxOpen.load()) {
                if (key == VK_RETURN || key == VK_SPACE || key == VK_ESCAPE) {
                    console.boxDismissed.store(true);
                    SetEvent(console.wake);
                }
            } else if (key == VK_ESCAPE) {
                stopRequested.store(1);
                SetEvent(console.wake);
            }
        }
    }
}

// The window is set before the buffer, as the console needs a window no
// larger than its buffer: from a buffer smaller than 80 by 50 the first try
// fails, so the window is set again once the buffer has its size.
void setSize()
{
    const SMALL_RECT window{0, 0, SCREEN_COLUMNS - 1, SCREEN_ROWS - 1};
    const bool windowSet = SetConsoleWindowInfo(console.output, TRUE, &window) != 0;
    SetConsoleScreenBufferSize(console.output, COORD{SCREEN_COLUMNS, SCREEN_ROWS});
    if (!windowSet) SetConsoleWindowInfo(console.output, TRUE, &window);
}

// Frames no faster than the rate; Escape ends the wait.
void waitForFrameTime()
{
    if (framePeriod == Clock::duration::zero()) return;
    const Clock::time_point due = lastFrame + framePeriod;
    for (;;) {
        if (escapeHeld()) return;
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(due - Clock::now()).count();
        if (left <= 0) return;
        if (frameTimer == nullptr) {
            Sleep(DWORD(left / 1000000 + 1));
            continue;
        }
        LARGE_INTEGER relative;
        relative.QuadPart = -(left + 99) / 100;  // in 100 ns, negative: from now
        SetWaitableTimer(frameTimer, &relative, 0, nullptr, nullptr, FALSE);
        const HANDLE waits[] = {frameTimer, console.wake};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
}

}  // namespace

void writeCells(const ScreenBuffer& cells)
{
    static CHAR_INFO shown[CELL_COUNT];
    toConsoleCells(cells, shown);
    // The whole target every frame: a console that was smaller for a while
    // gets the whole picture again once it has grown.
    SMALL_RECT region{0, 0, SCREEN_COLUMNS - 1, SCREEN_ROWS - 1};
    WriteConsoleOutputW(console.output, shown, COORD{SCREEN_COLUMNS, SCREEN_ROWS}, COORD{0, 0}, &region);
}

bool requireConsole()
{
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return true;
    std::fputs("murl13: the demo needs a console (stdout is not one); run it from a console "
               "without redirecting its output, or run murl13 --window\n",
               stderr);
    return false;
}

void setFrameRate(int framesPerSecond)
{
    framePeriod = framesPerSecond > 0 ? Clock::duration(std::chrono::seconds(1)) / framesPerSecond
                                      : Clock::duration::zero();
}

void openConsole()
{
    if (console.open) return;
    console.original = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(console.original, &mode)) return;  // main refuses this case
    catchConsoleControl(&stopRequested);
    console.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    console.input = GetStdHandle(STD_INPUT_HANDLE);
    console.inputModeSaved = GetConsoleMode(console.input, &console.inputMode) != 0;
    if (!console.inputModeSaved) {
        // Input redirected: the keys come from the console itself.
        console.input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        console.ownsInput = console.input != INVALID_HANDLE_VALUE;
        console.inputModeSaved = console.ownsInput && GetConsoleMode(console.input, &console.inputMode) != 0;
    }
    if (console.inputModeSaved) {
        // Keys one by one, unechoed; Ctrl+C stays a control event; no mouse
        // selection (quick edit), which would hold the demo's output.
        SetConsoleMode(console.input, ENABLE_PROCESSED_INPUT | ENABLE_EXTENDED_FLAGS);
        console.quitInput = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        inputThread = std::thread(readKeys);
    } else {
        std::fputs("murl13: no console input to read keys from: Escape will not work; Ctrl+C ends the demo\n",
                   stderr);
    }
    // Saved after the line above, which stays.
    saveConsole(console.original, console.snapshot);
    console.givenBack.store(false);
    SetUnhandledExceptionFilter(onCrash);
    std::signal(SIGABRT, onAbort);
    useOwnBuffer();
    SetConsoleTitleW(TITLE);
    setSize();
    CONSOLE_CURSOR_INFO hidden{};
    if (GetConsoleCursorInfo(console.output, &hidden)) {
        hidden.bVisible = FALSE;
        SetConsoleCursorInfo(console.output, &hidden);
    }
    frameTimer = CreateWaitableTimerExW(nullptr, nullptr, HIGH_RESOLUTION_TIMER, TIMER_ALL_ACCESS);
    if (frameTimer == nullptr) frameTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    console.open = true;
    lastFrame = Clock::now();
    static bool registered = false;
    if (!registered) registered = std::atexit(closeAtExit) == 0;
}

void closeConsole()
{
    if (!console.open) return;
    console.open = false;
    if (inputThread.joinable()) {
        SetEvent(console.quitInput);
        // A read under way returns once the quit event or a key came; the
        // console's pending input is left as it is.
        inputThread.join();
    }
    giveConsoleBack();
    if (console.ownsInput) CloseHandle(console.input);
    if (console.ownBuffer) CloseHandle(console.output);
    console.output = console.original;
    for (HANDLE* handle : {&console.quitInput, &console.wake, &frameTimer}) {
        if (*handle != nullptr) CloseHandle(*handle);
        *handle = nullptr;
    }
    console.ownsInput = console.inputModeSaved = console.ownBuffer = false;
}

uint32_t clockMs()
{
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

void presentFrame()
{
    if (!console.open) return;
    waitForFrameTime();
    lastFrame = Clock::now();
    console.shown = screenBuffer;
    console.frameShown = true;
    writeCells(console.shown);
}

uint16_t escapeHeld() { return stopRequested.load(std::memory_order_relaxed) ? 1 : 0; }

}  // namespace wincon
