// The demo's shared state: one record of frame values and one grid of console
// cells. Every effect reads the record and writes exactly one cell.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

constexpr int SCREEN_COLUMNS = 80;
constexpr int SCREEN_ROWS = 50;
constexpr int CELL_COUNT = SCREEN_COLUMNS * SCREEN_ROWS;

struct Vector3 {
    float x, y, z;
};

// A loaded music module; the music layer defines it.
struct Song;

// One console cell: the character field (glyph in the low byte, high byte 0)
// and the attribute (bits 0-3 foreground, 4-7 background; bit 0 blue, bit 1
// green, bit 2 red, bit 3 intensity).
struct CharInfo {
    uint16_t glyph;
    uint16_t attr;
    bool operator==(const CharInfo&) const = default;
};

// 50 rows of 80 cells, row-major: cell (x, y) is element y * 80 + x.
using ScreenBuffer = std::array<CharInfo, CELL_COUNT>;

// The values of the cell being drawn: written by the cell loop before each
// effect call, and the ray marcher's scratch. The demo's record holds one set;
// each ray of the fast cell loop has its own.
struct CellValues {
    int cellX;            // column 0..79
    int cellY;            // row 0..49
    float cellU;          // cellX - 40
    float cellV;          // cellY - 25
    Vector3 samplePoint;  // the point the ray marcher is about to evaluate
    int hitMaterial;      // scene 4's classification of its last evaluated point
};

// The frame values, and (from CellValues) the per-cell values.
struct DemoState : CellValues {
    // --- clock and song
    double startTimeMs;   // clock reading when the demo clock started
    double timeSec;       // seconds since startTimeMs, set first thing every frame
    double prevTimeSec;   // timeSec of the previous frame, 0 before the first ends
    int musicOrder;       // the song's order-list position, read once per frame
    Song* song;           // the loaded module, null when loading failed

    // --- beat sync and logos (the first three are written by the player's thread)
    std::atomic<float> accentPulse;  // 3 on an accent trigger, falls 7 per second
    std::atomic<float> beatPulse;    // 3 on a beat trigger, falls 8 per second
    std::atomic<int> beatCount;      // beat triggers since start, never reset
    int lastBeatCount;               // beatCount when the logo offsets were drawn
    int overlayX;                    // logo column offset, 0..37
    int overlayY;                    // logo row offset, 0..19

    // --- frame parameters, set by the timeline before the cell loop
    int effectId;         // 0 plasma, 1..6 ray-marched scene, 9 texture warp
    Vector3 cameraPos;    // ray-march camera
    float viewDistance;   // longest ray and fog distance of the ray marcher
};

extern DemoState demo;
extern ScreenBuffer screenBuffer;

// Zeroes the record and the buffer, as they are when the program starts.
void resetDemoState();

inline float relaxedLoad(const std::atomic<float>& v) { return v.load(std::memory_order_relaxed); }
inline int relaxedLoad(const std::atomic<int>& v) { return v.load(std::memory_order_relaxed); }
inline void relaxedStore(std::atomic<float>& v, float x) { v.store(x, std::memory_order_relaxed); }
inline void relaxedStore(std::atomic<int>& v, int x) { v.store(x, std::memory_order_relaxed); }

// The cell the effect is drawing.
inline CharInfo& currentCell() { return screenBuffer[demo.cellY * SCREEN_COLUMNS + demo.cellX]; }
