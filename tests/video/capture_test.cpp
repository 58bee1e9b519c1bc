// murl13-tool capture, run as a program on tiny modules and read back through
// FFmpeg: the kinds of file, the lossless pictures against the rasterised
// cells, the sound against the decoder's own output, where the show ends, and
// the failures that must leave no file behind; and the rules for files that
// exist already, devices, FIFOs, the song and signals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "music/test_modules.h"
#include "music/tick_loop.h"
#include "raster/rasterise.h"
#include "read_back.h"
#include "tool_process.h"

namespace {

std::pair<int, std::string> capture(const std::string& args) { return tool("capture", args); }

std::string temp(const std::string& name) { return testing::TempDir() + "murl13_" + std::to_string(getpid()) + "_" + name; }

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::vector<uint8_t> bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `orders` one-row orders at speed 6 (six ticks of 882 samples each), every row
// a note of instrument 2 and, on the second channel, of instrument 3.
std::string songOf(const std::string& name, int orders)
{
    xm::Module module = testxm::testModule(2, std::vector<int>(size_t(orders), 1));
    for (xm::Pattern& pattern : module.patterns) {
        pattern.at(0, 0) = {xm::NOTE_C4, 2, 0, 0, 0};
        pattern.at(0, 1) = {uint8_t(xm::NOTE_C4 + 7), 3, 0, 0, 0};
    }
    return testxm::writeTempFile(name, xm::serialise(module));
}

// The tick loop's own sound for the first `frames` stereo frames.
std::vector<int16_t> decoderSound(const std::string& song, size_t frames)
{
    std::vector<int16_t> sound;
    music::TickLoop* loop = music::openTickLoop(song.c_str());
    music::Tick tick;
    while (sound.size() < frames * 2 && music::playTick(loop, tick))
        sound.insert(sound.end(), tick.samples, tick.samples + tick.frames * 2);
    music::closeTickLoop(loop);
    sound.resize(frames * 2);
    return sound;
}

TEST(Capture, LosslessShowIsTheRasterisedCellsAndTheDecodersSoundToOrder39)
{
    // Order 39 starts at 39 x 6 x 882 = 206,388 samples, which frame 47 is the
    // first to reach at 4,410 samples a frame: 48 frames, 211,680 samples of sound.
    const std::string song = songOf("show.xm", 40);
    const std::string out = temp("a.mkv"), again = temp("b.mkv"), cells = temp("a.cells");
    const std::string options = " --fps 10 --scale 1 --song " + song;
    const auto [status, summary] = capture(out + options + " --cells " + cells);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(summary.rfind("48 frames, 4.8 s of show, ", 0), 0u) << summary;

    const ReadBack file = readBack(out);
    EXPECT_EQ(file.pictureCodec, "ffv1");
    EXPECT_EQ(file.soundCodec, "flac");
    const std::vector<uint8_t> raw = bytesOf(cells);
    ASSERT_EQ(raw.size(), 48u * CELL_COUNT * 4);
    ASSERT_EQ(file.pictures.size(), 48u);
    for (size_t k = 0; k < 48; ++k) {
        ScreenBuffer frame;
        for (int i = 0; i < CELL_COUNT; ++i) {
            const uint8_t* b = &raw[(k * CELL_COUNT + size_t(i)) * 4];
            frame[size_t(i)] = {uint16_t(b[0] | b[1] << 8), uint16_t(b[2] | b[3] << 8)};
        }
        std::vector<uint8_t> rgb(raster::pictureBytes(1));
        raster::rasteriseCells(frame.data(), 1, rgb.data(), raster::pictureRowBytes(1));
        EXPECT_TRUE(file.pictures[k] == rgb) << "frame " << k;
    }
    EXPECT_NE(file.pictures.front(), file.pictures.back());
    EXPECT_EQ(file.soundRate, 44100);
    EXPECT_TRUE(file.sound == decoderSound(song, 211680)) << file.sound.size() / 2 << " stereo frames";

    // The same options make the same file, byte for byte.
    ASSERT_EQ(capture(again + options).first, 0);
    EXPECT_TRUE(bytesOf(out) == bytesOf(again));

    // A song of three orders ends at 15,876 samples; frame 4 (17,640) would
    // hear it start over, so the capture stops before it.
    EXPECT_EQ(capture(again + " --fps 10 --scale 1 --song " + songOf("short.xm", 3)).second.rfind("4 frames", 0), 0u);
    EXPECT_EQ(readBack(again).sound.size(), 4u * 4410 * 2);
}

TEST(Capture, ExtensionPicksContainerAndCodecs)
{
    const std::string song = songOf("kinds.xm", 2);
    const struct { const char *name, *picture, *sound; int rate; } kinds[] = {
        {"k.mp4", "h264", "aac", 44100}, {"k.webm", "vp9", "opus", 48000}, {"K.MKV", "ffv1", "flac", 44100}};
    for (const auto& kind : kinds) {
        const std::string out = temp(kind.name);
        ASSERT_EQ(capture(out + " --fps 12 --scale 1 --seconds 0.5 --song " + song).first, 0) << kind.name;
        const ReadBack file = readBack(out);
        EXPECT_EQ(file.pictureCodec, kind.picture);
        EXPECT_EQ(file.soundCodec, kind.sound);
        EXPECT_EQ(file.pictures.size(), 6u) << kind.name;
        EXPECT_EQ(file.pictureStart, 0.0) << kind.name << ": the pictures start after the sound";
        EXPECT_EQ(file.width, 640);
        EXPECT_EQ(file.height, 400);
        EXPECT_EQ(file.soundRate, kind.rate);
        // Half a second of sound, give or take one coded block.
        EXPECT_NEAR(double(file.soundFrames) / kind.rate, 0.5, 0.025) << kind.name;
        std::remove(out.c_str());
    }
}

TEST(Capture, FailuresLeaveNoFileBehind)
{
    const std::string song = songOf("fail.xm", 1);
    const std::string out = temp("fail.mkv"), cells = temp("fail.cells");
    const struct { std::string args; int status; } cases[] = {
        {out + " --song " + temp("missing.xm"), 1},
        {out + " --song " + toolPath(), 1},
        {temp("no/such/folder.mkv") + " --song " + song, 1},
        {out + " --song " + song + " --cells " + temp("no/such/folder.cells"), 1},
        {temp("fail.avi") + " --song " + song, 2},
        {"--song " + song, 2},
        {out + " " + out + " --song " + song, 2},
        {out + " --song " + song + " --scale 9", 2},
        {out + " --song " + song + " --seconds -1", 2},
        {out + " --song " + song + " --frames 3", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(capture("--cells " + cells + " " + c.args), std::make_pair(c.status, std::string())) << c.args;
        EXPECT_FALSE(exists(out)) << c.args;
        EXPECT_FALSE(exists(cells)) << c.args;
    }
}

}  // namespace

// --- The capture's files: what the user named is replaced only by a complete
// capture, and nothing but the capture's own temporaries is ever removed.

namespace {

constexpr auto GENEROUS_SECONDS = 60;  // far beyond any step; stops a hung capture

std::string makeFolder()
{
    char path[] = "/tmp/murl13-capture-XXXXXX";
    return mkdtemp(path) ? path : "/tmp";
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string textOf(const std::string& path)
{
    const std::vector<uint8_t> bytes = bytesOf(path);
    return {bytes.begin(), bytes.end()};
}

// The names in a folder, sorted: a temporary left behind shows up here.
std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

bool isKind(const std::string& path, mode_t kind)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == kind;
}

// Starts `murl13-tool capture ARGS` with every signal at its default action,
// its output thrown away; `fileLimit` bytes is its largest file (ulimit -f).
pid_t startCapture(const std::vector<std::string>& args, rlim_t fileLimit = RLIM_INFINITY)
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
    const rlimit noCore{0, 0}, files{fileLimit, fileLimit};
    setrlimit(RLIMIT_CORE, &noCore);
    setrlimit(RLIMIT_FSIZE, &files);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDOUT_FILENO), dup2(devNull, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>("murl13-tool"), const_cast<char*>("capture")};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(toolPath().c_str(), argv.data());
    _exit(127);
}

