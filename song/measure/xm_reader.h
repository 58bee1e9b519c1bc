// Reads an XM file back into the module model of the writer: the header,
// the order table, every pattern (packed or not) and the instruments with
// their sample headers and data. The measuring tool reads the song it is
// given this way, the score exactly as the file holds it; any module
// FastTracker 2 writes reads too, so the same figures can be taken of others.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "song/xm_writer.h"

namespace xm {

// The module in `bytes`, or nothing when they are not a complete XM file.
std::optional<Module> parse(const std::vector<uint8_t>& bytes);

}  // namespace xm
