// The plasma: a wave along the rows, one along the columns and rings from the
// centre, swelled and flattened by a slow sine and drifting down with time.
// Every beat moves each cell one ramp on and changes the glyph of the screen.
//
// Every term is taken for this cell; the fast cell loop takes the same terms
// (effect_terms.h) once per frame, row and column.
#include "effects2d/effect_terms.h"
#include "effects2d/effects2d.h"

void plasmaCell()
{
    const double t = demo.timeSec;
    const int beats = relaxedLoad(demo.beatCount);

    const PlasmaConstants frame = plasmaConstantsOf(t, demo.musicOrder);
    const double rowWave = plasmaRowWave(float(demo.cellY - 25), t);
    const double columnWave = plasmaColumnWave(float(demo.cellX - 40), t);
    currentCell() = plasmaCellOf(frame, columnWave, rowWave, demo.cellU, demo.cellV, beats);
}