// The capture's wait status; a capture still running after the deadline is killed.
int waitForCapture(pid_t pid)
{
    int status = 0;
    for (int i = 0; i < GENEROUS_SECONDS * 100 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10000);
    if (waitpid(pid, &status, WNOHANG) == 0) kill(pid, SIGKILL), waitpid(pid, &status, 0);
    return status;
}

// Waits until a temporary (a hidden file) in `folder` holds some bytes: the capture is under way.
bool waitForTemporary(const std::string& folder, pid_t pid)
{
    for (int i = 0; i < GENEROUS_SECONDS * 100 && waitpid(pid, nullptr, WNOHANG) == 0; ++i, usleep(10000))
        for (const std::string& name : namesIn(folder)) {
            struct stat info;
            if (name[0] == '.' && stat((folder + "/" + name).c_str(), &info) == 0 && info.st_size > 0) return true;
        }
    return false;
}

}  // namespace

// An existing output and cells file stay as they were when the capture fails or
// is ended by any signal that ends a process (sent, or raised by the file size
// limit), and no temporary is left beside them; a complete capture replaces
// them and keeps their permissions.
TEST(CaptureFiles, AnExistingFileIsReplacedOnlyByACompleteCapture)
{
    const std::string folder = makeFolder(), out = folder + "/o.mkv", cells = folder + "/o.cells";
    const std::string song = songOf("files.xm", 40), fifo = folder + "/fifo.xm";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    writeText(out, "the user's video"), writeText(cells, "the user's cells");
    chmod(out.c_str(), 0640);
    std::vector<std::string> before;
    const auto expectKept = [&](const std::string& what) {
        EXPECT_EQ(textOf(out), "the user's video") << what;
        EXPECT_EQ(textOf(cells), "the user's cells") << what;
        EXPECT_EQ(namesIn(folder), before) << what;
    };

    // A full disk for the cells: a device node of our own, never the system's
    // (a capture that removes what it did not create would take that with it).
    const std::string full = folder + "/full";
    const bool root = mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    before = namesIn(folder);
    std::vector<std::pair<std::string, std::string>> failures = {{folder + "/missing.xm", cells}, {fifo, cells}};
    if (root) failures.push_back({song, full});
    for (const auto& [failingSong, failingCells] : failures) {
        const int status =
            waitForCapture(startCapture({out, "--scale", "1", "--song", failingSong, "--cells", failingCells}));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << failingSong << " " << failingCells << ": " << status;
        expectKept(failingSong + " " + failingCells);
    }

    const std::vector<std::string> longShow = {out, "--scale", "1", "--seconds", "3600", "--song", song, "--cells", cells};
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGXFSZ, SIGSEGV, SIGRTMIN + 1}) {
        const pid_t pid = startCapture(longShow);
        EXPECT_TRUE(waitForTemporary(folder, pid)) << strsignal(s);
        kill(pid, s);
        const int status = waitForCapture(pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == s) << strsignal(s) << ": " << status;
        expectKept(strsignal(s));
    }
    const int limited = waitForCapture(startCapture(longShow, 200000));
    EXPECT_TRUE(WIFSIGNALED(limited) && WTERMSIG(limited) == SIGXFSZ) << "over the file size limit: " << limited;
    expectKept("over the file size limit");

    ASSERT_EQ(capture(out + " --scale 1 --fps 10 --seconds 0.3 --song " + song + " --cells " + cells).first, 0);
    EXPECT_EQ(readBack(out).pictures.size(), 3u);
    EXPECT_EQ(bytesOf(cells).size(), 3u * CELL_COUNT * 4);
    struct stat info;
    EXPECT_TRUE(stat(out.c_str(), &info) == 0 && (info.st_mode & 07777) == 0640);
    EXPECT_EQ(namesIn(folder), before);
    // Complete, but the summary line cannot be written: status 1, and why.
    const auto unsaid = tool("capture", out + " --scale 1 --fps 10 --seconds 0.3 --song " + song, "2>&1 >&-");
    EXPECT_EQ(unsaid.first, 1);
    EXPECT_NE(unsaid.second.find("summary"), std::string::npos) << unsaid.second;
    std::filesystem::remove_all(folder);
}

