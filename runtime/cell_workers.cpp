#include "runtime/cell_workers.h"

#include <thread>

#include "runtime/frame_loop.h"

void renderCellsFast(int) { renderCells(); }

int defaultCellThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? int(cores) : 1;
}
