#include "song/measure/render.h"

#include <xmp.h>

#include <algorithm>
#include <cmath>

namespace measure {

Render render(const std::vector<uint8_t>& file, const std::vector<int>& muted, double limitSeconds)
{
    Render r;
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, file.data(), long(file.size())) != 0) {
        xmp_free_context(ctx);
        return r;
    }
    if (xmp_start_player(ctx, RATE, 0) != 0) {
        xmp_release_module(ctx);
        xmp_free_context(ctx);
        return r;
    }
    r.loaded = true;
    xmp_module_info info{};
    xmp_get_module_info(ctx, &info);
    r.channels = info.mod->chn;
    for (int ch : muted) xmp_channel_mute(ctx, ch, 1);
    xmp_frame_info fi{};
    const size_t limit = size_t(limitSeconds * RATE);
    while (r.left.size() < limit && xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &fi);
        if (fi.loop_count > 0) break;
        if (r.rowStart.emplace(std::make_pair(fi.pos, fi.row), r.left.size()).second && fi.row == 0)
            r.orderStart.push_back(r.left.size());
        const int16_t* pcm = static_cast<const int16_t*>(fi.buffer);
        for (int i = 0; i + 1 < fi.buffer_size / 2; i += 2) {
            r.left.push_back(float(pcm[i] / 32768.0));
            r.right.push_back(float(pcm[i + 1] / 32768.0));
            r.mono.push_back(float(0.5 * (double(r.left.back()) + double(r.right.back()))));
        }
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return r;
}

std::vector<double> channelLevels(const std::vector<uint8_t>& file, int channels)
{
    std::vector<double> levels;
    for (int ch = 0; ch < channels; ++ch) {
        std::vector<int> others;
        for (int o = 0; o < channels; ++o)
            if (o != ch) others.push_back(o);
        Render alone = render(file, others);
        levels.push_back(meanSquare(alone.left, 0, alone.left.size()) + meanSquare(alone.right, 0, alone.right.size()));
    }
    return levels;
}

double db(double power) { return 10 * std::log10(power + 1e-12); }

double meanSquare(const std::vector<float>& x, size_t from, size_t to)
{
    to = std::min(to, x.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(x[i]) * double(x[i]);
    return to > from ? sum / double(to - from) : 0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1) + 0.5)];
}

}  // namespace measure
