// The fast cell loop. Once per frame the effect's frame constants are taken
// on the calling thread; then the rows are handed out one at a time, from a
// shared counter, to the calling thread and to workers that wait between
// frames. Each thread draws whole rows with its own CellContexts (one per ray
// it keeps in flight), so the only things threads share are the read-only
// frame, the row counter and the cells, each of which one thread writes.
#include "runtime/cell_workers.h"

#include <atomic>
#include <chrono>
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

// A pause inside a spin loop.
inline void relaxWhileSpinning()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// How long a worker watches for the next frame before it goes to sleep.
// Frames come back to back, and a sleeping thread can take tens of
// microseconds to wake (longer on a virtual machine), a few percent of a frame.
constexpr auto WATCH_FOR_NEXT_FRAME = std::chrono::microseconds(200);

// Workers that live from the first frame drawn with their count to the next
// change of count or the end of the program. Rows are claimed one at a time
// from nextRow: a row of open sky costs little and a row through the scene much
// more, so fixed shares would leave a thread idle. A frame is done when all its
// rows are; the calling thread never waits for a worker that has not claimed
// one (it may not even have woken up), and such a worker later finds the rows
// gone, or claims rows of the next frame, whose job is in place by then.
struct WorkerPool {
    std::mutex lock;  // for sleeping and waking only
    std::condition_variable frameReady;
    std::condition_variable frameDone;
    std::vector<std::thread> threads;
    const FrameJob* job = nullptr;            // set before nextRow is reset
    std::atomic<int> nextRow{SCREEN_ROWS};    // the next row to claim; 50 and up: none left
    std::atomic<int> rowsDone{0};             // rows of the current frame drawn
    std::atomic<unsigned long long> frame{0};  // counts the frames handed out
    std::atomic<bool> stopping{false};

    explicit WorkerPool(int workers)
    {
        for (int i = 0; i < workers; ++i) threads.emplace_back([this] { work(); });
    }

    ~WorkerPool()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopping.store(true);
        }
        frameReady.notify_all();
        for (std::thread& t : threads) t.join();
    }

    // Draws rows until none is left; returns true if it drew the frame's last.
    bool drawClaimedRows(CellContext (&cells)[MARCH_LANES])
    {
        bool finished = false;
        for (int y = nextRow.fetch_add(1, std::memory_order_acquire); y < SCREEN_ROWS;
             y = nextRow.fetch_add(1, std::memory_order_acquire)) {
            drawRow(*job, cells, y);
            finished = rowsDone.fetch_add(1, std::memory_order_release) + 1 == SCREEN_ROWS;
        }
        return finished;
    }

    // Returns false when the pool is stopping, true once a frame after `seen`
    // has been handed out.
    bool awaitFrame(unsigned long long seen)
    {
        const auto until = std::chrono::steady_clock::now() + WATCH_FOR_NEXT_FRAME;
        for (int round = 0;; ++round) {
            if (stopping.load(std::memory_order_acquire)) return false;
            if (frame.load(std::memory_order_acquire) != seen) return true;
            if (round % 64 == 63 && std::chrono::steady_clock::now() >= until) break;
            relaxWhileSpinning();
        }
        std::unique_lock<std::mutex> guard(lock);
        frameReady.wait(guard, [&] { return stopping.load() || frame.load() != seen; });
        return !stopping.load();
    }

    void work()
    {
        CellContext cells[MARCH_LANES]{};
        unsigned long long seen = 0;
        while (awaitFrame(seen)) {
            seen = frame.load(std::memory_order_acquire);
            if (drawClaimedRows(cells)) {
                std::lock_guard<std::mutex> guard(lock);
                frameDone.notify_one();
            }
        }
    }

    // Draws the frame with the calling thread and the workers; returns when
    // every row is drawn.
    void draw(const FrameJob& frameJob, CellContext (&cells)[MARCH_LANES])
    {
        job = &frameJob;
        rowsDone.store(0, std::memory_order_relaxed);
        nextRow.store(0, std::memory_order_release);
        {
            std::lock_guard<std::mutex> guard(lock);
            frame.fetch_add(1, std::memory_order_release);
        }
        frameReady.notify_all();
        drawClaimedRows(cells);
        if (rowsDone.load(std::memory_order_acquire) == SCREEN_ROWS) return;
        std::unique_lock<std::mutex> guard(lock);
        frameDone.wait(guard, [&] { return rowsDone.load(std::memory_order_acquire) == SCREEN_ROWS; });
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
