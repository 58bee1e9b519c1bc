// The window host: the cells rasterised with the VGA font and palette into a
// streaming texture, shown integer-scaled and centred on black; keys, the
// window's close button and the stop signals end the demo.
#include "hosts/window/window_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <SDL.h>

#include "hosts/window/x11_errors.h"
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
constexpr int BOX_POLL_MS = 25;  // how often the error box looks at the keys and the stop flag

struct Host {
    bool videoStarted = false;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;  // the picture, 640 by 400 whatever the window's size
    Uint32 textureFormat = SDL_PIXELFORMAT_RGB24;
    bool vsync = false;       // the renderer waits for the display: no pacing of our own
    int fps = 60;
    double nextFrameMs = 0.0;  // when the next frame is due, without vsync
    ScreenBuffer shown{};     // the picture of the latest frame, under the error box
    uint8_t rgb[raster::pictureBytes(1)]{};  // the rasterised frame, before it takes the texture's format
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

// The largest window worth drawing: all the displays together, or the
// picture at the largest scale where that is larger. Drawables beyond it only
// cost memory, and X and OpenGL libraries crash on some (32767 pixels square).
SDL_Rect drawableLimit()
{
    int left = 0, top = 0, right = raster::PICTURE_WIDTH * raster::MAX_SCALE,
        bottom = raster::PICTURE_HEIGHT * raster::MAX_SCALE;
    const int displays = SDL_GetNumVideoDisplays();
    for (int i = 0; i < displays; ++i) {
        SDL_Rect bounds {};
        if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        left = std::min(left, bounds.x);
        top = std::min(top, bounds.y);
        right = std::max(right, bounds.x + bounds.w);
        bottom = std::max(bottom, bounds.y + bounds.h);
    }
    return {0, 0, right - left, bottom - top};
}

// The window's size, cut to the limit; true when that cut it (another program
// resized it past its maximum size, which only window managers honour).
bool cutToLimit(int& width, int& height)
{
    SDL_GetWindowSize(host.window, &width, &height);
    const SDL_Rect limit = drawableLimit();
    const bool tooLarge = width > limit.w || height > limit.h;
    width = std::min(width, limit.w);
    height = std::min(height, limit.h);
    return tooLarge;
}

// Shrinks a window grown past the limit back to it.
void keepWindowWithinLimit()
{
    int width = 0, height = 0;
    if (host.window != nullptr && cutToLimit(width, height)) SDL_SetWindowSize(host.window, width, height);
}

void pumpEvents()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) handleEvent(event);
}

// Rasterises `cells` once, 640 by 400, into the picture texture and lets the
// renderer enlarge it by the largest whole number the window's output holds,
// sampling the nearest pixel, centred on black. The cost of a frame is the
// same at any window size but for the renderer's own copy.
void drawCells(const ScreenBuffer& cells)
{
    // A window destroyed by another program, or still too large after being
    // shrunk, is not drawn into.
    int width = 0, height = 0;
    if (host.texture == nullptr || x11WindowGone() || cutToLimit(width, height)) return;
    if (SDL_GetRendererOutputSize(host.renderer, &width, &height) != 0) return;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(host.texture, nullptr, &pixels, &pitch) != 0) return;
    const bool converted = host.textureFormat != SDL_PIXELFORMAT_RGB24;
    const int rgbPitch = int(raster::pictureRowBytes(1));
    raster::rasteriseCells(cells.data(), 1, converted ? host.rgb : static_cast<uint8_t*>(pixels),
                           converted ? size_t(rgbPitch) : size_t(pitch));
    const bool filled = !converted || SDL_ConvertPixels(raster::PICTURE_WIDTH, raster::PICTURE_HEIGHT,
                                                        SDL_PIXELFORMAT_RGB24, host.rgb, rgbPitch,
                                                        host.textureFormat, pixels, pitch) == 0;
    SDL_UnlockTexture(host.texture);
    if (!filled) return;

    // Black only around the picture: the picture covers the rest.
    const int scale = fittingScale(width, height);
    const int pictureWidth = raster::PICTURE_WIDTH * scale, pictureHeight = raster::PICTURE_HEIGHT * scale;
    const SDL_Rect target = {(width - pictureWidth) / 2, (height - pictureHeight) / 2, pictureWidth, pictureHeight};
    const int right = target.x + target.w, bottom = target.y + target.h;
    const SDL_Rect borders[] = {{0, 0, width, target.y},
                                {0, bottom, width, height - bottom},
                                {0, target.y, target.x, target.h},
                                {right, target.y, width - right, target.h}};
    if (SDL_SetRenderDrawColor(host.renderer, 0, 0, 0, 255) != 0 || SDL_RenderFillRects(host.renderer, borders, 4) != 0 ||
        SDL_RenderCopy(host.renderer, host.texture, nullptr, &target) != 0)
        return;
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

