// murl13-tool capture, run as a program on tiny modules and read back through
// FFmpeg: the kinds of file, the lossless pictures (and the GIF's) against the
// rasterised cells, the sound against the decoder's own output, where the show
// ends, a capture that starts later in the show, the progress line, and the
// failures that must leave no file behind; and the rules for files that exist
// already, devices, FIFOs, the song, signals, link loops, sticky folders and
// folders that move.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <iterator>
#include <vector>

#include "capture_fixtures.h"
#include "raster/rasterise.h"
#include "read_back.h"

namespace {

// The frames of a capture against the raw cells it wrote beside them.
void expectPicturesAreCells(const ReadBack& file, const std::vector<uint8_t>& raw, size_t frames)
{
    ASSERT_EQ(raw.size(), frames * CELL_COUNT * 4);
    ASSERT_EQ(file.pictures.size(), frames);
    for (size_t k = 0; k < frames; ++k) {
        const ScreenBuffer cells = cellsOf(raw, k);
        std::vector<uint8_t> rgb(raster::pictureBytes(1));
        raster::rasteriseCells(cells.data(), 1, rgb.data(), raster::pictureRowBytes(1));
        EXPECT_TRUE(file.pictures[k] == rgb) << "frame " << k;
    }
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
    expectPicturesAreCells(file, bytesOf(cells), 48);
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
        {"k.mp4", "h264", "aac", 48000}, {"k.webm", "vp9", "opus", 48000}, {"K.MKV", "ffv1", "flac", 44100}};
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

TEST(Capture, GifHoldsTheCellsInTheSixteenVgaColoursOnly)
{
    const std::string song = songOf("gif.xm", 40), out = temp("a.gif"), cells = temp("gif.cells");
    ASSERT_EQ(capture(out + " --fps 10 --scale 1 --seconds 2 --song " + song + " --cells " + cells).first, 0);
    const ReadBack file = readBack(out);
    EXPECT_EQ(file.pictureCodec + "/" + file.soundCodec, "gif/");
    expectPicturesAreCells(file, bytesOf(cells), 20);
    // The global colour table (256 entries) holds the 16 colours and no
    // shade a default conversion would add.
    const std::vector<uint8_t> bytes = bytesOf(out);
    ASSERT_TRUE(bytes.size() > 13 + 768 && (bytes[10] & 0x87) == 0x87);
    std::set<std::array<uint8_t, 3>> table, vga;
    for (size_t i = 13; i < 13 + 768; i += 3) table.insert({bytes[i], bytes[i + 1], bytes[i + 2]});
    for (const raster::Rgb& c : raster::vgaPalette) vga.insert({c.r, c.g, c.b});
    EXPECT_EQ(table, vga);
    // 25 frames a second unless told.
    ASSERT_EQ(capture(out + " --scale 1 --seconds 0.4 --song " + song).first, 0);
    EXPECT_EQ(readBack(out).pictures.size(), 10u);
    std::remove(out.c_str());
}

TEST(Capture, StartBeginsWithTheShowsOwnStateAndSound)
{
    const std::string song = longIntroSong(), options = " --fps 10 --scale 1 --song " + song;
    // At 1.5 s three beats have played and both pulses have died away: the
    // first frame is the one `frame` renders from that state.
    const std::string gif = temp("start.gif");
    ASSERT_EQ(capture(gif + " --start 1.5 --seconds 0.2" + options).first, 0);
    ReadBack started = readBack(gif);
    ASSERT_EQ(started.pictures.size(), 2u);
    started.pictures.resize(1);
    const std::string raw = tool("frame", "--time 1.5 --order 0 --beats 3 --format raw").second;
    expectPicturesAreCells(started, std::vector<uint8_t>(raw.begin(), raw.end()), 1);

    // From 2 s (order 1, the logos) on, the frames and the sound are those of
    // a capture from the beginning.
    const std::string whole = temp("whole.mkv"), wholeCells = temp("whole.cells");
    const std::string part = temp("part.mkv"), partCells = temp("part.cells");
    ASSERT_EQ(capture(whole + " --seconds 3 --cells " + wholeCells + options).first, 0);
    ASSERT_EQ(capture(part + " --start 2 --seconds 1 --cells " + partCells + options).second.rfind("10 frames, ", 0), 0u);
    const std::vector<uint8_t> wholeRaw = bytesOf(wholeCells);
    EXPECT_TRUE(bytesOf(partCells) == std::vector<uint8_t>(wholeRaw.begin() + 20 * CELL_COUNT * 4, wholeRaw.end()));
    const std::vector<int16_t> sound = decoderSound(song, 30 * 4410);
    EXPECT_TRUE(readBack(part).sound == std::vector<int16_t>(sound.begin() + 20 * 4410 * 2, sound.end()));
    // The show ends at order 39 (6.5 s): a later start has nothing to show,
    // also with --seconds, which is refused before the frames up to it are
    // rendered (a day of them here); the file from before is left as it was.
    const std::vector<uint8_t> before = bytesOf(part);
    EXPECT_EQ(capture(part + " --start 7" + options), std::make_pair(1, std::string()));
    const std::string refused = "murl13-tool capture: the show ends at 6.50 s, before --start\n";
    EXPECT_EQ(tool("capture", part + " --start 86400 --seconds 0.1" + options, "2>&1"), std::make_pair(1, refused));
    EXPECT_TRUE(bytesOf(part) == before);
    for (const std::string& path : {gif, whole, wholeCells, part, partCells}) std::remove(path.c_str());
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
        {out + " --song " + song + " --size 1921x1080", 2},
        {out + " --song " + song + " --size 638x400", 2},
        {out + " --song " + song + " --size 1920", 2},
        {out + " --song " + song + " --size 1920x1080 --scale 2", 2},
        {out + " --song " + song + " --seconds -1", 2},
        {out + " --song " + song + " --frames 3", 2},
        {out + " --song " + song + " --start -1", 2},
        {temp("fail.gif") + " --song " + song + " --fps 30", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(capture("--cells " + cells + " " + c.args), std::make_pair(c.status, std::string())) << c.args;
        EXPECT_FALSE(exists(out)) << c.args;
        EXPECT_FALSE(exists(cells)) << c.args;
    }
}

// The progress line, on a terminal, counts the show's frames before --start
// too (rendered, not written), and names the frames' size.
TEST(Capture, ProgressCountsTheFramesBeforeTheStart)
{
    const std::string song = songOf("progress.xm", 40), out = temp("progress.gif");
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execl(toolPath().c_str(), "murl13-tool", "capture", out.c_str(), "--fps", "10", "--start", "3", "--seconds",
              "0.5", "--song", song.c_str(), "--size", "800x600", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, size_t(got));
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    // 30 frames before 3 s and 5 written: the first line shows the first of 35.
    EXPECT_NE(shown.find("   2%  1/35 frames  800x600  "), std::string::npos) << shown;
    std::remove(out.c_str());
}

// --- The capture's files: what the user named is replaced only by a complete
// capture, and nothing but the capture's own temporaries is ever removed.

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// How a capture is started: `fileLimit` bytes is its largest file (ulimit -f),
// going over it raises SIGXFSZ unless `ignoreFileLimit` (then the write
// fails); its messages (stderr) go to `messages` or are thrown away; `user`,
// if given, runs it as that user (the caller being root).
struct Start {
    rlim_t fileLimit = RLIM_INFINITY;
    bool ignoreFileLimit = false;
    int messages = -1;
    uid_t user = 0;
};

// Starts `murl13-tool capture ARGS` with every signal at its default action and
// its output thrown away.
pid_t startCapture(std::vector<std::string> args, const Start& how = {})
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
    if (how.ignoreFileLimit) signal(SIGXFSZ, SIG_IGN);
    const rlimit noCore{0, 0}, files{how.fileLimit, how.fileLimit};
    setrlimit(RLIMIT_CORE, &noCore), setrlimit(RLIMIT_FSIZE, &files);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDOUT_FILENO), dup2(how.messages >= 0 ? how.messages : devNull, STDERR_FILENO);
    const uid_t user = how.user;
    if (user != 0 && (setgroups(0, nullptr) != 0 || setgid(user) != 0 || setuid(user) != 0)) _exit(126);
    std::vector<char*> argv{const_cast<char*>("murl13-tool"), const_cast<char*>("capture")};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(toolPath().c_str(), argv.data());
    _exit(127);
}

