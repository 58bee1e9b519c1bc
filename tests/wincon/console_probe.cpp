// A Windows program that runs the demo in its own console and watches it there:
// it reads the demo's cells back from the console, types keys into the
// console's input and sends it Ctrl+C. Run by run_in_pty.py under Wine in an
// 80 by 50 pseudo-terminal.
//
//   console_probe REPORT SCENARIO FOLDER DEMO.exe
//
// Before the demo starts, the probe makes its console what a user's console
// is: a buffer of 80 by 200 cells, a marked line of text, its own title and
// cursor. Then it starts DEMO.exe in FOLDER (the working directory, where the
// song is or is not) and plays SCENARIO:
//   song       the title, 80 by 50 cells, a picture, no box; Escape ends the demo with 0
//   nosong     the error box drawn in the console; Enter dismisses it; then the
//              plasma of a known state (a clock reading of the run, nothing else
//              set); Escape ends the demo with 0
//   ctrlc      Ctrl+C ends the demo with 130
//   elsewhere  a copy of DEMO.exe and its song in a folder named in Polish and
//              Russian, started from FOLDER: it finds the song beside it (no box)
//   window     murl13 --window (SDL's offscreen driver) runs; Ctrl+C ends it with 130
//   tool       murl13-tool (beside DEMO.exe) in this console: a coloured logo, or
//              where the console prints escape codes as text, a message saying
//              so; a file name in Polish and Russian shown as it is; the
//              console's code page and output mode given back
// Every console scenario then checks that the console is as the probe left
// it: the buffer's size, the marked line, the cursor, the title and the input
// mode. Writes what it saw to REPORT; exit 0 when all passed.
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
HANDLE output, input;  // the probe's own screen buffer and the console's input
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

// The screen buffer the console shows now: the demo's own while it runs.
struct ActiveBuffer {
    HANDLE handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ~ActiveBuffer() { CloseHandle(handle); }
};

bool readCells()
{
    ActiveBuffer active;
    SMALL_RECT region{0, 0, SCREEN_COLUMNS - 1, SCREEN_ROWS - 1};
    return ReadConsoleOutputW(active.handle, cells, COORD{SCREEN_COLUMNS, SCREEN_ROWS}, COORD{0, 0}, &region) &&
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
    ActiveBuffer active;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    return GetConsoleScreenBufferInfo(active.handle, &info) && info.dwSize.X == SCREEN_COLUMNS &&
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

std::wstring wide(const std::string& text)
{
    std::wstring out(text.size(), L'\0');
    out.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()))));
    return out;
}

bool startDemo(const std::wstring& folder, const std::wstring& program, const wchar_t* arguments)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + program + L"\"" + arguments;
    started = Clock::now();
    return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                          &startup, &demoProcess) != 0;
}

// A folder named in Polish and Russian inside `folder`, holding copies of the
// demo and of the song beside it; returns the copy of the demo.
std::wstring copyToForeignFolder(const std::wstring& folder, const std::wstring& demo)
{
    const std::wstring from = demo.substr(0, demo.find_last_of(L"\\/") + 1);
    const std::wstring into = folder + L"\\\u0141\u00f3d\u017a \u0414\u0435\u043c\u043e\\";
    CreateDirectoryW(into.c_str(), nullptr);
    const bool copied = CopyFileW(demo.c_str(), (into + L"murl13.exe").c_str(), FALSE) &&
                        CopyFileW((from + L"GLIMVEX.oXM").c_str(), (into + L"GLIMVEX.oXM").c_str(), FALSE);
    check(copied, "the demo and its song copied into a folder named in Polish and Russian");
    return into + L"murl13.exe";
}

// The console as a user's: a long buffer, a line of text, a title and a
// cursor of its own, all of which the demo must give back.
const char MARKED_LINE[] = "probe: this line was here before the demo";
constexpr int MARKED_ROW = 5;
constexpr wchar_t PROBE_TITLE[] = L"probe console";

CONSOLE_SCREEN_BUFFER_INFO prepareConsole()
{
    SetConsoleScreenBufferSize(output, COORD{SCREEN_COLUMNS, 200});
    SetConsoleCursorPosition(output, COORD{0, MARKED_ROW});
    DWORD written = 0;
    WriteConsoleA(output, MARKED_LINE, DWORD(std::strlen(MARKED_LINE)), &written, nullptr);
    SetConsoleCursorPosition(output, COORD{3, MARKED_ROW + 2});
    SetConsoleTitleW(PROBE_TITLE);
    CONSOLE_SCREEN_BUFFER_INFO before{};
    GetConsoleScreenBufferInfo(output, &before);
    return before;
}

