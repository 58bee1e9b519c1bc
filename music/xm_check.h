// A completeness check for XM files. libxmp plays what it can of a cut-off XM
// (the missing patterns come out empty, the missing instruments are dropped),
// which would make a damaged song play silently wrong; the music layer turns
// such a file away instead, as it does any file that is not a module.
#pragma once

#include <cstdint>
#include <vector>

namespace music {

// True when the bytes begin with the XM signature.
bool looksLikeXm(const std::vector<uint8_t>& file);

// True when every part the XM's headers declare is in the file: the header
// and order list, each pattern's data, each instrument and sample header and
// the sample data. A file ending exactly after a whole instrument, the first or
// a later one, is accepted: converters wrote files that claim more instruments
// than they hold.
bool isCompleteXm(const std::vector<uint8_t>& file);

}  // namespace music
