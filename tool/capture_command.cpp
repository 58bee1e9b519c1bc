// murl13-tool capture: the show rendered offline at a fixed frame rate on the
// song's own clock, through the demo's own frame steps, and written as a video
// file with the song as its sound track.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <string>

#include "raster/picture_layout.h"
#include "raster/rasterise.h"
#include "runtime/cell_workers.h"
#include "runtime/frame_loop.h"
#include "runtime/music_sync.h"
#include "runtime/overlays.h"
#include "state/demo_state.h"
#include "tool/capture_files.h"
#include "tool/capture_length.h"
#include "tool/options.h"
#include "tool/raw_cells.h"
#include "tool/song_file.h"
#include "music/show_clock.h"
#include "tool/tool.h"
#include "video/video_file.h"

namespace {

const char USAGE[] =
    "usage: murl13-tool capture OUT [--fps N] [--scale N | --size WxH] [--start S]\n"
    "         [--seconds S] [--song FILE] [--cells FILE]\n"
    "\n"
    "Renders the show offline, frame k at song time k / N, and writes it to OUT with\n"
    "the song as its sound track. OUT's extension picks the kind of file:\n"
    "  .mp4   H.264 and AAC (48 kHz), the index at the front for playing while\n"
    "         it downloads\n"
    "  .mkv   lossless FFV1 (RGB) and FLAC (the song's own 44.1 kHz)\n"
    "  .webm  VP9 and Opus (48 kHz)\n"
    "  .gif   an animated GIF in the 16 VGA colours, without sound\n"
    "  --fps N       frames per second, 1 to 240 (default 60); for a GIF one of 1, 2,\n"
    "                4, 5, 10, 20, 25 or 50 (default 25)\n"
    "  --scale N     pixels per console pixel, 1 to 8 (default 2: 1280 by 800)\n"
    "  --size WxH    a frame of W by H pixels, both even, from 640x400 to 7680x4320\n"
    "                (1920x1080, 2560x1440, 3840x2160 for video sites): the picture\n"
    "                centred on black at the largest whole scale when that fills\n"
    "                nine tenths of the height, else filling the height with each\n"
    "                console pixel a block of whole pixels, the blocks differing by\n"
    "                at most one (1920x1080: 1728 by 1080)\n"
    "  --start S     begin the video, and its sound, with the first frame at or\n"
    "                after song time S; the song still plays from 0 to there\n"
    "                (a start past the show's end is refused)\n"
    "  --seconds S   make S seconds of video, ceil(S * N) frames, instead of\n"
    "                stopping at the show's end (the first frame at order 39, included)\n"
    "  --song FILE   the module (default GLIMVEX.oXM, from the working directory or\n"
    "                else the installed data folder)\n"
    "  --cells FILE  also write every frame's cells to FILE: 4,000 cells each, a\n"
    "                16-bit glyph then a 16-bit attribute, little-endian\n";

constexpr int MAX_FPS = 240;
constexpr int MAX_WIDTH = 7680, MAX_HEIGHT = 4320;
constexpr int DEFAULT_FPS = 60;
constexpr int DEFAULT_GIF_FPS = 25;
constexpr int DEFAULT_SCALE = 2;
constexpr double MAX_SECONDS = 24.0 * 3600.0;
constexpr double PROGRESS_INTERVAL = 0.1;  // seconds between progress lines
constexpr int PROGRESS_BAR = 30;           // characters

struct CaptureOptions {
    const char* out = nullptr;
    int fps = 0;  // 0: not given
    int scale = 0;  // 0: not given
    int width = 0, height = 0;  // --size; 0: not given
    raster::PictureLayout layout;
    double start = 0;    // song time of the first frame
    double seconds = 0;  // 0: the whole show
    const char* song = SONG_FILE_NAME;
    const char* cells = nullptr;
};

int usageError(const char* message, const char* value)
{
    return ::usageError("capture", USAGE, message, value);
}

// "WxH": two even numbers within the sizes a capture takes.
bool parseSize(const char* text, int& width, int& height)
{
    const char* x = std::strchr(text, 'x');
    if (x == nullptr) return false;
    const auto w = parseInteger(std::string(text, size_t(x - text)).c_str(), raster::PICTURE_WIDTH, MAX_WIDTH);
    const auto h = parseInteger(x + 1, raster::PICTURE_HEIGHT, MAX_HEIGHT);
    if (!w || !h || *w % 2 != 0 || *h % 2 != 0) return false;
    width = int(*w);
    height = int(*h);
    return true;
}

// Returns 0 when every option was understood, -1 after --help, else the usage
// error status.
int parseOptions(int argc, char** argv, CaptureOptions& options, video::Format& format)
{
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* option = argv[i];
        auto is = [option](const char* name) { return std::strcmp(option, name) == 0; };
        if (!optionsEnded && is("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || option[0] != '-' || option[1] == '\0') {
            if (options.out) return usageError("more than one output", option);
            options.out = option;
            continue;
        }
        if (is("--help") || is("-h")) return printText(USAGE) == 0 ? -1 : 1;
        if (!isOneOf(option, {"--fps", "--scale", "--size", "--seconds", "--start", "--song", "--cells"}))
            return usageError("unknown option", option);
        if (i + 1 >= argc) return usageError("missing value for", option);
        const char* value = argv[++i];
        if (is("--fps")) {
            auto n = parseInteger(value, 1, MAX_FPS);
            if (!n) return usageError("bad frame rate (1 to 240)", value);
            options.fps = int(*n);
        } else if (is("--scale")) {
            auto n = parseInteger(value, 1, raster::MAX_SCALE);
            if (!n) return usageError("bad scale (1 to 8)", value);
            options.scale = int(*n);
        } else if (is("--size")) {
            if (!parseSize(value, options.width, options.height))
                return usageError("bad size (WxH, both even, 640x400 to 7680x4320)", value);
        } else if (is("--seconds")) {
            auto s = parseDouble(value);
            if (!s || !(*s > 0.0) || *s > MAX_SECONDS) return usageError("bad length (above 0, at most 86400)", value);
            options.seconds = *s;
        } else if (is("--start")) {
            auto s = parseDouble(value);
            if (!s || *s < 0.0 || *s > MAX_SECONDS) return usageError("bad start (0 to 86400)", value);
            options.start = *s;
        } else if (is("--song")) {
            options.song = value;
        } else if (is("--cells")) {
            options.cells = value;
        } else {
            return usageError("unknown option", option);
        }
    }
    if (options.out == nullptr) return usageError("no output file", nullptr);
    if (!video::formatForPath(options.out, format))
        return usageError("unknown kind of file (.mp4, .mkv, .webm or .gif)", options.out);
    if (format == video::Format::Gif) {
        if (options.fps == 0) options.fps = DEFAULT_GIF_FPS;
        if (!video::gifShowsRate(options.fps))
            return usageError("a GIF shows only 1, 2, 4, 5, 10, 20, 25 or 50 frames a second", nullptr);
    }
    if (options.fps == 0) options.fps = DEFAULT_FPS;
    if (options.scale != 0 && options.width != 0)
        return usageError("--scale and --size both say the size: give one", nullptr);
    options.layout = options.width != 0 ? raster::layoutForSize(options.width, options.height)
                                        : raster::layoutForScale(options.scale != 0 ? options.scale : DEFAULT_SCALE);
    return 0;
}

// The show's frame that begins the video: the first at or after --start.
int64_t firstFrameOf(const CaptureOptions& options) { return int64_t(std::ceil(options.start * options.fps)); }

// The progress of the show's frames, those before --start included (they are
// rendered too, only not written).
struct Progress {
    bool shown = false;
    int64_t total = 0;
    std::string size;  // "WxH" of the frames
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    double lastShown = -1.0;
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One line on the terminal, redrawn in place at most ten times a second.
void showProgress(Progress& progress, int64_t frames)
{
    if (!progress.shown) return;
    const double elapsed = secondsSince(progress.start);
    if (progress.lastShown >= 0 && elapsed - progress.lastShown < PROGRESS_INTERVAL) return;
    progress.lastShown = elapsed;
    const int64_t total = progress.total > frames ? progress.total : frames;
    const double done = total > 0 ? double(frames) / double(total) : 0.0;
    const int filled = int(done * PROGRESS_BAR);
    const double rate = elapsed > 0 ? double(frames) / elapsed : 0.0;
    const int left = rate > 0 ? int(double(total - frames) / rate + 0.5) : 0;
    std::fprintf(stderr, "\r[%s%s] %3d%%  %lld/%lld frames  %s  %.1f fps  %d:%02d left\x1b[K",
                 std::string(size_t(filled), '#').c_str(), std::string(size_t(PROGRESS_BAR - filled), '-').c_str(),
                 int(done * 100.0), static_cast<long long>(frames), static_cast<long long>(total),
                 progress.size.c_str(), rate, left / 60, left % 60);
    std::fflush(stderr);
}

void clearProgress(const Progress& progress)
{
    if (progress.shown) std::fputs("\r\x1b[K", stderr);
}

// The files being written; their temporaries are removed unless the capture completes.
struct Outputs {
    CaptureFile videoFile;
    CaptureFile cellsFile;
    video::VideoFile* video = nullptr;
    std::FILE* cells = nullptr;