// Waits for the capture's end (killing it after a minute, far beyond any step);
// with `whenWriting`, only until a temporary of it in `folder` holds bytes.
int waitForCapture(pid_t pid, const std::string& whenWriting = "")
{
    int status = -1;
    for (int i = 0; i < 6000 && waitpid(pid, &status, WNOHANG) == 0; ++i, usleep(10000))
        for (const std::string& name : whenWriting.empty() ? std::vector<std::string>{} : namesIn(whenWriting)) {
            std::error_code gone;
            const auto size = std::filesystem::file_size(whenWriting + "/" + name, gone);
            if (name[0] == '.' && !gone && size > 0) return 0;
        }
    if (status == -1) kill(pid, SIGKILL), waitpid(pid, &status, 0);
    return status;
}

// How the capture ended (killed after a minute), and its messages (stderr,
// a few lines that the pipe holds meanwhile).
std::pair<int, std::string> captureMessages(const std::vector<std::string>& args, const Start& how = {})
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {-1, ""};
    Start with = how;
    with.messages = pipeEnds[1];
    const pid_t pid = startCapture(args, with);
    close(pipeEnds[1]);
    const int status = waitForCapture(pid);
    std::string messages;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) messages.append(buffer, size_t(got));
    close(pipeEnds[0]);
    return {status, messages};
}

}  // namespace

