// The logos: on orders 1, 2 and 3 they are copied over the effect's cells. They
// jump to new random offsets on every beat (on every order, so the sequence of
// offsets depends only on the beats), and on orders 2 and 3 the pulses jolt them.
#include "runtime/overlays.h"

#include "art/images.h"
#include "art/tables.h"
#include "state/demo_state.h"

uint32_t overlayRandomState = 1;

namespace {

constexpr int TRANSPARENT = 2;

// A linear congruential generator; 0..32767.
int drawRandom()
{
    overlayRandomState = overlayRandomState * 214013u + 2531011u;
    return int((overlayRandomState >> 16) & 32767u);
}

void stampImage(const int* pixels, int width, int height, int top, int left)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int value = pixels[y * width + x];
            if (value == TRANSPARENT) continue;
            CharInfo& cell = screenBuffer[(top + y) * SCREEN_COLUMNS + left + x];
            cell.attr = uint16_t(overlayAttr[value]);
            cell.glyph = uint16_t(overlayGlyph[value] & 0xFF);
        }
    }
}

}  // namespace

void stampOverlays()
{
    if (demo.lastBeatCount != relaxedLoad(demo.beatCount)) {
        demo.overlayX = drawRandom() % 38;
        demo.overlayY = drawRandom() % 20;
        demo.lastBeatCount = relaxedLoad(demo.beatCount);
    }
    const int accent = int(relaxedLoad(demo.accentPulse));
    const int beat = int(relaxedLoad(demo.beatPulse));
    const int ox = demo.overlayX, oy = demo.overlayY;

    switch (demo.musicOrder) {
    case 1:
        // The two halves drift apart and together; the second wins where they meet.
        stampImage(logo1a, LOGO1A_WIDTH, LOGO1A_HEIGHT, oy + 1, ox + 1);
        stampImage(logo1b, LOGO1B_WIDTH, LOGO1B_HEIGHT, 26 - oy, 39 - ox);
        break;
    case 2:
        // The beat lifts the logo, the accent pushes it right; clamped to fit.
        stampImage(logo2, LOGO2_WIDTH, LOGO2_HEIGHT, 7 + oy - beat, 1 + (ox < 29 ? ox : 29) + accent);
        break;
    case 3:
        stampImage(logo3, LOGO3_WIDTH, LOGO3_HEIGHT, 7 + oy - accent, 1 + ox + beat);
        break;
    default:
        break;
    }
}
