// The logos stamped over the picture on orders 1, 2 and 3.
#pragma once

#include <cstdint>

// Once per frame, after the cell loop: new random offsets when the beat
// counter has moved, then the logos of the current order.
void stampOverlays();

// The offsets' random generator (state starts at 1, never reseeded).
extern uint32_t overlayRandomState;
