// What the fast ray marcher keeps for one ray in flight: the per-cell values
// and the scratch that the straightforward loop keeps in demo. Each ray of
// each thread has its own, so threads never share them.
#pragma once

#include <cstdint>

#include "raymarch/primitives.h"
#include "state/demo_state.h"

// The last turn scene 2 derived for one of its three angles, keyed by the bits
// of the float argument of its sine. While beatPulse is 0 the argument is the
// same for every point of a 20-unit cell, so a ray marching through the cell
// needs the three sines and turns only once. Each of the three memos serves
// one angle, so its amplitude never changes.
struct SpinMemo {
    bool valid;
    uint32_t argumentBits;
    AxisTurn turn;
};

struct CellContext : CellValues {
    SpinMemo spin[3];  // scene 2's last turns about x, y and z
};