// An existing output and cells file (and a device node) stay as they were when
// the capture fails or any signal that ends a process ends it (sent, or raised
// by the file size limit), and no temporary is left; a complete capture
// replaces them and keeps their permissions.
TEST(CaptureFiles, AnExistingFileIsReplacedOnlyByACompleteCapture)
{
    char made[] = "/tmp/murl13-capture-XXXXXX";
    const std::string folder = mkdtemp(made), out = folder + "/o.mkv", cells = folder + "/o.cells";
    const std::string song = songOf("files.xm", 40), fifo = folder + "/fifo.xm", full = folder + "/full";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(out) << "video", std::ofstream(cells) << "cells";
    chmod(out.c_str(), 0640);
    // A full disk: a device node of our own, never the system's, which a
    // capture that removes what it did not create would take with it.
    const bool root = mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const std::vector<std::string> before = namesIn(folder);
    const auto expectKept = [&](const std::string& what) {
        EXPECT_TRUE(bytesOf(out) == std::vector<uint8_t>({'v', 'i', 'd', 'e', 'o'})) << what;
        EXPECT_TRUE(bytesOf(cells) == std::vector<uint8_t>({'c', 'e', 'l', 'l', 's'})) << what;
        EXPECT_EQ(namesIn(folder), before) << what;
    };
    std::vector<std::pair<std::string, std::string>> failures = {{folder + "/missing.xm", cells}, {fifo, cells}};
    if (root) failures.push_back({song, full});
    for (const auto& [badSong, badCells] : failures) {
        const int status = waitForCapture(startCapture({out, "--scale", "1", "--song", badSong, "--cells", badCells}));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << badSong << " " << badCells << ": " << status;
        expectKept(badSong + " " + badCells);
    }
    const std::vector<std::string> longShow = {out, "--scale", "1", "--seconds", "3600", "--song", song, "--cells", cells};
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGXFSZ, SIGSEGV, SIGRTMIN + 1}) {
        const pid_t pid = startCapture(longShow);
        EXPECT_EQ(waitForCapture(pid, folder), 0) << strsignal(s) << ": no temporary written";
        kill(pid, s);
        const int status = waitForCapture(pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == s) << strsignal(s) << ": " << status;
        expectKept(strsignal(s));
    }
    const int limited = waitForCapture(startCapture(longShow, {200000}));
    EXPECT_TRUE(WIFSIGNALED(limited) && WTERMSIG(limited) == SIGXFSZ) << "over the file size limit: " << limited;
    expectKept("over the file size limit");
    // With SIGXFSZ ignored the writing fails on the video's own thread, which
    // stops the capture as any failure does.
    const auto failed = captureMessages(longShow, {2000000, true});
    EXPECT_EQ(failed.first, 1 << 8) << failed.second;
    EXPECT_NE(failed.second.find("File too large"), std::string::npos) << failed.second;
    expectKept("a write that fails");

    ASSERT_EQ(capture(out + " --scale 1 --fps 10 --seconds 0.3 --song " + song + " --cells " + cells).first, 0);
    EXPECT_EQ(readBack(out).pictures.size(), 3u);
    EXPECT_EQ(bytesOf(cells).size(), 3u * CELL_COUNT * 4);
    EXPECT_EQ(std::filesystem::status(out).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(namesIn(folder), before);
    EXPECT_TRUE(!root || std::filesystem::is_character_file(full));
    // Complete, but the summary line cannot be written: status 1, and why.
    const auto unsaid = tool("capture", out + " --scale 1 --fps 10 --seconds 0.3 --song " + song, "2>&1 >&-");
    EXPECT_TRUE(unsaid.first == 1 && unsaid.second.find("summary") != std::string::npos) << unsaid.second;
    std::filesystem::remove_all(folder);
}

