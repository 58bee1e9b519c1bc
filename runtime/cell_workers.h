// The fast cell loop: the same cells as renderCells, bit for bit, with the
// values that depend only on the frame computed once, and the rows shared
// between threads.
#pragma once

// Renders all 4,000 cells of the frame that demo describes, with `threads`
// threads (the caller and threads - 1 workers that stay alive between frames).
void renderCellsFast(int threads);

// The cells of every rowStep-th row from firstRow (0 <= firstRow < rowStep),
// on the calling thread, as renderCellsFast draws them: for a frame shared
// between instances of the program, each drawing its share of the rows.
void renderRowsFast(int firstRow, int rowStep);

// One thread per core the machine reports, at least 1.
int defaultCellThreads();

// Whether a worker that has drawn its part watches for the next frame for a
// moment before it sleeps (frames back to back, the default) or sleeps at once
// (frames paced by the host).
void setWorkersWatchForFrames(bool watch);
