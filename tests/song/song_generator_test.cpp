// The generated soundtrack as a file. The build writes GLIMVEX.oXM on every
// build and the demo needs the same song each time, so composing must not
// depend on the clock, on memory addresses or on unseeded noise; and the file
// must load in libxmp with the 40 orders the demo's timeline runs through.
// These tests would catch a generator that drifts between runs, a build that
// left a stale song behind, a score that lost orders, or an instrument left
// without its sample.
#include <gtest/gtest.h>
#include <xmp.h>

#include <fstream>
#include <iterator>

#include "song/compose.h"
#include "song/instruments.h"

namespace {

constexpr int REQUIRED_ORDERS = 40;            // the demo ends when order 39 plays
constexpr size_t MAX_MODULE_BYTES = 400 * 1024;  // a demo soundtrack, not a sample pack
const char* const BUILT_SONG = "GLIMVEX.oXM";  // written by the build into the test's working folder

}  // namespace

TEST(SongGenerator, ComposesTheSameBytesEveryTime)
{
    std::vector<uint8_t> first = xm::serialise(song::composeSong());
    std::vector<uint8_t> second = xm::serialise(song::composeSong());
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == second);
    EXPECT_LE(first.size(), MAX_MODULE_BYTES);

    std::ifstream built(BUILT_SONG, std::ios::binary);
    if (!built) GTEST_SKIP() << "no " << BUILT_SONG << " in the working folder to compare with";
    std::vector<uint8_t> onDisk((std::istreambuf_iterator<char>(built)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(onDisk == first) << "the song the build wrote is not the song the composer makes now";
}

TEST(SongGenerator, LoadsInLibxmpWithEveryOrderAndInstrument)
{
    std::vector<uint8_t> bytes = xm::serialise(song::composeSong());
    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(ctx, &info);
    const xmp_module* mod = info.mod;
    EXPECT_GE(mod->len, REQUIRED_ORDERS);
    EXPECT_EQ(mod->spd, song::SONG_SPEED);
    EXPECT_EQ(mod->bpm, song::SONG_BPM);
    ASSERT_EQ(mod->ins, song::INSTRUMENT_COUNT);
    for (int i = 0; i < mod->ins; ++i) {
        SCOPED_TRACE(testing::Message() << "instrument " << i + 1 << " " << mod->xxi[i].name);
        ASSERT_EQ(mod->xxi[i].nsm, 1);
        const xmp_sample& s = mod->xxs[mod->xxi[i].sub[0].sid];
        EXPECT_GT(s.len, 0);
        // Not a silent sample: some value strays well away from zero.
        int largest = 0;
        for (int k = 0; k < s.len; ++k) {
            int v = (s.flg & XMP_SAMPLE_16BIT) ? reinterpret_cast<const int16_t*>(s.data)[k] / 256
                                               : reinterpret_cast<const int8_t*>(s.data)[k];
            largest = std::max(largest, std::abs(v));
        }
        EXPECT_GT(largest, 64);
    }
    xmp_release_module(ctx);
    xmp_free_context(ctx);
}
