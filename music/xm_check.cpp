// Walks an XM file's headers and checks that the file holds all they declare,
// with every count inside the format's limits.
#include "music/xm_check.h"

#include <cstring>

namespace music {

constexpr char XM_SIGNATURE[] = "Extended Module: ";
constexpr size_t XM_SIGNATURE_LENGTH = sizeof XM_SIGNATURE - 1;
constexpr size_t HEADER_SIZE_OFFSET = 60;    // the header size field; the header counts from here
constexpr size_t SONG_VALUES_END = 80;       // through the default BPM
constexpr uint64_t SMALLEST_HEADER = 20;     // the song values without an order list
constexpr uint64_t LARGEST_HEADER = 20 + 256;
constexpr int MAX_ORDERS = 256;
constexpr int MAX_PATTERNS = 256;
constexpr int MAX_INSTRUMENTS = 255;         // instrument numbers are bytes in the patterns
constexpr int MAX_CHANNELS = 64;
constexpr int MAX_ROWS = 256;
constexpr int MAX_SAMPLES = 16;              // per instrument
constexpr int LOWEST_BPM = 32, HIGHEST_BPM = 255, HIGHEST_SPEED = 31;
// One converter wrote MED's own tempo, 0 to 10, where the BPM goes, and
// libxmp turns it into a BPM for files that carry its name.
constexpr char MED_CONVERTER[] = "MED2XM by J.Pynnone";
constexpr size_t TRACKER_NAME_OFFSET = 38;
constexpr int HIGHEST_MED_TEMPO = 10;
constexpr int VERSION_102 = 0x0102;          // pattern headers with a one-byte row count
constexpr int FIRST_VERSION_WITH_PATTERNS_FIRST = 0x0104;
constexpr size_t INSTRUMENT_FIXED_PART = 29; // size, name, type, sample count
constexpr size_t INSTRUMENT_WITH_SAMPLES = 33;  // and the sample header size
constexpr size_t SAMPLE_HEADER_BYTES = 40;
constexpr uint8_t ADPCM_SAMPLE_MARK = 0xad;  // ModPlug's packed samples, in the reserved byte
constexpr uint8_t PACKED = 0x80;             // a pattern cell's lead byte names the fields that follow
constexpr int CELL_FIELDS = 5;               // note, instrument, volume, effect, parameter
constexpr int EFFECT_FIELD = 3;
// libxmp 4.5's FastTracker emulation, on for files these trackers wrote, reads
// outside its instrument table (and can crash) on an Lxx effect in a channel
// that has not named an instrument yet; files that would get it are refused.
constexpr uint8_t EFFECT_SET_ENVELOPE_POSITION = 21;  // L
constexpr const char* EMULATED_TRACKERS[] = {"FastTracker v2.00", "OpenMPT "};

static uint32_t read16(const std::vector<uint8_t>& file, size_t at) { return file[at] | (file[at + 1] << 8); }
static uint32_t read32(const std::vector<uint8_t>& file, size_t at)
{
    return read16(file, at) | (static_cast<uint32_t>(read16(file, at + 2)) << 16);
}

bool looksLikeXm(const std::vector<uint8_t>& file)
{
    return file.size() >= XM_SIGNATURE_LENGTH && std::memcmp(file.data(), XM_SIGNATURE, XM_SIGNATURE_LENGTH) == 0;
}

namespace {

// True when packed pattern data sets the envelope position anywhere.
bool setsEnvelopePosition(const uint8_t* data, uint64_t size)
{
    for (uint64_t at = 0; at < size;) {
        const uint8_t lead = data[at];
        const unsigned fields = lead & PACKED ? lead : (1u << CELL_FIELDS) - 1;
        if (lead & PACKED) at++;
        for (int field = 0; field < CELL_FIELDS && at < size; field++) {
            if (!(fields & (1u << field))) continue;
            if (field == EFFECT_FIELD && data[at] == EFFECT_SET_ENVELOPE_POSITION) return true;
            at++;
        }
    }
    return false;
}

// Positions are kept in 64 bits and every step checks them against the file's
// size before reading, so a header claiming huge sizes cannot run past the end.
struct Walk {
    const std::vector<uint8_t>& file;
    const uint64_t size;
    int version;
    bool emulatedTracker;  // libxmp plays it with its FastTracker emulation
    uint64_t at = 0;
    uint64_t deferredSampleData = 0;  // sample data that old versions keep after the patterns

