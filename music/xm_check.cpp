// Walks an XM file's headers and checks that the file holds all they declare.
#include "music/xm_check.h"

#include <cstring>

namespace music {

constexpr char XM_SIGNATURE[] = "Extended Module: ";
constexpr size_t XM_SIGNATURE_LENGTH = sizeof XM_SIGNATURE - 1;
constexpr size_t HEADER_SIZE_OFFSET = 60;    // the header size field; the header counts from here
constexpr size_t SONG_VALUES_END = 80;       // through the default BPM
constexpr int FIRST_VERSION_WITH_PATTERNS_FIRST = 0x0104;
constexpr size_t INSTRUMENT_FIXED_PART = 29; // size, name, type, sample count
constexpr size_t SAMPLE_HEADER_BYTES = 40;
constexpr uint8_t ADPCM_SAMPLE_MARK = 0xad;  // ModPlug's packed samples, in the reserved byte

static uint32_t read16(const std::vector<uint8_t>& file, size_t at) { return file[at] | (file[at + 1] << 8); }
static uint32_t read32(const std::vector<uint8_t>& file, size_t at)
{
    return read16(file, at) | (static_cast<uint32_t>(read16(file, at + 2)) << 16);
}

bool looksLikeXm(const std::vector<uint8_t>& file)
{
    return file.size() >= XM_SIGNATURE_LENGTH && std::memcmp(file.data(), XM_SIGNATURE, XM_SIGNATURE_LENGTH) == 0;
}

// Positions are kept in 64 bits and every step checks them against the file's
// size before reading, so a header claiming huge sizes cannot run past the end.
bool isCompleteXm(const std::vector<uint8_t>& file)
{
    const uint64_t size = file.size();
    if (!looksLikeXm(file) || size < SONG_VALUES_END) return false;
    int version = read16(file, 58);
    // Versions before 1.04 put all sample data after the patterns; their
    // layout is left to libxmp's own checks.
    if (version < FIRST_VERSION_WITH_PATTERNS_FIRST) return true;
    uint64_t at = HEADER_SIZE_OFFSET + uint64_t{read32(file, HEADER_SIZE_OFFSET)};
    int patterns = read16(file, 70);
    int instruments = read16(file, 72);
    if (at > size) return false;

    for (int pattern = 0; pattern < patterns; pattern++) {
        if (at + 9 > size) return false;
        uint64_t headerLength = read32(file, at);
        uint64_t dataSize = read16(file, at + 7);
        at += headerLength + dataSize;
        if (at > size) return false;
    }

    for (int instrument = 0; instrument < instruments; instrument++) {
        // Converters wrote files that stop cleanly after fewer instruments than
        // the header claims; a file that stops before the first one is cut off.
        if (at == size && instrument > 0) return true;
        if (at + INSTRUMENT_FIXED_PART > size) return false;
        uint64_t headerSize = read32(file, at);
        int samples = read16(file, at + 27);
        at += headerSize;
        if (at > size) return false;
        uint64_t sampleData = 0;
        for (int sample = 0; sample < samples; sample++) {
            if (at + SAMPLE_HEADER_BYTES > size) return false;
            uint64_t length = read32(file, at);
            bool adpcm = file[at + 17] == ADPCM_SAMPLE_MARK;
            sampleData += adpcm ? 16 + (length + 1) / 2 : length;
            // Sample headers follow one another at 40 bytes, whatever size the
            // instrument header gives them.
            at += SAMPLE_HEADER_BYTES;
        }
        at += sampleData;
        if (at > size) return false;
    }
    return true;
}

}  // namespace music
