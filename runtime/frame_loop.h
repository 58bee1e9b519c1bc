// The frame loop and its steps. runDemo is the whole program; the other steps
// are public so the workbench can render one frame the way the loop does.
#pragma once

// The song position at which the show ends: the first frame at this order (or
// above) is still rendered and shown, then the loop stops.
constexpr int FINAL_ORDER = 39;

// Start-up, frames until order 39 or Escape, shut-down. Returns 0.
int runDemo();

// runDemo in steps: start-up (console, clock, song); one frame with the exit
// test, false when the show ends (order 39 or above, or Escape); shut-down.
// The page, which must return to its event loop between frames, starts and
// ends the show with these and draws each frame with beginFrame and
// finishFrame around its cells.
void startDemo();
bool runFrame(int cellThreads);
void endDemo();

// runFrame around its cells, for a host whose cells are drawn elsewhere (the
// page's workers): the clock, the song position, the timeline and the view
// distance; then, once every cell is in screenBuffer, the logos, the picture
// shown, the pulses' fall and the exit test (runFrame's result).
void beginFrame();
bool finishFrame();

// A frame's picture once timeSec and musicOrder are set: the timeline, the
// view distance, all cells (the fast loop on `cellThreads` threads) and the
// logos, into screenBuffer. The demo's loop and the capture draw with this;
// the page with its steps (prepareFrame, the cells, stampOverlays).
void renderFrame(int cellThreads);

// renderFrame's steps before the cells: the timeline and the view distance.
void prepareFrame();

// The timeline: effectId and cameraPos from musicOrder and timeSec.
void applyTimeline();

// The view-distance rules: rises over the first orders, falls from order 38.
void updateViewDistance();

// All 4,000 cells, row by row, through the effect of effectId, on the calling
// thread with every value computed per cell: the straightforward loop, kept as
// the yardstick of the fast one (renderCellsFast, which the demo runs).
void renderCells();

// Lets both pulses fall by the time since the previous frame; sets prevTimeSec.
void decayPulses();