// The error box drawn into the picture. Returns when Enter, Space or Escape
// dismisses it or the demo is asked to stop. The keys are polled, never
// waited for: SDL wakes a wait by sending an event to the window over an X
// connection of its own, and once another program has destroyed the window
// the error that sending raised is read only as SDL closes that connection,
// after it has put Xlib's default handler back, which ends the process with
// status 1.
void showBoxInWindow(const char* text, const char* caption)
{
    host.boxOpen = true;
    host.boxDismissed = false;
    ScreenBuffer boxed = host.shown;
    drawMessageBox(boxed, text, caption, SCREEN_ROWS, SCREEN_COLUMNS);
    while (!host.boxDismissed && stopRequested.load() == 0) {
        drawCells(boxed);
        pumpEvents();
        if (!host.boxDismissed && stopRequested.load() == 0) SDL_Delay(BOX_POLL_MS);
    }
    host.boxOpen = false;
}

// True when the renderer draws with an OpenGL that is itself a software
// rasteriser (Mesa's, on a virtual X server or a machine without a GPU): its
// general-purpose pixel pipeline costs several times SDL's own renderer.
bool glDrawsInSoftware(SDL_Renderer* renderer)
{
    SDL_RendererInfo info {};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) return false;
    if (SDL_GL_GetCurrentContext() == nullptr) return false;
    using GetString = const unsigned char* (*)(unsigned);
    constexpr unsigned GL_RENDERER_NAME = 0x1F01;  // GL_RENDERER
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const auto* name = getString != nullptr ? reinterpret_cast<const char*>(getString(GL_RENDERER_NAME)) : nullptr;
    if (name == nullptr) return false;
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (std::strstr(name, software) != nullptr) return true;
    return false;
}

// The display's own renderer (with vsync unless --fps 0 asked for frames back
// to back), else any. On X11, SDL's software renderer puts its pixels to the X
// server by shared memory rather than through OpenGL, and is preferred to an
// OpenGL that draws in software, unless a renderer was asked for by name
// (SDL_RENDER_DRIVER).
SDL_Renderer* createRenderer(SDL_Window* window, int fps)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool x11 = driver != nullptr && std::strcmp(driver, "x11") == 0;
    if (x11) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const Uint32 vsync = fps > 0 ? SDL_RENDERER_PRESENTVSYNC : 0;
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | vsync);
    if (renderer == nullptr) renderer = SDL_CreateRenderer(window, -1, vsync);
    if (renderer == nullptr) return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!x11 || SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr || !glDrawsInSoftware(renderer)) return renderer;
    SDL_DestroyRenderer(renderer);
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    return renderer != nullptr ? renderer : SDL_CreateRenderer(window, -1, vsync);
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
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) keepWindowWithinLimit();
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
    endWhenDisplayLost();
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
        const SDL_Rect limit = drawableLimit();
        SDL_SetWindowMaximumSize(host.window, limit.w, limit.h);
        host.renderer = createRenderer(host.window, options.fps);
    }
    if (host.renderer != nullptr) {
        // In the window's own format the renderer enlarges the picture without converting every pixel.
        const Uint32 format = SDL_GetWindowPixelFormat(host.window);
        const bool direct = SDL_BITSPERPIXEL(format) == 32 && !SDL_ISPIXELFORMAT_INDEXED(format);
        host.textureFormat = direct ? format : Uint32(SDL_PIXELFORMAT_RGB24);
        host.texture = SDL_CreateTexture(host.renderer, host.textureFormat, SDL_TEXTUREACCESS_STREAMING,
                                         raster::PICTURE_WIDTH, raster::PICTURE_HEIGHT);
        if (host.texture != nullptr && (SDL_SetTextureScaleMode(host.texture, SDL_ScaleModeNearest) != 0 ||
                                        SDL_SetTextureBlendMode(host.texture, SDL_BLENDMODE_NONE) != 0)) {
            SDL_DestroyTexture(host.texture);
            host.texture = nullptr;
        }
    }
    // The X window is made anew for the renderer: this one is the one shown.
    if (host.texture != nullptr) watchX11Errors(host.window);
    if (host.texture == nullptr) {
        std::fprintf(stderr, "murl13: no window: %s\n", SDL_GetError());
        closeWindow();
        return false;
    }
    // Only a display's vsync paces the loop; a software renderer's flag does not wait.
    SDL_RendererInfo info {};
    if (SDL_GetRendererInfo(host.renderer, &info) != 0) info.flags = 0;
    host.vsync = (info.flags & SDL_RENDERER_PRESENTVSYNC) && (info.flags & SDL_RENDERER_ACCELERATED);
    host.fps = options.fps;
    host.nextFrameMs = double(SDL_GetTicks64());
    host.shown = {};
    if (options.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    installStopSignals();
    return true;
}

SDL_Window* sdlWindow() { return host.window; }

SDL_Texture* pictureTexture() { return host.texture; }

void closeWindow()
{
    if (host.texture != nullptr) SDL_DestroyTexture(host.texture);
    if (host.renderer != nullptr) SDL_DestroyRenderer(host.renderer);
    if (host.window != nullptr) SDL_DestroyWindow(host.window);
    stopWatchingX11Errors();
    if (host.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    host.videoStarted = false;
    host.texture = nullptr;
    host.renderer = nullptr;
    host.window = nullptr;
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
    // Always the box drawn in the window: SDL's own box on X11 runs in a forked
    // helper process that a stop request cannot end and that outlives a
    // killed demo; this one ends with the demo.
    showBoxInWindow(text, caption);
}

}  // namespace window