// A device or a FIFO is written to as it is and never removed; a FIFO for a
// file that must be finished by seeking back is refused at once.
TEST(CaptureFiles, DevicesAndFifosAreWrittenToAndNeverRemoved)
{
    const std::string folder = makeFolder(), song = songOf("devices.xm", 40), out = folder + "/o.mkv";
    const std::string null = folder + "/null.mkv", full = folder + "/full.cells";
    const bool root = mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                      mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    if (root) {
        EXPECT_EQ(capture(null + " --scale 1 --fps 10 --seconds 0.3 --song " + song).first, 0);
        EXPECT_EQ(capture(out + " --scale 1 --fps 10 --seconds 0.3 --song " + song + " --cells " + full).first, 1);
        const pid_t pid = startCapture({out, "--scale", "1", "--seconds", "3600", "--song", song, "--cells", null});
        EXPECT_TRUE(waitForTemporary(folder, pid));
        kill(pid, SIGINT);
        EXPECT_TRUE(WIFSIGNALED(waitForCapture(pid)));
        EXPECT_TRUE(isKind(null, S_IFCHR) && isKind(full, S_IFCHR)) << "a device node was removed";
        EXPECT_FALSE(exists(out));
    }

    const std::string mp4 = folder + "/fifo.mp4", mkv = folder + "/fifo.mkv";
    ASSERT_TRUE(mkfifo(mp4.c_str(), 0600) == 0 && mkfifo(mkv.c_str(), 0600) == 0);
    const int refused = waitForCapture(startCapture({mp4, "--scale", "1", "--seconds", "0.3", "--song", song}));
    EXPECT_TRUE(WIFEXITED(refused) && WEXITSTATUS(refused) == 1) << refused;
    std::string streamed;
    std::thread reader([&] { streamed = textOf(mkv); });
    EXPECT_EQ(capture(mkv + " --scale 1 --fps 10 --seconds 0.3 --song " + song).first, 0);
    reader.join();
    EXPECT_EQ(streamed.substr(0, 4), "\x1a\x45\xdf\xa3") << "not a Matroska stream";
    EXPECT_TRUE(isKind(mp4, S_IFIFO) && isKind(mkv, S_IFIFO)) << "a FIFO was removed";
    std::filesystem::remove_all(folder);
    if (!root) GTEST_SKIP() << "device nodes need root";
}

