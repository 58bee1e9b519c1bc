// What the window host does about X errors: a window destroyed by another
// program (xdotool windowclose, a window manager's kill) ends the demo as
// closing it does, and a display that goes away ends the process at once.
#pragma once

struct SDL_Window;

namespace window {

// From now on a lost X display ends the process with status 1 at once.
void endWhenDisplayLost();

// Handles the X errors about `window` when it is an X11 window (until
// stopWatchingX11Errors); does nothing for other video drivers.
void watchX11Errors(SDL_Window* window);

// Puts back Xlib's own error handlers (for both of the above). Call after the
// window is destroyed (which raises errors of its own when another program
// destroyed it first) and before the video subsystem closes the display.
void stopWatchingX11Errors();

// True once an X request failed because the watched window no longer exists.
bool x11WindowGone();

}  // namespace window