// An output or cells path that is the song (also through a link) or the other
// file is refused with status 2 before anything is written; a FIFO for an
// .mp4 (finished by seeking back) is refused and kept. Two captures to one
// file: interrupting the second leaves the first one's file.
TEST(CaptureFiles, RefusesToWriteOverTheSongOrOneFileTwice)
{
    char made[] = "/tmp/murl13-capture-XXXXXX";
    const std::string folder = mkdtemp(made), song = folder + "/s.mkv", link = folder + "/l.mkv";
    const std::string out = folder + "/o.mkv", fifo = folder + "/f.mp4";
    std::filesystem::copy_file(songOf("refused.xm", 40), song);
    const std::vector<uint8_t> module = bytesOf(song);
    ASSERT_TRUE(symlink("s.mkv", link.c_str()) == 0 && mkfifo(fifo.c_str(), 0600) == 0);
    for (const std::string& args : {song + " --song " + song, link + " --song " + song,
                                    out + " --song " + link + " --cells " + song,
                                    out + " --song " + song + " --cells " + folder + "/./o.mkv"}) {
        EXPECT_EQ(capture(args + " --scale 1 --seconds 0.3").first, 2) << args;
        EXPECT_TRUE(bytesOf(song) == module) << args;
    }
    EXPECT_EQ(capture(fifo + " --scale 1 --seconds 0.3 --song " + song).first, 1);
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"f.mp4", "l.mkv", "s.mkv"}));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    ASSERT_EQ(capture(out + " --scale 1 --fps 10 --seconds 0.3 --song " + song).first, 0);
    const std::vector<uint8_t> first = bytesOf(out);
    const pid_t second = startCapture({out, "--scale", "1", "--seconds", "3600", "--song", song});
    EXPECT_EQ(waitForCapture(second, folder), 0);
    kill(second, SIGINT);
    waitForCapture(second);
    EXPECT_TRUE(bytesOf(out) == first) << "the second capture's interruption touched the first one's file";
    std::filesystem::remove_all(folder);
}


// What the end of a capture could not replace is refused before anything is
// rendered: a path whose links go round in a loop (as a shell's redirection
// refuses it, the link kept), and another user's file in a sticky folder
// (refused at once, not after an hour of show).
TEST(CaptureFiles, WhatCouldNotBeReplacedIsRefusedAtOnce)
{
    char made[] = "/tmp/murl13-capture-XXXXXX";
    const std::string folder = mkdtemp(made), loop = folder + "/loop.mkv", song = folder + "/s.xm";
    std::filesystem::copy_file(songOf("refused-early.xm", 40), song);
    ASSERT_EQ(symlink("loop.mkv", loop.c_str()), 0);
    const auto looped = captureMessages({loop, "--scale", "1", "--seconds", "3600", "--song", song});
    EXPECT_EQ(looped.first, 1 << 8) << looped.second;
    EXPECT_NE(looped.second.find("loop.mkv: Too many levels of symbolic links"), std::string::npos) << looped.second;
    EXPECT_TRUE(std::filesystem::is_symlink(loop) && std::filesystem::read_symlink(loop) == "loop.mkv");

    if (geteuid() != 0) GTEST_SKIP() << "another user's file needs root to make";
    // /tmp's rules in a folder of our own: anyone may create files in it, only
    // a file's owner (or the folder's) may replace it. `nobody` tries to
    // replace a file of user 65533's that it may write to.
    const uid_t nobody = 65534;
    const std::string sticky = folder + "/sticky", theirs = sticky + "/theirs.mkv";
    ASSERT_EQ(mkdir(sticky.c_str(), 0777), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0755) | chmod(sticky.c_str(), 01777) | chmod(song.c_str(), 0644), 0);
    std::ofstream(theirs) << "theirs";
    ASSERT_EQ(chown(theirs.c_str(), 65533, 65533) | chmod(theirs.c_str(), 0666), 0);
    const Start asNobody{.user = nobody};
    const auto refused = captureMessages({theirs, "--scale", "1", "--seconds", "3600", "--song", song}, asNobody);
    EXPECT_EQ(refused.first, 1 << 8) << refused.second;
    EXPECT_NE(refused.second.find("belongs to another user"), std::string::npos) << refused.second;
    EXPECT_EQ(namesIn(sticky), std::vector<std::string>{"theirs.mkv"});
    EXPECT_TRUE(bytesOf(theirs) == std::vector<uint8_t>({'t', 'h', 'e', 'i', 'r', 's'}));
    // The folder's owner may.
    ASSERT_EQ(chown(sticky.c_str(), nobody, nobody), 0);
    EXPECT_EQ(captureMessages({theirs, "--scale", "1", "--fps", "10", "--seconds", "0.2", "--song", song}, asNobody),
              std::make_pair(0, std::string()));
    std::filesystem::remove_all(folder);
}

