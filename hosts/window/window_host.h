// The console host for a desktop window (SDL2 video): the five operations the
// demo calls, shown with the VGA font and palette of the rasteriser, and what
// the demo's main needs to open and close the window.
#pragma once

#include <atomic>
#include <cstdint>

struct SDL_Texture;
struct SDL_Window;
union SDL_Event;

namespace window {

struct WindowOptions {
    int scale = 0;            // console pixels to window pixels, 1 to 8; 0: the largest of 1 to 4 that fits
    bool fullscreen = false;  // start in desktop full screen
    int fps = 60;             // frame rate without vsync; 0: frames back to back (and no vsync)
};

// Opens the window titled "Norq - Murl #13", its renderer (with vsync where
// the system has it) and installs the stop signals. False, with the reason on
// stderr, when there is no window to be had. Does nothing when already open.
bool openWindow(const WindowOptions& options);

// The open window (null when closed), for reading back what it shows.
SDL_Window* sdlWindow();

// The texture each frame is rasterised into, 640 by 400 at any window size
// (null when closed).
SDL_Texture* pictureTexture();

// Closes the window and the video subsystem. Safe to call more than once.
void closeWindow();

// When SIGINT, SIGTERM or SIGHUP asked the demo to stop, ends the process by
// that signal, as a Unix program killed by it would end. Returns otherwise.
void endByStopSignal();

// The five console operations. openConsole opens the window with the default
// options when openWindow has not.
void openConsole();
uint32_t clockMs();
void presentFrame();
uint16_t escapeHeld();
void showErrorBox(const char* text, const char* caption);

// Non-zero once Escape, closing the window or a stop signal ended the demo.
// Set from the main thread and signal handlers; read by escapeHeld from any thread.
extern std::atomic<unsigned> stopRequested;

// What one event does: Escape, a quit or a window close end the demo (Escape,
// Enter and Space only dismiss the error box while it is open); F11 and
// Alt+Enter toggle full screen; a window resized past what is worth drawing
// (the displays together, or the picture at MAX_SCALE) is shrunk back to it.
// Called for every event presentFrame pumps.
void handleEvent(const SDL_Event& event);

// The largest integer scale, 1 to MAX_SCALE, at which the 640 by 400 picture
// fits `width` by `height` pixels; 1 when even that does not fit.
int fittingScale(int width, int height);

// The window's scale when none was asked for: the largest of 1 to 4 that fits
// the desktop's usable area, 2 when its size is unknown (zero).
int defaultScale(int desktopWidth, int desktopHeight);

}  // namespace window