    bool patterns(int count)
    {
        const bool oneByteRows = version <= VERSION_102;
        const uint64_t headerBytes = oneByteRows ? 8 : 9;
        for (int pattern = 0; pattern < count; pattern++) {
            if (at + headerBytes > size) return false;
            uint64_t headerLength = read32(file, at);
            int rows = oneByteRows ? file[at + 5] + 1 : int(read16(file, at + 5));
            uint64_t dataSize = read16(file, at + headerBytes - 2);
            if (headerLength < headerBytes || rows < 1 || rows > MAX_ROWS) return false;
            at += headerLength + dataSize;
            if (at > size) return false;
            if (emulatedTracker && setsEnvelopePosition(file.data() + (at - dataSize), dataSize)) return false;
        }
        return true;
    }

    // Each instrument's headers, and its sample data right after them from
    // version 1.04 on. Converters wrote files that stop cleanly after fewer
    // instruments than the header claims; a file that stops before the first
    // one is cut off.
    bool instruments(int count)
    {
        const bool dataFollows = version >= FIRST_VERSION_WITH_PATTERNS_FIRST;
        for (int instrument = 0; instrument < count; instrument++) {
            if (dataFollows && at == size && instrument > 0) return true;
            if (at + INSTRUMENT_FIXED_PART > size) return false;
            uint64_t headerSize = read32(file, at);
            int samples = read16(file, at + 27);
            if (samples > MAX_SAMPLES || headerSize < (samples > 0 ? INSTRUMENT_WITH_SAMPLES : INSTRUMENT_FIXED_PART))
                return false;
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
            if (dataFollows) at += sampleData;
            else deferredSampleData += sampleData;
            if (at > size) return false;
        }
        return true;
    }
};

}  // namespace

bool isCompleteXm(const std::vector<uint8_t>& file)
{
    if (!looksLikeXm(file) || file.size() < SONG_VALUES_END) return false;
    bool emulatedTracker = false;
    for (const char* tracker : EMULATED_TRACKERS)
        emulatedTracker |= std::memcmp(file.data() + TRACKER_NAME_OFFSET, tracker, std::strlen(tracker)) == 0;
    Walk walk{file, file.size(), int(read16(file, 58)), emulatedTracker};
    uint64_t headerSize = read32(file, HEADER_SIZE_OFFSET);
    int orders = read16(file, 64), restart = read16(file, 66), channels = read16(file, 68);
    int patterns = read16(file, 70), instruments = read16(file, 72);
    int speed = read16(file, 76), bpm = read16(file, 78);
    if (walk.version < VERSION_102 || headerSize < SMALLEST_HEADER || headerSize > LARGEST_HEADER) return false;
    if (orders < 1 || orders > MAX_ORDERS || restart >= MAX_ORDERS || uint64_t(orders) > headerSize - SMALLEST_HEADER)
        return false;
    if (channels < 1 || channels > MAX_CHANNELS || patterns > MAX_PATTERNS || instruments > MAX_INSTRUMENTS)
        return false;
    // The tempo FastTracker allows; a tick of any other length is no tick.
    bool medTempo = bpm <= HIGHEST_MED_TEMPO &&
                    std::memcmp(file.data() + TRACKER_NAME_OFFSET, MED_CONVERTER, sizeof MED_CONVERTER - 1) == 0;
    if (speed < 1 || speed > HIGHEST_SPEED || ((bpm < LOWEST_BPM || bpm > HIGHEST_BPM) && !medTempo)) return false;
    walk.at = HEADER_SIZE_OFFSET + headerSize;
    if (walk.at > walk.size) return false;

    // From version 1.04 the patterns come first, each instrument with its
    // sample data after them; before it the instruments' headers come first
    // and all sample data after the patterns.
    if (walk.version >= FIRST_VERSION_WITH_PATTERNS_FIRST) return walk.patterns(patterns) && walk.instruments(instruments);
    return walk.instruments(instruments) && walk.patterns(patterns) && walk.at + walk.deferredSampleData <= walk.size;
}

}  // namespace music