// A row of the buffer the console shows, without its trailing blanks.
std::string shownRowText(int row)
{
    ActiveBuffer active;
    CHAR_INFO line[SCREEN_COLUMNS];
    SMALL_RECT region{0, SHORT(row), SCREEN_COLUMNS - 1, SHORT(row)};
    if (!ReadConsoleOutputW(active.handle, line, COORD{SCREEN_COLUMNS, 1}, COORD{0, 0}, &region)) return {};
    std::string text;
    for (const CHAR_INFO& cell : line) text += char(cell.Char.UnicodeChar);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// The first 50 rows of the buffer shown, one after the other: text that
// wrapped at the end of a row reads on.
std::wstring consoleText()
{
    ActiveBuffer active;
    CHAR_INFO rows[CELL_COUNT];
    SMALL_RECT region{0, 0, SCREEN_COLUMNS - 1, SCREEN_ROWS - 1};
    if (!ReadConsoleOutputW(active.handle, rows, COORD{SCREEN_COLUMNS, SCREEN_ROWS}, COORD{0, 0}, &region)) return {};
    std::wstring text;
    for (const CHAR_INFO& cell : rows) text += cell.Char.UnicodeChar;
    return text;
}

// Runs the workbench in this console; its exit status, or -1.
long runTool(const std::wstring& tool, const std::wstring& arguments, const std::wstring& folder)
{
    if (!startDemo(folder, tool, arguments.c_str())) return -1;
    const long status = exitStatus(60);
    if (status == -1) TerminateProcess(demoProcess.hProcess, 99);
    return status;
}

void toolInConsole(const std::wstring& folder, const std::wstring& demo)
{
    const std::wstring foreign = copyToForeignFolder(folder, demo);
    const std::wstring where = foreign.substr(0, foreign.find_last_of(L'\\') + 1);
    const std::wstring tool = demo.substr(0, demo.find_last_of(L"\\/") + 1) + L"murl13-tool.exe";
    const UINT pageBefore = GetConsoleOutputCP();
    DWORD modeBefore = 0, modeAfter = 0;
    GetConsoleMode(output, &modeBefore);

    long status = runTool(tool, L" art logo3", folder);
    std::wstring shown = consoleText();
    const bool coloured = status == 0 && shown.find(L'\x1b') == std::wstring::npos &&
                          shown.find(L'\u25a0') != std::wstring::npos;
    const bool refused = status == 1 && shown.find(L"escape codes as text; use --format digits") != std::wstring::npos;
    check(coloured || refused, "art logo3: the coloured logo, or a message and 1 where escape codes show as text (" +
                                   std::to_string(status) + (refused ? ", refused" : "") + ")");
    GetConsoleMode(output, &modeAfter);
    check(GetConsoleOutputCP() == pageBefore && modeAfter == modeBefore,
          "the console's code page (" + std::to_string(GetConsoleOutputCP()) + ") and output mode given back");

    status = runTool(tool, L" song \"" + where + L"nosuch.oXM\"", folder);
    shown = consoleText();
    check(status == 1 && shown.find(L"'" + where + L"nosuch.oXM': missing") != std::wstring::npos,
          "a song missing in the folder named in Polish and Russian: 1 and its name as it is (" +
              std::to_string(status) + ")");
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
    const CONSOLE_SCREEN_BUFFER_INFO before = prepareConsole();
    check(before.dwSize.Y == 200 && shownRowText(MARKED_ROW) == MARKED_LINE,
          "the probe's console: 80 by 200 cells, a marked line");
    std::wstring demo = wide(argv[4]);
    if (scenario == "tool") {
        toolInConsole(wide(argv[3]), demo);
        return finish();
    }
    if (scenario == "elsewhere") demo = copyToForeignFolder(wide(argv[3]), demo);
    if (!haveConsole || !startDemo(wide(argv[3]), demo, window ? L" --window" : L"")) {
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
    CONSOLE_SCREEN_BUFFER_INFO after{};
    GetConsoleMode(input, &modeAfter);
    GetConsoleCursorInfo(output, &cursorAfter);
    GetConsoleScreenBufferInfo(output, &after);
    check(modeAfter == modeBefore, "the input mode is given back");
    check(cursorAfter.bVisible == cursorBefore.bVisible && cursorAfter.dwSize == cursorBefore.dwSize &&
              after.dwCursorPosition.X == before.dwCursorPosition.X &&
              after.dwCursorPosition.Y == before.dwCursorPosition.Y,
          "the cursor is given back, where it was");
    check(after.dwSize.X == before.dwSize.X && after.dwSize.Y == before.dwSize.Y &&
              after.srWindow.Top == before.srWindow.Top && after.srWindow.Bottom == before.srWindow.Bottom,
          "the buffer is " + std::to_string(after.dwSize.X) + " by " + std::to_string(after.dwSize.Y) +
              " cells again, the window where it was");
    check(shownRowText(MARKED_ROW) == MARKED_LINE, "the marked line is back: '" + shownRowText(MARKED_ROW) + "'");
    check(consoleTitle() == PROBE_TITLE, "the title is the probe's again");
    return finish();
}
