// The frame values the cell loop reads, apart from each cell's own: what
// another instance of the program (one of the page's workers) needs to draw
// cells of the same frame. The logos' offsets and the pulses' fall stay with
// the instance that runs the frame loop.
#pragma once

#include "state/demo_state.h"

struct CellFrame {
    double timeSec;
    int musicOrder;
    int effectId;
    Vector3 cameraPos;
    float viewDistance;
    float accentPulse;
    float beatPulse;
    int beatCount;
};

// The values of the frame in demo once the timeline and the view distance are
// set; and the same values put into demo.
CellFrame cellFrameOfDemo();
void useCellFrame(const CellFrame& frame);