    void discard()
    {
        video::discardVideoFile(video);
        video = nullptr;
        if (cells) std::fclose(cells);
        cells = nullptr;
        discardCaptureFile(videoFile);
        discardCaptureFile(cellsFile);
    }
};

int failure(Outputs& outputs, const Progress& progress, const std::string& message)
{
    clearProgress(progress);
    const std::string shown = inUserTerms(inUserTerms(message, outputs.videoFile), outputs.cellsFile);
    outputs.discard();
    std::fprintf(stderr, "murl13-tool capture: %s\n", shown.c_str());
    return 1;
}

// The show's frames the capture renders: to the end of --seconds, else to the
// show's end. Refuses (status 1, saying why) a song that does not load (asked
// for as `songName`), has nothing to play, or whose show ends before --start,
// before anything is rendered or written: -1 then.
int64_t showFramesToRender(const CaptureOptions& options, const char* songName)
{
    const int64_t firstFrame = firstFrameOf(options);
    const int64_t written = options.seconds > 0 ? int64_t(std::ceil(options.seconds * options.fps)) : 0;
    // With --seconds the show only has to reach the first frame written.
    const int64_t limit = written > 0 ? firstFrame + 1 : int64_t(std::ceil(MAX_SECONDS * options.fps)) + 1;
    const int64_t shown = showFrameCount(options.song, options.fps, FINAL_ORDER, limit);
    if (shown > firstFrame) return written > 0 ? firstFrame + written : shown;
    char text[80];
    std::snprintf(text, sizeof text, "the show ends at %.2f s, before --start", double(shown - 1) / options.fps);
    const std::string problem = shown < 0    ? songLoadFailure(songName)
                                : shown == 0 ? "the song " + quoted(options.song) + " has nothing to play"
                                             : std::string(text);
    std::fprintf(stderr, "murl13-tool capture: %s\n", problem.c_str());
    return -1;
}

}  // namespace

int toolCapture(int argc, char** argv)
{
    CaptureOptions options;
    video::Format format;
    const int status = parseOptions(argc, argv, options, format);
    if (status == -1) return 0;
    if (status != 0) return status;
    // The song as the demo finds it: the working directory, then the installed data folder.
    const char* songName = options.song;
    const std::string song = songFile(songName);
    options.song = song.c_str();
    const std::string clash = sameFileProblem(options.song, options.out, options.cells);
    if (!clash.empty()) {
        std::fprintf(stderr, "murl13-tool capture: %s\n", clash.c_str());
        return USAGE_ERROR;
    }
    const int64_t showFrames = showFramesToRender(options, songName);
    if (showFrames < 0) return 1;

    // From here on a signal that ends the process removes the unfinished files.
    removeTemporariesOnEndingSignals();
    Progress progress;
    Outputs outputs;
    ShowClock clock;
    if (!openShowClock(clock, options.song, options.fps))
        return failure(outputs, progress, songLoadFailure(songName));
    std::string error;
    // Before any thread starts (the encoders' and the cell workers'): see capture_files.cpp.
    if (!prepareCaptureFile(options.out, video::needsSeekableFile(format), outputs.videoFile, error) ||
        (options.cells && !prepareCaptureFile(options.cells, false, outputs.cellsFile, error))) {
        closeShowClock(clock);
        return failure(outputs, progress, error);
    }
    if (options.cells && (outputs.cells = std::fopen(outputs.cellsFile.writing.c_str(), "wb")) == nullptr) {
        closeShowClock(clock);
        return failure(outputs, progress, std::string(options.cells) + ": " + std::strerror(errno));
    }
    outputs.video = video::openVideoFile(outputs.videoFile.writing, format, options.layout, options.fps, error);
    if (outputs.video == nullptr) {
        closeShowClock(clock);
        return failure(outputs, progress, error);
    }
    progress.shown = isatty(STDERR_FILENO);
    if (progress.shown) {
        progress.total = showFrames;
        progress.size = std::to_string(options.layout.frameWidth) + "x" + std::to_string(options.layout.frameHeight);
        setEndingSignalNote("\r\x1b[K");
    }
    progress.start = std::chrono::steady_clock::now();

    resetDemoState();
    overlayRandomState = 1;
    const int threads = defaultCellThreads();
    // The frames before --start run as in the show (the song, its triggers,
    // the pulses, the logos' offsets, the view distance all follow from
    // them) but are not written, nor is their sound.
    const int64_t firstFrame = firstFrameOf(options);
    clock.soundFrom = frameSample(clock, firstFrame);
    const int64_t frameLimit = options.seconds > 0 ? showFrames : -1;
    int64_t show = 0;    // the show's frames so far
    int64_t frames = 0;  // of them, the frames written
    bool songStopped = false;
    bool ok = true;
    while (ok) {
        if (frameLimit >= 0 && show >= frameLimit) break;
        enterFrame(clock, show);
        // A song that ends or starts again without reaching order 39 ends the show there.
        if (frameLimit < 0 && (clock.passedEnd || clock.silent)) {
            songStopped = true;
            break;
        }
        renderFrame(threads);
        const bool written = show >= firstFrame;
        if (written) {
            ok = video::writePicture(outputs.video, screenBuffer.data(), error);
            if (ok && outputs.cells && !writeRawCells(outputs.cells)) {
                ok = false;
                error = std::string(options.cells) + ": " + std::strerror(errno);
            }
        }
        size_t soundFrames = 0;
        const int16_t* sound = takeSound(clock, frameSample(clock, show + 1), false, soundFrames);
        ok = ok && video::writeSound(outputs.video, sound, soundFrames, error);
        decayPulses();
        ++show;
        if (written) ++frames;
        showProgress(progress, show);
        if (frameLimit < 0 && demo.musicOrder >= FINAL_ORDER) break;
    }
    if (ok) {
        size_t soundFrames = 0;
        const int16_t* sound = takeSound(clock, frameSample(clock, show), true, soundFrames);
        if (frames > 0) ok = video::writeSound(outputs.video, sound, soundFrames, error);
        if (ok && frames == 0) {
            // Counted beforehand, so only a song that changed meanwhile comes here.
            ok = false;
            error = "the song " + quoted(options.song) + " has nothing to show after --start";
        }
    }
    closeShowClock(clock);
    if (!ok) return failure(outputs, progress, error);

    video::VideoFile* video = outputs.video;
    outputs.video = nullptr;
    if (!video::finishVideoFile(video, error)) return failure(outputs, progress, error);
    if (outputs.cells) {
        const bool closed = std::fclose(outputs.cells) == 0;
        outputs.cells = nullptr;
        if (!closed) return failure(outputs, progress, std::string(options.cells) + ": " + std::strerror(errno));
    }
    // The size of what was written, before another capture may replace it.
    struct stat written {};
    stat(outputs.videoFile.writing.c_str(), &written);
    if (!commitCaptureFile(outputs.videoFile, error) || !commitCaptureFile(outputs.cellsFile, error))
        return failure(outputs, progress, error);

    clearProgress(progress);
    setEndingSignalNote(nullptr);
    const double wallSeconds = secondsSince(progress.start);
    const double showSeconds = double(frames) / options.fps;
    if (songStopped)
        std::fprintf(stderr, "murl13-tool capture: the song ended before order %d; the capture ends with it\n",
                     FINAL_ORDER);
    std::printf("%lld frames, %.1f s of show, %.1f MB, %.2fx real time\n", static_cast<long long>(frames),
                showSeconds, double(written.st_size) / 1e6, wallSeconds > 0 ? showSeconds / wallSeconds : 0.0);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "murl13-tool capture: the capture is complete, but its summary could not be written: %s\n",
                 std::strerror(errno));
    return 1;
}
