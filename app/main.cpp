// murl13: the demo. The frame loop lives in the core; the terminal host and the
// music layer give it a screen, a clock, a keyboard and a song.
#include "runtime/frame_loop.h"

int main()
{
    return runDemo();
}
