// The gate of the music layer: the decoder library reads many tracker formats
// and some of its loaders fail badly on broken headers, so only an XM file
// that passes this check reaches it. It also turns away a cut-off XM, which
// the library would play silently wrong (the missing patterns empty, the
// missing instruments dropped).
#pragma once

#include <cstdint>
#include <vector>

namespace music {

// True when the bytes begin with the XM signature.
bool looksLikeXm(const std::vector<uint8_t>& file);

// True when the file is an XM whose every count is inside the format's limits
// (orders, channels, patterns, instruments, rows, samples, speed and BPM) and
// which holds every part its headers declare: the header and order list, each
// pattern's data, each instrument and sample header and the sample data. A
// file ending exactly after a whole instrument, the first or a later one, is
// accepted: converters wrote files that claim more instruments than they hold.
// A file that libxmp plays with its FastTracker emulation may not use effect
// Lxx, on which that emulation reads outside its instruments.
bool isCompleteXm(const std::vector<uint8_t>& file);

}  // namespace music