// An output or cells path that is the song (also through a link) or the other
// one is refused with status 2 before anything is written. Two captures to one
// file: interrupting the second leaves the first one's file.
TEST(CaptureFiles, RefusesToWriteOverTheSongOrOneFileTwice)
{
    const std::string folder = makeFolder(), song = folder + "/s.mkv", link = folder + "/l.mkv";
    const std::string out = folder + "/o.mkv";
    const std::vector<uint8_t> module = bytesOf(songOf("refused.xm", 40));
    writeText(song, {module.begin(), module.end()});
    ASSERT_EQ(symlink("s.mkv", link.c_str()), 0);
    for (const std::string& args : {song + " --song " + song, link + " --song " + song,
                                    out + " --song " + link + " --cells " + song,
                                    out + " --song " + song + " --cells " + out,
                                    out + " --song " + song + " --cells " + folder + "/../" + folder.substr(5) + "/o.mkv"}) {
        EXPECT_EQ(capture(args + " --scale 1 --seconds 0.3").first, 2) << args;
        EXPECT_TRUE(bytesOf(song) == module) << args;
        EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"l.mkv", "s.mkv"})) << args;
    }

    ASSERT_EQ(capture(out + " --scale 1 --fps 10 --seconds 0.3 --song " + song).first, 0);
    const std::vector<uint8_t> first = bytesOf(out);
    const pid_t second = startCapture({out, "--scale", "1", "--seconds", "3600", "--song", song});
    EXPECT_TRUE(waitForTemporary(folder, second));
    kill(second, SIGINT);
    waitForCapture(second);
    EXPECT_TRUE(bytesOf(out) == first) << "the second capture's interruption touched the first one's file";
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"l.mkv", "o.mkv", "s.mkv"}));
    std::filesystem::remove_all(folder);
}
