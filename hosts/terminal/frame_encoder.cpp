// The frame encoder: changed cells only, the cheapest cursor move to each run
// of them, only the colour half that changed, glyphs as UTF-8.
#include "hosts/terminal/frame_encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "art/cp437.h"

namespace terminal {

namespace {

// Default colours, cursor home, erase the whole screen.
constexpr char CLEAR_SCREEN[] = "\x1b[0m\x1b[H\x1b[2J";
constexpr char NOTICE_STYLE[] = "\x1b[0;7m";
constexpr char RESET_STYLE[] = "\x1b[0m";

// The most one cell can take: a cursor move (10), both colours (10), a glyph (3).
constexpr size_t MAX_CELL_BYTES = 24;
constexpr size_t MAX_NOTICE_BYTES = 256;
constexpr size_t FRAME_OVERHEAD = sizeof CLEAR_SCREEN + sizeof NOTICE_STYLE + sizeof RESET_STYLE + MAX_NOTICE_BYTES;

// An unchanged run this short may be cheaper to write again than to skip.
constexpr int MAX_OVERPRINT = 3;

struct GlyphUtf8 {
    char bytes[3];
    int length;
};

struct Tables {
    GlyphUtf8 glyph[256];
    char foreground[16][4];  // "31", "94"
    char background[16][4];  // "41", "104"
    Tables()
    {
        for (int g = 0; g < 256; ++g) glyph[g].length = appendCp437Utf8((unsigned char)g, glyph[g].bytes);
        for (int c = 0; c < 16; ++c) {
            std::snprintf(foreground[c], sizeof foreground[c], "%d", ansiForeground(c));
            std::snprintf(background[c], sizeof background[c], "%d", ansiForeground(c) + 10);
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

int digits(int n) { return n < 10 ? 1 : n < 100 ? 2 : n < 1000 ? 3 : n < 10000 ? 4 : 5; }

// CSI n X for a relative move (cursor up/down/forward/back); n 1 is left out.
int relativeCost(int n) { return n == 1 ? 3 : 3 + digits(n); }
// CSI col G (to a column of the same row); column 1 is left out.
int columnCost(int x) { return x == 0 ? 3 : 3 + digits(x + 1); }
// CSI row ; col H; a leading or trailing 1 is left out.
int absoluteCost(int y, int x)
{
    if (x == 0) return y == 0 ? 3 : 3 + digits(y + 1);
    return 4 + digits(y + 1) + digits(x + 1);
}

// Writes into a buffer sized for the worst case, so no cell allocates.
struct Writer {
    char* p;

    void bytes(const char* s, size_t n)
    {
        std::memcpy(p, s, n);
        p += n;
    }
    template <size_t N>
    void literal(const char (&s)[N]) { bytes(s, N - 1); }
    void text(const char* s) { bytes(s, std::strlen(s)); }
    void number(int n)
    {
        char tmp[12];
        int len = 0;
        do tmp[len++] = char('0' + n % 10), n /= 10;
        while (n > 0);
        while (len > 0) *p++ = tmp[--len];
    }
    void csi() { *p++ = '\x1b', *p++ = '['; }
    void relative(int n, char final)
    {
        csi();
        if (n != 1) number(n);
        *p++ = final;
    }
    void column(int x)
    {
        csi();
        if (x != 0) number(x + 1);
        *p++ = 'G';
    }
    void absolute(int y, int x)
    {
        csi();
        if (y != 0 || x != 0) number(y + 1);
        if (x != 0) *p++ = ';', number(x + 1);
        *p++ = 'H';
    }
};

// What the encoder knows of the terminal while it writes: -1 is unknown.
struct Pen {
    int row = -1;
    int column = -1;
    int attr = -1;  // the console attribute the current colours show
};

// Moves the cursor from where the pen is to (y, x) by the cheapest of: an
// absolute move; a carriage return, line feeds or a move down, and a move
// right; line feeds or a move down and a horizontal move; or, on the same row,
// writing again the few unchanged cells in between (`row` is the new picture's
// row, whose cells before x are already on the screen).
void moveTo(Writer& w, Pen& pen, int y, int x, const CharInfo* row, const Tables& t)
{
    if (pen.row == y && pen.column == x) return;

    enum { ABSOLUTE, VIA_RETURN, VIA_COLUMN, RELATIVE, OVERPRINT } how = ABSOLUTE;
    int best = absoluteCost(y, x);
    int down = 0, downCost = 0;
    bool downByFeeds = true;
    if (pen.row >= 0 && y >= pen.row) {
        down = y - pen.row;
        if (down > 0) {
            downByFeeds = down <= relativeCost(down);
            downCost = downByFeeds ? down : relativeCost(down);
        }
        int cost = 1 + downCost + (x > 0 ? relativeCost(x) : 0);
        if (cost < best) best = cost, how = VIA_RETURN;
        cost = downCost + columnCost(x);
        if (cost < best) best = cost, how = VIA_COLUMN;
        if (pen.column >= 0 && pen.column != x) {
            cost = downCost + relativeCost(std::abs(x - pen.column));
            if (cost < best) best = cost, how = RELATIVE;
        }
        if (down == 0 && pen.column >= 0 && x > pen.column && x - pen.column <= MAX_OVERPRINT) {
            int overprint = 0;
            for (int i = pen.column; i < x && overprint >= 0; ++i) {
                if ((row[i].attr & 0xFF) != pen.attr) overprint = -1;
                else overprint += t.glyph[row[i].glyph & 0xFF].length;
            }
            if (overprint >= 0 && overprint < best) best = overprint, how = OVERPRINT;
        }
    }

    auto goDown = [&] {
        if (down == 0) return;
        if (downByFeeds) std::memset(w.p, '\n', size_t(down)), w.p += down;
        else w.relative(down, 'B');
    };
    switch (how) {
    case ABSOLUTE:
        w.absolute(y, x);
        break;
    case VIA_RETURN:
        *w.p++ = '\r';
        goDown();
        if (x > 0) w.relative(x, 'C');
        break;
    case VIA_COLUMN:
        goDown();
        w.column(x);
        break;
    case RELATIVE:
        goDown();
        w.relative(std::abs(x - pen.column), x > pen.column ? 'C' : 'D');
        break;
    case OVERPRINT:
        for (int i = pen.column; i < x; ++i) {
            const GlyphUtf8& g = t.glyph[row[i].glyph & 0xFF];
            w.bytes(g.bytes, size_t(g.length));
        }
        break;
    }
    pen.row = y;
    pen.column = x;
}

// Sets the colours of `attr`, sending only the half that differs.
void setColours(Writer& w, Pen& pen, int attr, const Tables& t)
{
    if (attr == pen.attr) return;
    const int fg = attr & 15, bg = attr >> 4;
    const bool fgChanged = pen.attr < 0 || (pen.attr & 15) != fg;
    const bool bgChanged = pen.attr < 0 || (pen.attr >> 4) != bg;
    w.csi();
    if (fgChanged) w.text(t.foreground[fg]);
    if (fgChanged && bgChanged) *w.p++ = ';';
    if (bgChanged) w.text(t.background[bg]);
    *w.p++ = 'm';
    pen.attr = attr;
}

// After a glyph in the last column the cursor stays there (no autowrap); it
// is left unknown so that no move relies on that.
void advance(Pen& pen, int columns)
{
    ++pen.column;
    if (pen.column >= columns) pen.column = -1;
}

void writeNotice(Writer& w, Pen& pen, int row, int rows, int columns)
{
    char notice[MAX_NOTICE_BYTES];
    int length = std::snprintf(notice, sizeof notice,
                               " murl13 wants 80x50 cells, this terminal has %dx%d ", columns, rows);
    length = std::clamp(length, 0, std::min(columns, int(sizeof notice) - 1));
    w.absolute(row, 0);
    w.literal(NOTICE_STYLE);
    w.bytes(notice, size_t(length));
    w.literal(RESET_STYLE);
    pen.row = row;
    pen.column = length < columns ? length : -1;
    pen.attr = -1;
}

}  // namespace

int ansiForeground(int consoleColour)
{
    const int c = consoleColour & 15;
    const int ansi = ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2);
    return (c & 8) ? 90 + ansi : 30 + ansi;
}

Viewport viewportFor(int rows, int columns)
{
    rows = std::max(rows, 0);
    columns = std::max(columns, 0);
    if (rows >= SCREEN_ROWS && columns >= SCREEN_COLUMNS) return {SCREEN_ROWS, SCREEN_COLUMNS, -1};
    if (rows > SCREEN_ROWS) return {SCREEN_ROWS, columns, SCREEN_ROWS};
    if (rows == 0 || columns == 0) return {0, 0, -1};
    return {rows - 1, std::min(columns, SCREEN_COLUMNS), rows - 1};
}

void encodeFrame(const ScreenBuffer* shown, const ScreenBuffer& next, int rows, int columns,
                 std::string& out)
{
    const Tables& t = tables();
    const Viewport view = viewportFor(rows, columns);
    const size_t start = out.size();
    out.resize(start + FRAME_OVERHEAD + size_t(view.pictureRows) * size_t(view.pictureColumns) * MAX_CELL_BYTES);
    Writer w{out.data() + start};

    Pen pen;
    if (!shown) {
        w.literal(CLEAR_SCREEN);
        pen.row = pen.column = 0;
        if (view.noticeRow >= 0) writeNotice(w, pen, view.noticeRow, rows, columns);
    }
    for (int y = 0; y < view.pictureRows; ++y) {
        const CharInfo* row = &next[size_t(y) * SCREEN_COLUMNS];
        const CharInfo* before = shown ? &(*shown)[size_t(y) * SCREEN_COLUMNS] : nullptr;
        for (int x = 0; x < view.pictureColumns; ++x) {
            const int glyph = row[x].glyph & 0xFF;
            const int attr = row[x].attr & 0xFF;
            if (before && (before[x].glyph & 0xFF) == glyph && (before[x].attr & 0xFF) == attr) continue;
            moveTo(w, pen, y, x, row, t);
            setColours(w, pen, attr, t);
            const GlyphUtf8& g = t.glyph[glyph];
            w.bytes(g.bytes, size_t(g.length));
            advance(pen, columns);
        }
    }

    out.resize(size_t(w.p - out.data()));
}

}  // namespace terminal
