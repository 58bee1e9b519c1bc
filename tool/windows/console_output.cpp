// The workbench in a Windows console: its arguments as UTF-8, and for the run
// a console that shows UTF-8 and interprets escape codes, as a terminal does;
// stdout and stderr, when they are the console, write whole buffers (stderr's
// lines come out at exit or when a command flushes).
// The console's code page and output mode are the caller's too (cmd's, say):
// they are given back at exit and on Ctrl+C.
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "hosts/wincon/utf8_text.h"
#include "tool/tool.h"

namespace {

HANDLE output = nullptr;
DWORD savedMode = 0;
bool modeSet = false;
UINT savedCodePage = 0;
bool codePageSet = false;
bool escapesShown = false;  // stdout is a console that interprets escape codes

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

void giveConsoleBack()
{
    // What is still buffered is written in the code page it was meant for.
    std::fflush(stdout);
    std::fflush(stderr);
    if (modeSet) SetConsoleMode(output, savedMode);
    if (codePageSet) SetConsoleOutputCP(savedCodePage);
    modeSet = codePageSet = false;
}

// Ctrl+C and Ctrl+Break: the console back, then on to the default handler,
// which ends the process.
BOOL WINAPI onControl(DWORD)
{
    giveConsoleBack();
    return FALSE;
}

// Asked of a screen buffer that is never shown: an escape code that only
// resets the colours leaves the cursor where it was, unless the console
// prints it as text. (Windows before 10 refuses the mode; Wine's console
// takes it and prints the codes.)
bool consoleInterpretsEscapes()
{
    const HANDLE scratch = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (scratch == INVALID_HANDLE_VALUE) return false;
    static const char RESET[] = "\x1b[0m";
    DWORD written = 0;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const bool interpreted = SetConsoleMode(scratch, ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
                             WriteConsoleA(scratch, RESET, DWORD(sizeof RESET - 1), &written, nullptr) &&
                             GetConsoleScreenBufferInfo(scratch, &info) && info.dwCursorPosition.X == 0;
    CloseHandle(scratch);
    return interpreted;
}

// A stream to a console goes out in whole writes of its bytes, which the
// console decodes as UTF-8. (Written a byte at a time, or translated in text
// mode, as some C libraries do for a console, the characters would break.)
void writeWhole(std::FILE* stream)
{
    _setmode(_fileno(stream), _O_BINARY);
    std::setvbuf(stream, nullptr, _IOFBF, 1 << 16);
}

}  // namespace

void startWorkbench(int& argc, char**& argv)
{
    wincon::useUtf8Arguments(argc, argv);
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    const bool outputIsConsole = GetConsoleMode(output, &savedMode) != 0;
    const bool errorsToConsole = isConsole(GetStdHandle(STD_ERROR_HANDLE));
    if (!outputIsConsole && !errorsToConsole) return;
    if (outputIsConsole) writeWhole(stdout);
    if (errorsToConsole) writeWhole(stderr);
    savedCodePage = GetConsoleOutputCP();
    codePageSet = savedCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8);
    if (outputIsConsole && consoleInterpretsEscapes()) {
        escapesShown = true;
        if ((savedMode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0)
            modeSet = SetConsoleMode(output, savedMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    }
    SetConsoleCtrlHandler(onControl, TRUE);
    std::atexit(giveConsoleBack);
}

bool escapeCodesShown(const char* command, const char* plainFormat)
{
    if (escapesShown || !isConsole(GetStdHandle(STD_OUTPUT_HANDLE))) return true;
    std::fprintf(stderr, "murl13-tool %s: this console shows escape codes as text; use --format %s\n", command,
                 plainFormat);
    return false;
}
