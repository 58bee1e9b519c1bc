// A Windows program that runs the demo in its own console and watches it there:
// it reads the demo's cells back from the console, types keys into the
// console's input and sends it Ctrl+C. Run by run_in_pty.py under Wine in an
// 80 by 50 pseudo-terminal.
//
//   console_probe REPORT SCENARIO FOLDER DEMO.exe
//
// Starts DEMO.exe in FOLDER (the working directory, where the song is or is
// not) and plays SCENARIO:
//   song     the title, 80 by 50 cells, a picture, no box; Escape ends the demo with 0
//   nosong   the error box drawn in the console; Enter dismisses it; then the
//            plasma of a known state (a clock reading of the run, nothing else
//            set); Escape ends the demo with 0
//   ctrlc    Ctrl+C ends the demo with 130
//   window   murl13 --window (SDL's offscreen driver) runs; Ctrl+C ends it with 130
// Every console scenario then checks that the cursor and the input mode are
// back and the title and size stay. Writes what it saw to REPORT; exit 0 when all passed.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <windows.h>

#include "art/cp437.h"
#include "core/fake_platform.h"
#include "effects2d/effects2d.h"
#include "runtime/frame_loop.h"
#include "state/demo_state.h"

namespace {

using Clock = std::chrono::steady_clock;

FILE* report = stderr;
int failures = 0;
HANDLE output, input;
PROCESS_INFORMATION demoProcess{};
Clock::time_point started;
CHAR_INFO cells[CELL_COUNT];

std::string rowText(int row);

// A failed check shows what the console showed last.
void check(bool ok, const std::string& what)
{
    std::fprintf(report, "%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    if (!ok) {
        ++failures;
        for (int row = 0; row < SCREEN_ROWS; ++row) std::fprintf(report, "  |%s|\n", rowText(row).c_str());
    }
    std::fflush(report);
}

bool waitFor(const std::function<bool()>& seen, int seconds)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < deadline) {
        if (seen()) return true;
        Sleep(50);
    }
    return seen();
}

bool readCells()
{
    SMALL_RECT region{0, 0, SCREEN_COLUMNS - 1, SCREEN_ROWS - 1};
    return ReadConsoleOutputW(output, cells, COORD{SCREEN_COLUMNS, SCREEN_ROWS}, COORD{0, 0}, &region) &&
           region.Right == SCREEN_COLUMNS - 1 && region.Bottom == SCREEN_ROWS - 1;
}

std::string rowText(int row)
{
    std::string text;
    for (int x = 0; x < SCREEN_COLUMNS; ++x) {
        const WCHAR c = cells[row * SCREEN_COLUMNS + x].Char.UnicodeChar;
        text += c >= 0x20 && c < 0x7F ? char(c) : '.';
    }
    return text;
}

bool cellsShow(const char* text)
{
    if (!readCells()) return false;
    for (int row = 0; row < SCREEN_ROWS; ++row)
        if (rowText(row).find(text) != std::string::npos) return true;
    return false;
}

// Some cell that is not blank on black: the demo draws.
bool pictureShown()
{
    if (!readCells()) return false;
    for (const CHAR_INFO& cell : cells)
        if (cell.Attributes != 0 && cell.Char.UnicodeChar != L' ') return true;
    return false;
}

std::wstring consoleTitle()
{
    wchar_t title[256] = {};
    GetConsoleTitleW(title, 256);
    return title;
}

bool consoleIs80By50()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    return GetConsoleScreenBufferInfo(output, &info) && info.dwSize.X == SCREEN_COLUMNS &&
           info.dwSize.Y == SCREEN_ROWS && info.srWindow.Left == 0 && info.srWindow.Top == 0 &&
           info.srWindow.Right == SCREEN_COLUMNS - 1 && info.srWindow.Bottom == SCREEN_ROWS - 1;
}

bool sameCell(const CharInfo& drawn, const CHAR_INFO& read)
{
    return WCHAR(cp437Unicode[drawn.glyph & 0xFF]) == read.Char.UnicodeChar && drawn.attr == read.Attributes;
}

// The frame the demo shows at a clock reading `ms` into the run with no song:
// order 0, no beats and no pulses. The demo's clock starts after the probe's,
// so the reading is at most the time since the probe started it, and a frame
// at most a few seconds old is on screen. A few cells rule out most readings
// before a whole frame is drawn.
int matchingPlasmaMs()
{
    if (!readCells()) return -1;
    const long long elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    constexpr int SAMPLES[] = {0, 79, 1234, 2000, 3999};
    for (long long ms = elapsed; ms >= 0 && ms >= elapsed - 20000; --ms) {
        fake::reset();
        demo.timeSec = double(uint32_t(ms)) * double(0.001f);
        applyTimeline();
        bool same = true;
        for (int i = 0; i < int(std::size(SAMPLES)) && same; ++i) {
            demo.cellX = SAMPLES[i] % SCREEN_COLUMNS;
            demo.cellY = SAMPLES[i] / SCREEN_COLUMNS;
            demo.cellU = float(demo.cellX - 40);
            demo.cellV = float(demo.cellY - 25);
            plasmaCell();
            same = sameCell(currentCell(), cells[SAMPLES[i]]);
        }
        if (!same) continue;
        renderFrame(1);
        for (int i = 0; i < CELL_COUNT && same; ++i) same = sameCell(screenBuffer[i], cells[i]);
        if (same) return int(ms);
    }
    return -1;
}

