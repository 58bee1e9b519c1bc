// The error box: a message with one OK button, drawn into the cells over what
// the terminal shows, centred on the visible picture. Enter, Space or Escape
// dismisses it; none of them ends the demo.
#include <cstdio>

#include "runtime/message_box.h"
#include "hosts/terminal/frame_encoder.h"
#include "hosts/terminal/host_state.h"
#include "hosts/terminal/input_thread.h"
#include "hosts/terminal/terminal_app.h"

namespace terminal {

void showErrorBox(const char* text, const char* caption)
{
    if (!host.open || host.outputLost || host.keyFd < 0) {
        // No terminal to read the dismissing key from: say it and go on.
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    errorBoxOpen.store(true);
    takeEvents(EVENT_DISMISS);
    // What the box covers: the picture on the screen, or black before the first frame.
    const ScreenBuffer under = host.repaint ? ScreenBuffer{} : host.shown;
    for (;;) {
        serviceEvents();
        if (escapeHeld() || host.outputLost) break;
        ScreenBuffer boxed = under;
        const Viewport view = viewportFor(host.rows, host.columns);
        drawMessageBox(boxed, text, caption, view.pictureRows, view.pictureColumns);
        showCells(boxed);
        const unsigned happened =
            waitForEvents(EVENT_DISMISS | STOP_EVENTS | EVENT_SUSPEND | EVENT_CONTINUE | EVENT_RESIZE);
        if (happened & EVENT_DISMISS) break;
    }
    errorBoxOpen.store(false);
    takeEvents(EVENT_DISMISS);
}

}  // namespace terminal
