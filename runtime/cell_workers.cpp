// The fast cell loop. Once per frame the effect's frame constants are taken
// on the calling thread; then the rows are handed out one at a time, from a
// shared counter, to the calling thread and to workers that wait between
// frames. Each thread draws whole rows with its own CellContexts (one per ray
// it keeps in flight), so the only things threads share are the read-only
// frame, the row counter and the cells, each of which one thread writes.
#include "runtime/cell_workers.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "effects2d/fast_effects2d.h"
#include "raymarch/cell_context.h"
#include "raymarch/fast_march.h"

namespace {

// What every thread needs to draw a row of this frame.
struct FrameJob {
    int effectId;
    MarchFrame march;
    PlasmaFrame plasma;
    WarpFrame warp;
};

void drawRow(const FrameJob& job, CellContext (&cells)[MARCH_LANES], int y)
{
    const int effect = job.effectId;
    if (effect >= 1 && effect <= 8) marchRow(job.march, cells, y);
    else if (effect == 0) plasmaRow(job.plasma, y);
    else if (effect == 9) warpRow(job.warp, y);
}

// Rows are claimed one at a time: a row of open sky costs little and a row
// through the scene much more, so fixed shares would leave a thread idle.
void drawClaimedRows(const FrameJob& job, std::atomic<int>& nextRow, CellContext (&cells)[MARCH_LANES])
{
    for (int y = nextRow.fetch_add(1, std::memory_order_relaxed); y < SCREEN_ROWS;
         y = nextRow.fetch_add(1, std::memory_order_relaxed))
        drawRow(job, cells, y);
}

// Workers that live from the first frame drawn with their count to the next
// change of count or the end of the program.
struct WorkerPool {
    std::mutex lock;
    std::condition_variable frameReady;
    std::condition_variable frameDone;
    std::vector<std::thread> threads;
    const FrameJob* job = nullptr;
    std::atomic<int> nextRow{0};
    unsigned long long frame = 0;  // counts the frames handed out
    int busy = 0;                  // workers still drawing the current frame
    bool stopping = false;

    explicit WorkerPool(int workers)
    {
        for (int i = 0; i < workers; ++i) threads.emplace_back([this] { work(); });
    }

    ~WorkerPool()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopping = true;
        }
        frameReady.notify_all();
        for (std::thread& t : threads) t.join();
    }

    void work()
    {
        CellContext cells[MARCH_LANES]{};
        unsigned long long seen = 0;
        for (;;) {
            const FrameJob* current;
            {
                std::unique_lock<std::mutex> guard(lock);
                frameReady.wait(guard, [&] { return stopping || frame != seen; });
                if (stopping) return;
                seen = frame;
                current = job;
            }
            drawClaimedRows(*current, nextRow, cells);
            {
                std::lock_guard<std::mutex> guard(lock);
                if (--busy == 0) frameDone.notify_one();
            }
        }
    }

    // Draws the frame with the calling thread and every worker; returns when
    // every row is drawn.
    void draw(const FrameJob& frameJob, CellContext (&cells)[MARCH_LANES])
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            job = &frameJob;
            nextRow.store(0, std::memory_order_relaxed);
            busy = int(threads.size());
            ++frame;
        }
        frameReady.notify_all();
        drawClaimedRows(frameJob, nextRow, cells);
        std::unique_lock<std::mutex> guard(lock);
        frameDone.wait(guard, [&] { return busy == 0; });
    }
};

std::unique_ptr<WorkerPool> pool;
FrameJob job;
CellContext callerCells[MARCH_LANES];

void prepareJob()
{
    job.effectId = demo.effectId;
    const int effect = job.effectId;
    if (effect >= 1 && effect <= 8) job.march = prepareMarchFrame();
    else if (effect == 0) preparePlasmaFrame(job.plasma);
    else if (effect == 9) prepareWarpFrame(job.warp);
}

}  // namespace

void renderCellsFast(int threads)
{
    prepareJob();
    if (threads <= 1) {
        pool.reset();
        for (int y = 0; y < SCREEN_ROWS; ++y) drawRow(job, callerCells, y);
        return;
    }
    if (!pool || int(pool->threads.size()) != threads - 1) {
        pool.reset();
        pool = std::make_unique<WorkerPool>(threads - 1);
    }
    pool->draw(job, callerCells);
}

int defaultCellThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? int(cores) : 1;
}
