#include "hosts/wincon/console_snapshot.h"

#include <algorithm>

#include "state/demo_state.h"

namespace wincon {

namespace {

// Cells moved per console call: older consoles refuse a transfer of more than
// 64 KB.
constexpr int CHUNK_CELLS = 8192;
CHAR_INFO chunk[CHUNK_CELLS];

// Calls `visit(region)` for rectangles of at most CHUNK_CELLS cells that tile
// rows 0 to rows - 1 of a buffer `width` cells wide.
template <typename Visit>
void forEachChunk(int width, int rows, Visit visit)
{
    const int columns = std::min(width, CHUNK_CELLS);
    const int rowsPerChunk = std::max(1, CHUNK_CELLS / columns);
    for (int top = 0; top < rows; top += rowsPerChunk) {
        for (int left = 0; left < width; left += columns) {
            SMALL_RECT region{SHORT(left), SHORT(top), SHORT(std::min(width, left + columns) - 1),
                              SHORT(std::min(rows, top + rowsPerChunk) - 1)};
            visit(region);
        }
    }
}

COORD regionSize(const SMALL_RECT& region)
{
    return {SHORT(region.Right - region.Left + 1), SHORT(region.Bottom - region.Top + 1)};
}

// The first cell of a region's row y in the saved rows, `width` cells each.
size_t savedAt(const SMALL_RECT& region, int y, int width)
{
    return size_t(region.Top + y) * size_t(width) + size_t(region.Left);
}

bool sameCell(const CHAR_INFO& a, const CHAR_INFO& b)
{
    return a.Char.UnicodeChar == b.Char.UnicodeChar && a.Attributes == b.Attributes;
}

bool sameRect(const SMALL_RECT& a, const SMALL_RECT& b)
{
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// The buffer back to its size; a window larger than that size is shrunk
// first, as the console wants a window within its buffer.
void restoreSize(HANDLE output, const CONSOLE_SCREEN_BUFFER_INFO& now, COORD size)
{
    if (now.dwSize.X == size.X && now.dwSize.Y == size.Y) return;
    if (SetConsoleScreenBufferSize(output, size)) return;
    const SMALL_RECT fits{0, 0, SHORT(std::min<int>(now.srWindow.Right - now.srWindow.Left + 1, size.X) - 1),
                          SHORT(std::min<int>(now.srWindow.Bottom - now.srWindow.Top + 1, size.Y) - 1)};
    SetConsoleWindowInfo(output, TRUE, &fits);
    SetConsoleScreenBufferSize(output, size);
}

}  // namespace

bool saveConsole(HANDLE output, ConsoleSnapshot& snapshot)
{
    snapshot = ConsoleSnapshot{};
    if (!GetConsoleScreenBufferInfo(output, &snapshot.buffer)) return false;
    snapshot.cursorSaved = GetConsoleCursorInfo(output, &snapshot.cursor) != 0;
    std::vector<wchar_t> title(1024);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetConsoleTitleW(title.data(), DWORD(title.size()));
        if (length == 0 && GetLastError() != ERROR_SUCCESS) break;
        if (length + 1 < title.size()) {
            snapshot.title.assign(title.data(), length);
            snapshot.titleSaved = true;
            break;
        }
        if (title.size() >= 65536) break;
        title.resize(title.size() * 2);
    }
    // The rows that hold the text: down to the cursor or the window's bottom,
    // and the first 50, where Wine puts the demo's cells. Below them a shell
    // has written nothing.
    const CONSOLE_SCREEN_BUFFER_INFO& b = snapshot.buffer;
    const int width = b.dwSize.X;
    snapshot.textRows =
        std::min<int>(b.dwSize.Y, std::max({int(b.dwCursorPosition.Y), int(b.srWindow.Bottom), SCREEN_ROWS - 1}) + 1);
    snapshot.cells.resize(size_t(width) * size_t(snapshot.textRows));
    bool read = width > 0;
    forEachChunk(width, snapshot.textRows, [&](SMALL_RECT region) {
        const COORD size = regionSize(region);
        read = read && ReadConsoleOutputW(output, chunk, size, COORD{0, 0}, &region);
        for (int y = 0; read && y < size.Y; ++y)
            std::copy_n(chunk + y * size.X, size.X, snapshot.cells.begin() + ptrdiff_t(savedAt(region, y, width)));
    });
    if (!read) {
        snapshot.cells.clear();
        snapshot.textRows = 0;
    }
    snapshot.saved = true;
    return true;
}

void restoreConsole(HANDLE output, const ConsoleSnapshot& snapshot)
{
    if (!snapshot.saved) return;
    const CONSOLE_SCREEN_BUFFER_INFO& b = snapshot.buffer;
    CONSOLE_SCREEN_BUFFER_INFO now{};
    if (GetConsoleScreenBufferInfo(output, &now)) restoreSize(output, now, b.dwSize);
    // Only the parts that changed are written back.
    const int width = b.dwSize.X;
    const CHAR_INFO* saved = snapshot.cells.data();
    forEachChunk(width, snapshot.textRows, [&](SMALL_RECT region) {
        const COORD size = regionSize(region);
        SMALL_RECT read = region;
        bool same = ReadConsoleOutputW(output, chunk, size, COORD{0, 0}, &read) && sameRect(read, region);
        for (int y = 0; same && y < size.Y; ++y)
            same = std::equal(chunk + y * size.X, chunk + (y + 1) * size.X, saved + savedAt(region, y, width), sameCell);
        if (same) return;
        for (int y = 0; y < size.Y; ++y) std::copy_n(saved + savedAt(region, y, width), size.X, chunk + y * size.X);
        WriteConsoleOutputW(output, chunk, size, COORD{0, 0}, &region);
    });
    if (GetConsoleScreenBufferInfo(output, &now) && !sameRect(now.srWindow, b.srWindow))
        SetConsoleWindowInfo(output, TRUE, &b.srWindow);
    SetConsoleCursorPosition(output, b.dwCursorPosition);
    SetConsoleTextAttribute(output, b.wAttributes);
    if (snapshot.cursorSaved) SetConsoleCursorInfo(output, &snapshot.cursor);
    if (snapshot.titleSaved) SetConsoleTitleW(snapshot.title.c_str());
}

}  // namespace wincon
