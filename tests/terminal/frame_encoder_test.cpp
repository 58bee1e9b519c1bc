// The frame encoder, read back by a real terminal emulator. Encoding a frame
// and letting libvterm parse the bytes must give back every glyph and colour of
// the buffer, on a full repaint and after partial updates, for synthetic frames
// with all 256 glyphs and attributes and for frames of every effect. Catches a
// wrong code-page-437 character or a control character sent raw, swapped or
// wrong colours, a cursor move that lands in the wrong cell, a colour half left
// stale, an unchanged cell skipped or a changed one missed, and a picture that
// runs past the edge of a smaller terminal (libvterm keeps autowrap on here, so
// a write past the last column would wrap and show).
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "art/cp437.h"
#include "runtime/demo_state.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"
#include "runtime/terminal/frame_encoder.h"
#include "vterm_screen.h"

namespace {

// Console colour (bit 0 blue, bit 2 red) to the palette index it must show as:
// the table of the 16 ANSI colours, written out rather than computed.
constexpr int PALETTE_OF_CONSOLE[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

// Compares the visible part of `cells` with what the terminal shows.
void expectShows(const VtermScreen& screen, const ScreenBuffer& cells, int pictureRows, int pictureColumns,
                 const std::string& what)
{
    int mismatches = 0;
    for (int y = 0; y < pictureRows; ++y) {
        for (int x = 0; x < pictureColumns; ++x) {
            const CharInfo cell = cells[size_t(y) * SCREEN_COLUMNS + size_t(x)];
            const uint32_t expectedChar = cp437Unicode[cell.glyph & 0xFF];
            const int expectedFg = PALETTE_OF_CONSOLE[cell.attr & 15];
            const int expectedBg = PALETTE_OF_CONSOLE[(cell.attr >> 4) & 15];
            if (screen.character(y, x) != expectedChar || screen.foreground(y, x) != expectedFg ||
                screen.background(y, x) != expectedBg) {
                if (++mismatches <= 5)
                    ADD_FAILURE() << what << ": cell (" << x << ", " << y << ") glyph " << (cell.glyph & 0xFF)
                                  << " attr " << (cell.attr & 0xFF) << " shows U+" << std::hex
                                  << screen.character(y, x) << std::dec << " fg " << screen.foreground(y, x)
                                  << " bg " << screen.background(y, x);
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << what;
}

// Every byte below 0x20 in a frame is ESC, CR or LF: a glyph never goes out as
// a control character the terminal would obey.
void expectNoStrayControls(const std::string& bytes)
{
    for (unsigned char b : bytes)
        if (b < 0x20) {
            ASSERT_TRUE(b == 0x1B || b == '\r' || b == '\n') << "control byte " << int(b);
        }
}

// A small deterministic generator for the changes between frames.
struct Lcg {
    uint32_t state;
    uint32_t next() { return state = state * 1664525u + 1013904223u, state >> 8; }
};

// All 256 glyphs and all 256 attributes, in varied neighbourhoods.
ScreenBuffer everyGlyphAndAttribute()
{
    ScreenBuffer cells{};
    for (int i = 0; i < CELL_COUNT; ++i)
        cells[size_t(i)] = {uint16_t(i % 256), uint16_t((i * 7 + i / 256) % 256)};
    return cells;
}

// Changes that exercise every kind of move: single cells with gaps of one to
// five, runs, first and last columns, row skips, colour-only and glyph-only.
ScreenBuffer changed(const ScreenBuffer& from, uint32_t seed)
{
    ScreenBuffer cells = from;
    Lcg random{seed};
    for (int n = 0; n < 300; ++n) {
        const size_t i = random.next() % CELL_COUNT;
        switch (random.next() % 4) {
        case 0: cells[i].glyph = uint16_t(random.next() % 256); break;
        case 1: cells[i].attr = uint16_t(random.next() % 256); break;
        case 2: cells[i] = {uint16_t(random.next() % 256), uint16_t(random.next() % 256)}; break;
        case 3: cells[i].attr = uint16_t((cells[i].attr & 0xF0) | (random.next() % 16)); break;
        }
    }
    for (int y = 0; y < SCREEN_ROWS; y += 7) {
        cells[size_t(y) * SCREEN_COLUMNS].glyph ^= 1;
        cells[size_t(y) * SCREEN_COLUMNS + SCREEN_COLUMNS - 1].attr ^= 0x10;
    }
    return cells;
}

// One frame of the demo as the frame loop renders it, at a given order and time.
ScreenBuffer demoFrame(int order, double timeSec, int beats)
{
    resetDemoState();
    overlayRandomState = 1;
    demo.musicOrder = order;
    demo.timeSec = timeSec;
    demo.viewDistance = 97.0f;
    relaxedStore(demo.beatCount, beats);
    relaxedStore(demo.beatPulse, 1.5f);
    relaxedStore(demo.accentPulse, 2.0f);
    applyTimeline();
    updateViewDistance();
    renderCells();
    stampOverlays();
    return screenBuffer;
}

// Encodes `frames` in sequence into a fresh terminal of the given size,
// checking the screen after each, and returns the byte count of each frame.
std::vector<size_t> roundTrip(const std::vector<ScreenBuffer>& frames, int rows, int columns, const std::string& what)
{
    VtermScreen screen(rows, columns);
    const terminal::Viewport view = terminal::viewportFor(rows, columns);
    std::vector<size_t> sizes;
    for (size_t i = 0; i < frames.size(); ++i) {
        std::string bytes;
        terminal::encodeFrame(i == 0 ? nullptr : &frames[i - 1], frames[i], rows, columns, bytes);
        expectNoStrayControls(bytes);
        screen.feed(bytes);
        sizes.push_back(bytes.size());
        expectShows(screen, frames[i], view.pictureRows, view.pictureColumns,
                    what + " frame " + std::to_string(i));
        EXPECT_EQ(screen.scrolls, 0) << what;
    }
    return sizes;
}

}  // namespace

TEST(FrameEncoder, EveryGlyphAndAttributeRoundTrips)
{
    const ScreenBuffer first = everyGlyphAndAttribute();
    std::set<int> glyphs, attrs;
    for (const CharInfo& c : first) glyphs.insert(c.glyph), attrs.insert(c.attr);
    ASSERT_EQ(glyphs.size(), 256u);
    ASSERT_EQ(attrs.size(), 256u);

    std::vector<ScreenBuffer> frames{first};
    for (uint32_t seed = 1; seed <= 6; ++seed) frames.push_back(changed(frames.back(), seed));
    roundTrip(frames, SCREEN_ROWS, SCREEN_COLUMNS, "synthetic 80x50");
    roundTrip(frames, 60, 100, "synthetic in 100x60");
}

TEST(FrameEncoder, FramesOfEveryEffectRoundTrip)
{
    // Orders that select each effect: plasma (0; 1 with logos), warp with
    // logos (2), the six ray-marched scenes (6, 4, 31, 19, 7, 11), warp (24).
    const int orders[] = {0, 1, 2, 6, 4, 31, 19, 7, 11, 24};
    for (int order : orders) {
        std::vector<ScreenBuffer> frames;
        for (int step = 0; step < 3; ++step) frames.push_back(demoFrame(order, 7.0 + 0.05 * step, 3 + step));
        const std::vector<size_t> sizes = roundTrip(frames, SCREEN_ROWS, SCREEN_COLUMNS, "order " + std::to_string(order));
        if (order == 0) std::printf("plasma frame bytes: full %zu, then %zu and %zu\n", sizes[0], sizes[1], sizes[2]);
    }
}

TEST(FrameEncoder, SmallerTerminalIsClippedWithNotice)
{
    std::vector<ScreenBuffer> frames{everyGlyphAndAttribute()};
    frames.push_back(changed(frames.back(), 11));
    frames.push_back(changed(frames.back(), 12));
    struct Size { int rows, columns; };
    for (Size size : {Size{24, 60}, Size{50, 79}, Size{49, 80}, Size{55, 70}, Size{30, 100}, Size{3, 12}}) {
        const std::string what = std::to_string(size.columns) + "x" + std::to_string(size.rows);
        VtermScreen screen(size.rows, size.columns);
        const terminal::Viewport view = terminal::viewportFor(size.rows, size.columns);
        roundTrip(frames, size.rows, size.columns, what);

        // The notice stays on its row under the picture; the full repaint wrote it.
        std::string first;
        terminal::encodeFrame(nullptr, frames[0], size.rows, size.columns, first);
        screen.feed(first);
        ASSERT_GE(view.noticeRow, 0) << what;
        EXPECT_NE(screen.rowText(view.noticeRow).find(size.columns >= 20 ? "80x50" : "murl13"), std::string::npos)
            << what << ": " << screen.rowText(view.noticeRow);
        EXPECT_EQ(view.pictureColumns, std::min(size.columns, SCREEN_COLUMNS)) << what;
        EXPECT_EQ(view.pictureRows, std::min(size.rows - 1, SCREEN_ROWS)) << what;
    }
}

TEST(FrameEncoder, BiggerTerminalKeepsThePictureTopLeftAndTheRestClear)
{
    const int rows = 60, columns = 100;
    VtermScreen screen(rows, columns);
    screen.feed("leftover text everywhere\r\n\x1b[55;90Hmore");
    std::string bytes;
    terminal::encodeFrame(nullptr, everyGlyphAndAttribute(), rows, columns, bytes);
    screen.feed(bytes);
    expectShows(screen, everyGlyphAndAttribute(), SCREEN_ROWS, SCREEN_COLUMNS, "100x60");
    EXPECT_FALSE(screen.shows("leftover"));
    EXPECT_FALSE(screen.shows("more"));
    EXPECT_EQ(screen.background(55, 90), -1);
}

TEST(FrameEncoder, SendsOnlyWhatChanged)
{
    const ScreenBuffer first = everyGlyphAndAttribute();
    std::string bytes;
    terminal::encodeFrame(&first, first, SCREEN_ROWS, SCREEN_COLUMNS, bytes);
    EXPECT_TRUE(bytes.empty()) << "an unchanged frame writes nothing";

    // Bits above the colours are not shown, so they are no change.
    ScreenBuffer flagsOnly = first;
    flagsOnly[5].attr |= 0x8000;
    terminal::encodeFrame(&first, flagsOnly, SCREEN_ROWS, SCREEN_COLUMNS, bytes);
    EXPECT_TRUE(bytes.empty());

    // One changed cell: the sync marks, one move, at most both colours, one glyph.
    ScreenBuffer one = first;
    one[size_t(20) * SCREEN_COLUMNS + 33] = {0xDB, 0x4E};
    terminal::encodeFrame(&first, one, SCREEN_ROWS, SCREEN_COLUMNS, bytes);
    EXPECT_LE(bytes.size(), 40u) << bytes;
    EXPECT_EQ(bytes.rfind("\x1b[?2026h", 0), 0u);
    EXPECT_EQ(bytes.substr(bytes.size() - 8), "\x1b[?2026l");

    // Only the foreground changed next to a cell just written: only its half is sent.
    ScreenBuffer pair = first;
    pair[100] = {'A', 0x12};
    pair[101] = {'B', 0x13};
    ScreenBuffer pairFgOnly = pair;
    pairFgOnly[100].glyph = 'C';
    pairFgOnly[101] = {'D', 0x14};
    bytes.clear();
    terminal::encodeFrame(&pair, pairFgOnly, SCREEN_ROWS, SCREEN_COLUMNS, bytes);
    EXPECT_NE(bytes.find("C\x1b[31mD"), std::string::npos) << "console red (4) is ANSI red (31), background kept";
}