// The capture's temporary lives in its folder wherever the folder goes: a
// folder renamed during the capture gets the finished file under its name,
// or, when the capture is stopped, loses the temporary. (The capture waits,
// with its temporary made, to open its cells FIFO until the test reads it.)
TEST(CaptureFiles, AFolderRenamedMeanwhileGetsTheFileOrNoTemporary)
{
    char made[] = "/tmp/murl13-capture-XXXXXX";
    const std::string base = mkdtemp(made), folder = base + "/before", moved = base + "/after";
    const std::string fifo = base + "/cells", song = songOf("moved.xm", 40);
    ASSERT_TRUE(mkdir(folder.c_str(), 0755) == 0 && mkfifo(fifo.c_str(), 0600) == 0);
    const auto waitForTemporary = [](const std::string& in) {
        for (int i = 0; i < 6000 && namesIn(in).empty(); ++i) usleep(10000);
        return namesIn(in).size() == 1 && namesIn(in)[0][0] == '.';
    };
    // Reads the cells until the capture ends (a minute at most); its status.
    const auto drain = [&fifo](pid_t pid, size_t& bytes) {
        const int cells = open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // never waits for the other end
        int status = -1;
        char buffer[65536];
        for (int i = 0; i < 6000 && status == -1; ++i, usleep(10000)) {
            if (waitpid(pid, &status, WNOHANG) != pid) status = -1;
            for (ssize_t got; (got = read(cells, buffer, sizeof buffer)) > 0;) bytes += size_t(got);
        }
        close(cells);
        return status == -1 ? waitForCapture(pid) : status;
    };
    const std::vector<std::string> args = {folder + "/o.mkv", "--scale", "1", "--fps", "10", "--cells", fifo,
                                           "--song", song};

    std::vector<std::string> finished = args;
    finished.insert(finished.end(), {"--seconds", "0.5"});
    pid_t pid = startCapture(finished);
    ASSERT_TRUE(waitForTemporary(folder));
    ASSERT_EQ(rename(folder.c_str(), moved.c_str()), 0);
    size_t cellBytes = 0;
    EXPECT_EQ(drain(pid, cellBytes), 0);
    EXPECT_EQ(cellBytes, 5u * CELL_COUNT * 4);
    EXPECT_EQ(namesIn(moved), std::vector<std::string>{"o.mkv"});
    EXPECT_EQ(readBack(moved + "/o.mkv").pictures.size(), 5u);

    ASSERT_EQ(rename(moved.c_str(), folder.c_str()), 0);
    std::vector<std::string> stopped = args;
    stopped.insert(stopped.end(), {"--seconds", "3600"});
    pid = startCapture(stopped);
    for (int i = 0; i < 6000 && namesIn(folder).size() < 2; ++i) usleep(10000);
    ASSERT_EQ(rename(folder.c_str(), moved.c_str()), 0);
    kill(pid, SIGTERM);
    const int status = waitForCapture(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(namesIn(moved), std::vector<std::string>{"o.mkv"});
    std::filesystem::remove_all(base);
}
