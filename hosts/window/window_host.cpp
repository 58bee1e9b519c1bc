// The window host: the cells rasterised with the VGA font and palette into a
// streaming texture, shown integer-scaled and centred on black; keys, the
// window's close button and the stop signals end the demo.
#include "hosts/window/window_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <SDL.h>

#include "raster/rasterise.h"
#include "runtime/message_box.h"
#include "state/demo_state.h"
#include "hosts/window/stop_signals.h"

namespace window {

std::atomic<unsigned> stopRequested{0};

namespace {

constexpr char TITLE[] = "Norq - Murl #13";
constexpr int DEFAULT_SCALE = 2;
constexpr int LARGEST_DEFAULT_SCALE = 4;
constexpr int BOX_POLL_MS = 100;  // how often the error box looks at the stop flag

struct Host {
    bool videoStarted = false;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureScale = 0;
    bool vsync = false;       // the renderer waits for the display: no pacing of our own
    int fps = 60;
    double nextFrameMs = 0.0;  // when the next frame is due, without vsync
    ScreenBuffer shown{};     // the picture of the latest frame, under the error box
    bool boxOpen = false;     // the in-window error box is showing
    bool boxDismissed = false;
};
Host host;

void toggleFullscreen()
{
    if (host.window == nullptr) return;
    const bool full = (SDL_GetWindowFlags(host.window) & SDL_WINDOW_FULLSCREEN) != 0;
    SDL_SetWindowFullscreen(host.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(full ? SDL_ENABLE : SDL_DISABLE);
}

void pumpEvents()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) handleEvent(event);
}

// Rasterises `cells` at the largest integer scale the window's output holds
// and shows them centred, black around them.
void drawCells(const ScreenBuffer& cells)
{
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(host.renderer, &width, &height) != 0) return;
    const int scale = fittingScale(width, height);
    if (scale != host.textureScale) {
        if (host.texture != nullptr) SDL_DestroyTexture(host.texture);
        host.texture = SDL_CreateTexture(host.renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING,
                                         raster::PICTURE_WIDTH * scale, raster::PICTURE_HEIGHT * scale);
        host.textureScale = host.texture != nullptr ? scale : 0;
        if (host.texture == nullptr) return;
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(host.texture, nullptr, &pixels, &pitch) != 0) return;
    raster::rasteriseCells(cells.data(), scale, static_cast<uint8_t*>(pixels), size_t(pitch));
    SDL_UnlockTexture(host.texture);

    const int pictureWidth = raster::PICTURE_WIDTH * scale, pictureHeight = raster::PICTURE_HEIGHT * scale;
    const SDL_Rect target = {(width - pictureWidth) / 2, (height - pictureHeight) / 2, pictureWidth, pictureHeight};
    SDL_SetRenderDrawColor(host.renderer, 0, 0, 0, 255);
    SDL_RenderClear(host.renderer);
    SDL_RenderCopy(host.renderer, host.texture, nullptr, &target);
    SDL_RenderPresent(host.renderer);
}

// Without vsync, frames are held to the asked-for rate: the main thread sleeps
// until the next frame is due. A frame that came late starts the count anew.
void pace()
{
    if (host.vsync || host.fps <= 0) return;
    const double period = 1000.0 / host.fps;
    const double now = double(SDL_GetTicks64());
    const double wait = host.nextFrameMs - now;
    if (wait > 0.0 && wait <= period) {
        SDL_Delay(uint32_t(wait));
        host.nextFrameMs += period;
    } else {
        host.nextFrameMs = now + period;
    }
}

// The error box drawn into the picture, for when no native box can be shown.
// Returns when Enter, Space or Escape dismisses it or the demo is asked to stop.
void showBoxInWindow(const char* text, const char* caption)
{
    host.boxOpen = true;
    host.boxDismissed = false;
    while (!host.boxDismissed && stopRequested.load() == 0) {
        ScreenBuffer boxed = host.shown;
        drawMessageBox(boxed, text, caption, SCREEN_ROWS, SCREEN_COLUMNS);
        drawCells(boxed);
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, BOX_POLL_MS)) handleEvent(event);
    }
    host.boxOpen = false;
}

}  // namespace

int fittingScale(int width, int height)
{
    const int scale = std::min(width / raster::PICTURE_WIDTH, height / raster::PICTURE_HEIGHT);
    return std::clamp(scale, 1, raster::MAX_SCALE);
}

