// The console operations in a page. presentFrame hands the picture to the
// page's script (Module.present), which puts it on the canvas at once.
#include "hosts/web/web_console.h"

#include <emscripten.h>

#include <array>
#include <cstddef>

#include "raster/rasterise.h"
#include "runtime/message_box.h"
#include "state/console_host.h"
#include "state/demo_state.h"

namespace {

constexpr int RGBA_BYTES = 4;
constexpr size_t PICTURE_PIXELS = size_t(raster::PICTURE_WIDTH) * size_t(raster::PICTURE_HEIGHT);

std::array<uint8_t, PICTURE_PIXELS * RGBA_BYTES> picture{};
std::array<uint8_t, raster::pictureBytes(1)> rgb{};
bool escapePressed = false;
bool songClock = false;
double songClockMs = 0;
bool boxOpen = false;

// The cells as the VGA showed them, to the canvas.
void showCells(const ScreenBuffer& cells)
{
    raster::rasteriseCells(cells.data(), 1, rgb.data(), raster::pictureRowBytes(1));
    for (size_t i = 0; i < PICTURE_PIXELS; ++i) {
        picture[i * RGBA_BYTES + 0] = rgb[i * raster::RGB_BYTES + 0];
        picture[i * RGBA_BYTES + 1] = rgb[i * raster::RGB_BYTES + 1];
        picture[i * RGBA_BYTES + 2] = rgb[i * raster::RGB_BYTES + 2];
        picture[i * RGBA_BYTES + 3] = 255;
    }
    EM_ASM({ if (Module.present) Module.present($0); }, picture.data());
}

}  // namespace

namespace web {

const uint8_t* shownPicture() { return picture.data(); }
void pressEscape() { escapePressed = true; }
void holdEscape(bool held) { escapePressed = held; }

void useSongClock(double songMs)
{
    songClock = true;
    songClockMs = songMs;
}

void useWallClock() { songClock = false; }
bool errorBoxOpen() { return boxOpen; }
void dismissErrorBox() { boxOpen = false; }

}  // namespace web

void openConsole()
{
    escapePressed = false;
    boxOpen = false;
    EM_ASM({ if (typeof document !== 'undefined') document.title = UTF8ToString($0); }, "Norq - Murl #13");
}

uint32_t clockMs()
{
    // The unsigned 32-bit count wraps as the platform's would.
    const double ms = songClock ? songClockMs : emscripten_get_now();
    return uint32_t(uint64_t(ms));
}

void presentFrame() { showCells(screenBuffer); }

uint16_t escapeHeld() { return escapePressed ? 1 : 0; }

// A page cannot stop for a box: it is drawn over the picture and stays open
// until the page dismisses it; the page runs no frame meanwhile.
void showErrorBox(const char* text, const char* caption)
{
    ScreenBuffer boxed = screenBuffer;
    drawMessageBox(boxed, text, caption, SCREEN_ROWS, SCREEN_COLUMNS);
    boxOpen = true;
    showCells(boxed);
}
