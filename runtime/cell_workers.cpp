// The fast cell loop. Once per frame the effect's frame constants are taken
// on the calling thread; then the frame is handed out in half rows, one at a
// time from a shared counter, to the calling thread and to workers that wait
// between frames. Each thread draws with its own CellContexts (one per ray it
// keeps in flight), so the only things threads share are the read-only frame,
// the counters and the cells, each of which one thread writes.
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

// What every thread needs to draw a part of this frame.
struct FrameJob {
    int effectId;
    FastMarchFrame march;
    PlasmaFrame plasma;
    WarpFrame warp;
};

// The frame is handed out in half rows: at the end of a frame one thread may
// still be drawing the last piece while the others wait, and a half row of
// the costliest scene takes a tenth of a millisecond.
constexpr int SPANS_PER_ROW = 2;
constexpr int SPAN_COUNT = SCREEN_ROWS * SPANS_PER_ROW;

// Span `span`, claimed by the caller, then spans claimed from claims until
// none is left; returns how many it drew.
int drawSpans(const FrameJob& job, CellContext (&cells)[MARCH_LANES], const SpanClaims& claims, int span)
{
    const int effect = job.effectId;
    if (effect >= 1 && effect <= 8) return marchSpans(job.march, cells, claims, span);
    int drawn = 0;
    for (; span < claims.count; span = claims.claim(), ++drawn) {
        const Span s = claims.at(span);
        if (effect == 0) plasmaSpan(job.plasma, s.y, s.first, s.end);
        else if (effect == 9) warpSpan(job.warp, s.y, s.first, s.end);
    }
    return drawn;
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
// Off when the host paces the frames: the next one is milliseconds away.
std::atomic<bool> watchForFrames{true};

// Workers that live from the first frame drawn with their count to the next
// change of count or the end of the program. Half rows are claimed one at a
// time from nextSpan: a row of open sky costs little and a row through the
// scene much more, so fixed shares would leave a thread idle. A frame is done
// when all its half rows are; the calling thread never waits for a worker that
// has not claimed one (it may not even have woken up), and such a worker later
// finds them gone, or claims half rows of the next frame, whose job is in
// place by then.
struct WorkerPool {
    std::mutex lock;  // for sleeping and waking only
    std::condition_variable frameReady;
    std::condition_variable frameDone;
    std::vector<std::thread> threads;
    const FrameJob* job = nullptr;            // set before nextSpan is reset
    std::atomic<int> nextSpan{SPAN_COUNT};    // the next half row to claim; none left from SPAN_COUNT
    std::atomic<int> spansDone{0};            // half rows of the current frame drawn
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

    // Draws half rows until none is left; returns true if it drew the frame's
    // last. The job is read only once a half row of its frame is claimed.
    bool drawClaimedRows(CellContext (&cells)[MARCH_LANES])
    {
        const SpanClaims claims{nextSpan, SPAN_COUNT, SPANS_PER_ROW};
        const int first = claims.claim();
        if (first >= SPAN_COUNT) return false;
        const int drawn = drawSpans(*job, cells, claims, first);
        return spansDone.fetch_add(drawn, std::memory_order_release) + drawn == SPAN_COUNT;
    }

    // Returns false when the pool is stopping, true once a frame after `seen`
    // has been handed out.
    bool awaitFrame(unsigned long long seen)
    {
        const auto until = std::chrono::steady_clock::now() + WATCH_FOR_NEXT_FRAME;
        for (int round = 0; watchForFrames.load(std::memory_order_relaxed); ++round) {
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
    // every cell is drawn.
    void draw(const FrameJob& frameJob, CellContext (&cells)[MARCH_LANES])
    {
        job = &frameJob;
        spansDone.store(0, std::memory_order_relaxed);
        nextSpan.store(0, std::memory_order_release);
        {
            std::lock_guard<std::mutex> guard(lock);
            frame.fetch_add(1, std::memory_order_release);
        }
        frameReady.notify_all();
        drawClaimedRows(cells);
        if (spansDone.load(std::memory_order_acquire) == SPAN_COUNT) return;
        std::unique_lock<std::mutex> guard(lock);
        frameDone.wait(guard, [&] { return spansDone.load(std::memory_order_acquire) == SPAN_COUNT; });
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
    if (threads <= 1) {
        pool.reset();
        renderRowsFast(0, 1);
        return;
    }
    prepareJob();
    if (!pool || int(pool->threads.size()) != threads - 1) {
        pool.reset();
        pool = std::make_unique<WorkerPool>(threads - 1);
    }
    pool->draw(job, callerCells);
}

void renderRowsFast(int firstRow, int rowStep)
{
    prepareJob();
    const int rows = (SCREEN_ROWS - firstRow + rowStep - 1) / rowStep;
    std::atomic<int> nextSpan{1};
    drawSpans(job, callerCells, {nextSpan, rows * SPANS_PER_ROW, SPANS_PER_ROW, firstRow, rowStep}, 0);
}

void setWorkersWatchForFrames(bool watch) { watchForFrames.store(watch); }

int defaultCellThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? int(cores) : 1;
}