int defaultScale(int desktopWidth, int desktopHeight)
{
    if (desktopWidth <= 0 || desktopHeight <= 0) return DEFAULT_SCALE;
    return std::min(fittingScale(desktopWidth, desktopHeight), LARGEST_DEFAULT_SCALE);
}

void handleEvent(const SDL_Event& event)
{
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
        stopRequested.store(1);
        return;
    }
    if (event.type != SDL_KEYDOWN) return;
    const SDL_Keycode key = event.key.keysym.sym;
    const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
    const bool enter = key == SDLK_RETURN || key == SDLK_KP_ENTER;
    if (key == SDLK_F11 || (enter && alt)) {
        if (!event.key.repeat) toggleFullscreen();
    } else if (host.boxOpen) {
        if (enter || key == SDLK_SPACE || key == SDLK_ESCAPE) host.boxDismissed = true;
    } else if (key == SDLK_ESCAPE) {
        stopRequested.store(1);
    }
}

bool openWindow(const WindowOptions& options)
{
    if (host.window != nullptr) return true;
    // The stop signals are ours: they end the demo cleanly, then the process.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "murl13: no window: %s\n", SDL_GetError());
        return false;
    }
    host.videoStarted = true;
    // Without a display SDL falls back to a driver that shows nothing; such a
    // driver is used only when asked for by name (as the tests do).
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const bool showsNothing = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (showsNothing && !(asked && std::strcmp(asked, driver) == 0)) {
        std::fputs("murl13: no window: no display to show it on\n", stderr);
        closeWindow();
        return false;
    }
    int scale = options.scale;
    if (scale <= 0) {
        SDL_Rect desktop {};
        if (SDL_GetDisplayUsableBounds(0, &desktop) != 0) desktop = {};
        scale = defaultScale(desktop.w, desktop.h);
    }
    scale = std::clamp(scale, 1, raster::MAX_SCALE);
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    host.window = SDL_CreateWindow(TITLE, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   raster::PICTURE_WIDTH * scale, raster::PICTURE_HEIGHT * scale, flags);
    if (host.window != nullptr) {
        // --fps 0 asks for frames back to back: no waiting for the display either.
        const Uint32 vsync = options.fps > 0 ? SDL_RENDERER_PRESENTVSYNC : 0;
        host.renderer = SDL_CreateRenderer(host.window, -1, SDL_RENDERER_ACCELERATED | vsync);
        if (host.renderer == nullptr) host.renderer = SDL_CreateRenderer(host.window, -1, vsync);
        if (host.renderer == nullptr) host.renderer = SDL_CreateRenderer(host.window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (host.renderer == nullptr) {
        std::fprintf(stderr, "murl13: no window: %s\n", SDL_GetError());
        closeWindow();
        return false;
    }
    // Only a display's vsync paces the loop; a software renderer's flag does not wait.
    SDL_RendererInfo info {};
    SDL_GetRendererInfo(host.renderer, &info);
    host.vsync = (info.flags & SDL_RENDERER_PRESENTVSYNC) && (info.flags & SDL_RENDERER_ACCELERATED);
    host.fps = options.fps;
    host.nextFrameMs = double(SDL_GetTicks64());
    host.shown = {};
    host.textureScale = 0;
    if (options.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    installStopSignals();
    return true;
}

SDL_Window* sdlWindow() { return host.window; }

void closeWindow()
{
    if (host.texture != nullptr) SDL_DestroyTexture(host.texture);
    if (host.renderer != nullptr) SDL_DestroyRenderer(host.renderer);
    if (host.window != nullptr) SDL_DestroyWindow(host.window);
    if (host.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    host.videoStarted = false;
    host.texture = nullptr;
    host.renderer = nullptr;
    host.window = nullptr;
    host.textureScale = 0;
}

void openConsole()
{
    if (host.window == nullptr && !openWindow(WindowOptions{})) stopRequested.store(1);
}

uint32_t clockMs() { return SDL_GetTicks(); }

void presentFrame()
{
    if (host.window == nullptr) return;
    pumpEvents();
    host.shown = screenBuffer;
    drawCells(host.shown);
    pace();
}

uint16_t escapeHeld() { return stopRequested.load(std::memory_order_relaxed) ? 1 : 0; }

void showErrorBox(const char* text, const char* caption)
{
    if (host.window == nullptr) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, host.window) == 0) return;
    // No native box here (a bare X server has no dialog helper or fonts).
    showBoxInWindow(text, caption);
}

}  // namespace window
