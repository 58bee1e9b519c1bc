// The soundtrack's mix, rendered. Sample volumes, volume columns and the
// number of voices add up in the player's mixer; a louder instrument or one
// more voice can push the sum into clipping, and a volume slip or a lost
// instrument can leave a section silent while every timing test still
// passes. This renders the whole song with libxmp's default mixer (what the
// music layer plays through) and checks the peak and every order's level.
#include <gtest/gtest.h>
#include <xmp.h>

#include <cmath>
#include <map>

#include "song/compose.h"

namespace {

constexpr int RENDER_RATE = 44100;
constexpr double FULL_SCALE = 32768.0;
constexpr double PEAK_LIMIT = 0.97;          // of full scale: headroom left for other mixers' rounding
constexpr double SILENCE_FLOOR_DB = -40.0;   // RMS below this in an order means a section went missing
constexpr double MAX_RENDER_SECONDS = 600;

struct OrderLevel {
    double sumSquares = 0;
    long samples = 0;
    double db() const { return 10 * std::log10(sumSquares / std::max(1L, samples) + 1e-20); }
};

}  // namespace

TEST(SongLevels, NoClippingAndNoSilentOrder)
{
    std::vector<uint8_t> bytes = xm::serialise(song::composeSong());
    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
    ASSERT_EQ(xmp_start_player(ctx, RENDER_RATE, 0), 0);

    std::map<int, OrderLevel> levels;
    double peak = 0, seconds = 0;
    xmp_frame_info fi;
    while (seconds < MAX_RENDER_SECONDS && xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &fi);
        if (fi.loop_count > 0) break;
        const int16_t* pcm = static_cast<const int16_t*>(fi.buffer);
        OrderLevel& level = levels[fi.pos];
        for (int i = 0; i < fi.buffer_size / int(sizeof(int16_t)); ++i) {
            double v = pcm[i] / FULL_SCALE;
            peak = std::max(peak, std::fabs(v));
            level.sumSquares += v * v;
            level.samples++;
        }
        seconds += fi.frame_time / 1e6;
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);

    EXPECT_LT(peak, PEAK_LIMIT);
    ASSERT_EQ(int(levels.size()), song::ORDER_COUNT);
    for (const auto& [order, level] : levels)
        EXPECT_GT(level.db(), SILENCE_FLOOR_DB) << "order " << order << " is nearly silent";
}