void typeKey(WORD virtualKey, WCHAR character)
{
    INPUT_RECORD records[2]{};
    for (int i = 0; i < 2; ++i) {
        records[i].EventType = KEY_EVENT;
        KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
        key.bKeyDown = i == 0;
        key.wRepeatCount = 1;
        key.wVirtualKeyCode = virtualKey;
        key.wVirtualScanCode = WORD(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
        key.uChar.UnicodeChar = character;
    }
    DWORD written = 0;
    WriteConsoleInputW(input, records, 2, &written);
}

// The demo's exit status, or -1 when it did not end in time.
long exitStatus(int seconds)
{
    if (WaitForSingleObject(demoProcess.hProcess, DWORD(seconds) * 1000) != WAIT_OBJECT_0) return -1;
    DWORD status = 0;
    GetExitCodeProcess(demoProcess.hProcess, &status);
    return long(status);
}

bool startDemo(const char* folder, const char* program, const char* arguments)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = std::string("\"") + program + "\"" + arguments;
    started = Clock::now();
    return CreateProcessA(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder, &startup,
                          &demoProcess) != 0;
}

int finish()
{
    std::fprintf(report, "%s\n", failures == 0 ? "PASSED" : "FAILED");
    std::fclose(report);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: console_probe REPORT SCENARIO FOLDER DEMO.exe\n", stderr);
        return 2;
    }
    report = std::fopen(argv[1], "w");
    if (report == nullptr) return 2;
    const std::string scenario = argv[2];
    output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    DWORD modeBefore = 0;
    CONSOLE_CURSOR_INFO cursorBefore{};
    const bool haveConsole = GetConsoleMode(input, &modeBefore) && GetConsoleCursorInfo(output, &cursorBefore);
    check(haveConsole, "the probe has a console");
    const bool window = scenario == "window";
    if (window) SetEnvironmentVariableA("SDL_VIDEODRIVER", "offscreen");
    if (!haveConsole || !startDemo(argv[3], argv[4], window ? " --window" : "")) {
        check(false, "the demo started");
        return 1;
    }
    // Ctrl+C goes to every process of the console: this one stays. (Set after
    // the start: a child inherits the setting.)
    SetConsoleCtrlHandler(nullptr, TRUE);

    if (window) {
        Sleep(3000);
        check(exitStatus(0) == -1, "the demo runs in its window");
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        const long status = exitStatus(20);
        check(status == 130, "Ctrl+C ends the window's demo with 130 (" + std::to_string(status) + ")");
        if (status == -1) TerminateProcess(demoProcess.hProcess, 99);
        return finish();
    }
    check(waitFor([] { return consoleTitle() == L"Norq - Murl #13"; }, 30), "the title reads Norq - Murl #13");
    check(waitFor(consoleIs80By50, 10), "the console is 80 by 50 cells, the window the whole buffer");
    if (scenario == "nosong") {
        check(waitFor([] { return cellsShow("Error! Plonk suxx!") && cellsShow("Failed loading Protracker-Module"); },
                      20),
              "the error box is drawn in the console with its caption and text");
        Sleep(300);
        check(exitStatus(0) == -1, "the demo waits with the box open");
        typeKey(VK_RETURN, L'\r');
        int ms = -1;
        waitFor([&] { return !cellsShow("Plonk suxx") && (ms = matchingPlasmaMs()) >= 0; }, 30);
        check(ms >= 0, "after Enter, the plasma of the demo's clock at " + std::to_string(ms) + " ms, cell for cell");
    } else {
        check(waitFor(pictureShown, 30), "a picture is shown");
        Sleep(1000);
        check(!cellsShow("Plonk suxx"), "no error box with the song in the folder");
        check(exitStatus(0) == -1, "the demo runs on");
    }

    if (scenario == "ctrlc") {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        const long status = exitStatus(20);
        check(status == 130, "Ctrl+C ends the demo with 130 (" + std::to_string(status) + ")");
    } else {
        typeKey(VK_ESCAPE, L'\x1b');
        const long status = exitStatus(20);
        check(status == 0, "Escape ends the demo with 0 (" + std::to_string(status) + ")");
    }
    if (exitStatus(0) == -1) TerminateProcess(demoProcess.hProcess, 99);

    DWORD modeAfter = 0;
    CONSOLE_CURSOR_INFO cursorAfter{};
    GetConsoleMode(input, &modeAfter);
    GetConsoleCursorInfo(output, &cursorAfter);
    check(modeAfter == modeBefore, "the input mode is given back");
    check(cursorAfter.bVisible == cursorBefore.bVisible && cursorAfter.dwSize == cursorBefore.dwSize,
          "the cursor is given back");
    check(consoleTitle() == L"Norq - Murl #13" && consoleIs80By50(), "the title and the size stay");
    return finish();
}
