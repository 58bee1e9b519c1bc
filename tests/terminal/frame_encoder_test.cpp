// The frame encoder, read back by a real terminal emulator. Encoding frames in
// sequence and letting libvterm parse the bytes must show every glyph and
// colour of the buffer, on a full repaint and after partial updates, for
// synthetic frames with all 256 glyphs and attributes in terminals of many
// sizes and for frames of every effect. Catches a wrong code-page-437
// character or a control character sent raw, swapped or wrong colours, a
// cursor move that lands in the wrong cell, a colour half left stale, a changed
// cell missed or unchanged ones sent again, a picture that runs past the edge
// of a smaller terminal (libvterm keeps autowrap on here, so it would wrap and
// show), a missing notice, and old text left beside the picture.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "art/cp437.h"
#include "state/demo_state.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"
#include "hosts/terminal/frame_encoder.h"
#include "vterm_screen.h"

namespace {

// Console colour (bit 0 blue, bit 2 red) to the palette index it must show as,
// written out rather than computed.
constexpr int PALETTE_OF_CONSOLE[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
// A cursor move, both colours and a three-byte glyph, with room.
constexpr size_t ONE_CELL_MAX_BYTES = 24;

// All 256 glyphs and all 256 attributes, in varied neighbourhoods.
ScreenBuffer everyGlyphAndAttribute()
{
    ScreenBuffer cells{};
    for (int i = 0; i < CELL_COUNT; ++i) cells[size_t(i)] = {uint16_t(i % 256), uint16_t((i * 7 + i / 256) % 256)};
    return cells;
}

// 300 changes of glyph, colour or both at random cells: every kind of move,
// small gaps, runs, first and last columns, row skips.
ScreenBuffer changed(const ScreenBuffer& from, uint32_t seed)
{
    ScreenBuffer cells = from;
    auto random = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int n = 0; n < 300; ++n) {
        CharInfo& cell = cells[random() % CELL_COUNT];
        switch (random() % 4) {
        case 0: cell.glyph = uint16_t(random() % 256); break;
        case 1: cell.attr = uint16_t(random() % 256); break;
        case 2: cell = {uint16_t(random() % 256), uint16_t(random() % 256)}; break;
        case 3: cell.attr = uint16_t((cell.attr & 0xF0) | (random() % 16)); break;
        }
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

// A terminal's size and what it must show: the picture's top-left part and the
// notice's row (-1 for none).
struct Terminal { int rows, columns, pictureRows, pictureColumns, noticeRow; };

// Encodes `frames` in sequence into a terminal full of old red text and checks
// after each that it shows the picture, the notice and nothing else.
void roundTrip(const std::vector<ScreenBuffer>& frames, Terminal t, const std::string& what)
{
    VtermScreen screen(t.rows, t.columns);
    screen.feed("\x1b[41m" + std::string(size_t(t.rows * t.columns), 'x'));
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::string frame = what + " frame " + std::to_string(i);
        std::string bytes;
        terminal::encodeFrame(i == 0 ? nullptr : &frames[i - 1], frames[i], t.rows, t.columns, bytes);
        for (unsigned char b : bytes)
            ASSERT_TRUE(b >= 0x20 || b == 0x1B || b == '\r' || b == '\n') << "control byte " << int(b);
        screen.feed(bytes);
        for (int y = 0; y < t.rows; ++y) {
            for (int x = 0; x < t.columns && y != t.noticeRow; ++x) {
                using Shown = std::array<int, 3>;  // character, foreground, background
                const Shown shows{int(screen.character(y, x)), screen.foreground(y, x), screen.background(y, x)};
                Shown wanted{' ', -1, -1};  // outside the picture: erased
                if (y < t.pictureRows && x < t.pictureColumns) {
                    const CharInfo c = frames[i][size_t(y) * SCREEN_COLUMNS + size_t(x)];
                    wanted = {int(cp437Unicode[c.glyph & 0xFF]), PALETTE_OF_CONSOLE[c.attr & 15],
                              PALETTE_OF_CONSOLE[(c.attr >> 4) & 15]};
                }
                ASSERT_EQ(shows, wanted) << frame << ": cell (" << x << ", " << y << ")";
            }
        }
        const std::string notice = t.noticeRow < 0 ? "" : screen.text(t.noticeRow, t.noticeRow + 1);
        EXPECT_EQ(notice.find(t.columns >= 20 ? "80x50" : "murl13") != std::string::npos, t.noticeRow >= 0)
            << frame << ": notice " << notice;
        EXPECT_EQ(screen.scrolls, 0) << frame;
    }
}

}  // namespace

TEST(FrameEncoder, FramesOfEveryEffectAndEveryGlyphRoundTripInTerminalsOfManySizes)
{
    // Orders that select each effect: plasma (0; 1 with logos), warp with
    // logos (2), the six ray-marched scenes (6, 4, 31, 19, 7, 11), warp (24).
    for (int order : {0, 1, 2, 6, 4, 31, 19, 7, 11, 24}) {
        std::vector<ScreenBuffer> frames;
        for (int step = 0; step < 3; ++step) frames.push_back(demoFrame(order, 7.0 + 0.05 * step, 3 + step));
        roundTrip(frames, {50, 80, 50, 80, -1}, "order " + std::to_string(order));
    }
    std::vector<ScreenBuffer> frames{everyGlyphAndAttribute()};
    for (uint32_t seed = 1; seed <= 6; ++seed) frames.push_back(changed(frames.back(), seed));
    const Terminal terminals[] = {
        {50, 80, 50, 80, -1}, {60, 100, 50, 80, -1},  // the whole picture, at the top left
        {24, 60, 23, 60, 23}, {50, 79, 49, 79, 49}, {49, 80, 48, 80, 48},  // clipped, notice on the last row
        {55, 70, 50, 70, 50}, {30, 100, 29, 80, 29}, {3, 12, 2, 12, 2},
    };
    for (const Terminal& t : terminals) roundTrip(frames, t, std::to_string(t.columns) + "x" + std::to_string(t.rows));
}

TEST(FrameEncoder, SendsOnlyWhatChanged)
{
    const ScreenBuffer first = everyGlyphAndAttribute();
    std::string bytes;
    terminal::encodeFrame(&first, first, SCREEN_ROWS, SCREEN_COLUMNS, bytes);
    EXPECT_EQ(bytes.size(), 0u) << "an unchanged frame writes nothing";

    // One changed cell: a move, its colours and its glyph.
    ScreenBuffer one = first;
    one[size_t(20) * SCREEN_COLUMNS + 33] = {0xDB, 0x4E};
    terminal::encodeFrame(&first, one, SCREEN_ROWS, SCREEN_COLUMNS, bytes);
    EXPECT_LE(bytes.size(), ONE_CELL_MAX_BYTES) << bytes;

    // Next to a cell just written only the foreground changed: only its half is sent.
    ScreenBuffer pair = first, next;
    pair[100] = {'A', 0x12}, pair[101] = {'B', 0x13};
    next = pair;
    next[100].glyph = 'C', next[101] = {'D', 0x14};
    bytes.clear();
    terminal::encodeFrame(&pair, next, SCREEN_ROWS, SCREEN_COLUMNS, bytes);
    EXPECT_NE(bytes.find("C\x1b[31mD"), std::string::npos) << "console red (4) is ANSI red (31), background kept";
}
