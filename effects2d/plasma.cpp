// The plasma: a wave along the rows, one along the columns and rings from the
// centre, swelled and flattened by a slow sine and drifting down with time.
// Every beat moves each cell one ramp on and changes the glyph of the screen.
//
// The fast cell loop draws it with fast_effects2d.cpp, which must give the same
// cells; a change here goes there too.
#include <cmath>

#include "art/tables.h"
#include "effects2d/effects2d.h"
#include "runtime/demo_state.h"

void plasmaCell()
{
    const double t = demo.timeSec;
    const int beats = relaxedLoad(demo.beatCount);

    const float row = float(demo.cellY - 25);
    const float column = float(demo.cellX - 40);
    const double rowWave = std::cos(double(row) / 3.0 - t * 13.0);
    const double columnWave = std::sin(double(column) / 3.0 - t * 11.0);
    const float waves = float((columnWave + rowWave) * 1.5 - t * 3.0);

    const float radiusSquared = float(double(demo.cellU) * demo.cellU + double(demo.cellV) * demo.cellV);
    const int ring = int(float(std::sqrt(double(radiusSquared))));
    const double field = double(waves) + ring / 1.5;

    const int pattern = int((std::sin(t - 1.5) + 1.0) * field);
    const int shifted = pattern + 6 * beats;

    // A negative remainder reads the entries stored just before the palette.
    int attr;
    if (demo.musicOrder % 2 == 1) attr = plasmaColoursA[shifted % 30];
    else attr = plasmaColoursB[shifted % 12];

    CharInfo& cell = currentCell();
    cell.glyph = uint16_t(beatGlyphs[beats % BEAT_GLYPH_COUNT] & 0xFF);
    cell.attr = uint16_t(attr & 0xFFFF);
}
