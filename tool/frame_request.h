// One frame from a state given as the workbench's options (--time T --order O
// ...): parsed strictly, then rendered from a zeroed state exactly as the frame
// loop would. The workbench's frame command and the page's still frames share it.
#pragma once

#include "state/demo_state.h"

struct FrameRequest {
    double time = 0;
    int order = 0;
    int beats = 0;
    float accent = 0;
    float beatPulse = 0;
    float view = 0;
    int overlayX = 0;
    int overlayY = 0;
    int hitMaterial = 0;
    bool haveEffect = false;
    int effect = 0;
    bool haveCamera = false;
    Vector3 camera{0, 0, 0};
    enum class Format { Default, Raw, Ansi, Png } format = Format::Default;
    int scale = 0;  // 0: not given
};

// Returns 0 when every option was understood, -1 after --help (the usage is
// printed; 1 when it could not be), else USAGE_ERROR after printing the fault
// and the usage to stderr.
int parseFrameRequest(int argc, char** argv, FrameRequest& request);

// Renders the frame into screenBuffer: the state zeroed, the request's values
// set, the timeline and the view rule, then the forced effect and camera, all
// cells on the calling thread and the logos.
void renderRequestedFrame(const FrameRequest& request);
