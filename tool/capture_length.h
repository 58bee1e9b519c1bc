// The show's length in frames, counted from the song before anything is
// rendered: the capture refuses a start past the show's end at once, and its
// progress line knows how far it has to go.
#pragma once

#include <cstdint>

// How many frames the capture renders at fps frames a second when it runs to
// the show's end, counting at most `limit`: frame k sees every tick of the
// song that starts at or before sample floor(k x 44100 / fps) (as the song
// clock passes them), and the show ends with the first frame at order
// `finalOrder` (included) or before the first frame that would hear the song
// end or start over. -1 when the song does not load.
int64_t showFrameCount(const char* songPath, int fps, int finalOrder, int64_t limit);
