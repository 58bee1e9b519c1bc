// Bad song files: the demo loads whatever "GLIMVEX.oXM" is in its folder, and
// a file that is not a whole module must give the null song (the demo then
// shows its message and runs silently), never a crash, a half-played song or a
// thread left running. The null song itself must pass through the other
// calls harmlessly.
#include "music/test_modules.h"
#include "music/song_scan.h"
#include "state/player.h"

#include <filesystem>

#include <sys/stat.h>

using namespace testxm;

namespace {

// Threads of this process, from /proc.
long threadCount()
{
    std::filesystem::directory_iterator tasks("/proc/self/task");
    return std::distance(begin(tasks), end(tasks));
}

void expectRejected(const std::string& path, const std::string& what)
{
    long threadsBefore = threadCount();
    Song* song = FMUSIC_LoadSong(path.c_str());
    EXPECT_EQ(song, nullptr) << what;
    EXPECT_FALSE(scanSong(path, 10).loaded) << what;
    // The null song passes through the other calls harmlessly.
    EXPECT_FALSE(FMUSIC_SetInstCallback(song, nullptr, 2));
    EXPECT_FALSE(FMUSIC_PlaySong(song));
    EXPECT_EQ(FMUSIC_GetOrder(song), 0);
    FMUSIC_FreeSong(song);
    EXPECT_EQ(threadCount(), threadsBefore) << what;
}

// A module of one pattern and `instruments` instruments, as bytes.
std::vector<uint8_t> smallSong(int instruments)
{
    xm::Module module = testModule(2, {4});
    module.patterns[0].at(0, 0) = {xm::NOTE_C4, 2};
    module.instruments.resize(instruments);
    return xm::serialise(module);
}

void put(std::vector<uint8_t>& bytes, size_t at, int size, uint32_t value)
{
    for (int i = 0; i < size; i++) bytes.at(at + i) = uint8_t(value >> 8 * i);
}

}  // namespace

// libxmp reads many formats, and some of its loaders crash or hang on broken
// headers: no file of another format, broken (every count and length at its
// largest) or whole, may reach it; nor an XM beyond the format's limits.
TEST(BadFiles, WhatIsNotAWholeXmGivesTheNullSong)
{
    expectRejected(testing::TempDir() + "murl13_no_such_file.oXM", "missing");
    expectRejected(testing::TempDir(), "a folder");
    EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);
    for (auto [at, start] : std::vector<std::pair<size_t, std::string>>{
             {0, ""}, {0, "This is not a module.\nJust a few lines of text.\n"},
             {0, std::string("DIGI Booster module\0", 20)}, {0, std::string("ASYLUM Music Format V1.0\0", 25)},
             {0, "OKTASONGCMOD"}, {1080, "M.K."}, {44, "SCRM"}, {0, "IMPM"}, {0, "MMD0"}, {0, "ziRCONia"}}) {
        std::vector<uint8_t> bytes(start.empty() ? 0 : 4096, 0xff);
        std::copy(start.begin(), start.end(), bytes.begin() + at);
        expectRejected(writeTempFile("other.mod", bytes), "starting " + start);
    }
    std::vector<uint8_t> mod(1084 + 64 * 4 * 4, 0);  // four channels, one empty pattern
    mod[950] = 1, mod[951] = 0x7f;
    std::copy_n("M.K.", 4, mod.begin() + 1080);
    expectRejected(writeTempFile("whole.mod", mod), "a whole module of another format");

    // Named as one converter whose tempo libxmp takes unchecked, so that BPM 0
    // (ticks of no length) would reach it.
    std::vector<uint8_t> song = smallSong(testxm::INSTRUMENTS);
    std::copy_n("MED2XM", 6, song.begin() + 38);
    const size_t pattern = 60 + 276, instrument = smallSong(0).size(), sample = instrument + 263;
    struct Patch { const char* what; size_t at; int size; uint32_t value; };
    for (const Patch& patch : std::vector<Patch>{
             {"header size", 60, 4, 0xffffffff}, {"song length", 64, 2, 0}, {"channels", 68, 2, 0},
             {"patterns", 70, 2, 0xffff}, {"speed", 76, 2, 0}, {"BPM", 78, 2, 0}, {"rows", pattern + 5, 2, 0},
             {"pattern header", pattern, 4, 0xffffffff}, {"pattern data", pattern + 7, 2, 0xffff},
             {"instrument header", instrument, 4, 0xffffffff}, {"samples", instrument + 27, 2, 17},
             {"sample length", sample, 4, 0xffffffff}}) {
        std::vector<uint8_t> bytes = song;
        put(bytes, patch.at, patch.size, patch.value);
        expectRejected(writeTempFile("limits.oXM", bytes), std::string(patch.what) + " " + std::to_string(patch.value));
    }
    // Lxx, on which libxmp's FastTracker emulation reads outside its instruments.
    xm::Module module = testModule(2, {4});
    module.patterns[0].at(0, 1) = {0, 0, 0, 21, 0x10};
    std::vector<uint8_t> envelope = xm::serialise(module);
    std::copy_n("FastTracker v2.00", 17, envelope.begin() + 38);
    expectRejected(writeTempFile("lxx.oXM", envelope), "Lxx in a FastTracker file");

    std::copy_n("MED2XM by J.Pynnone", 19, song.begin() + 38);  // whose BPM 0 is a MED tempo
    put(song, 78, 2, 0);
    EXPECT_TRUE(scanSong(writeTempFile("med.oXM", song), 1).loaded);
}

// A song path that names a FIFO or a device is turned away at once, not
// waited on for a writer or read for ever.
TEST(BadFiles, AFifoOrDeviceGivesTheNullSongAtOnce)
{
#ifdef _WIN32
    expectRejected("CON", "the console");
    expectRejected("NUL", "a device");
#else
    const std::string fifo = testing::TempDir() + "murl13_" + std::to_string(getpid()) + "_fifo.oXM";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    expectRejected(fifo, "a FIFO");
    unlink(fifo.c_str());
    expectRejected("/dev/zero", "a device");
#endif
}

TEST(BadFiles, AModuleAtTheFormatsLimitsPlays)
{
    xm::Module module = testModule(xm::MAX_CHANNELS, {256, 1});
    module.patterns[0].at(255, xm::MAX_CHANNELS - 1) = {xm::NOTE_C4, 2};
    module.instruments.resize(xm::MAX_INSTRUMENTS);
    module.speed = 31, module.bpm = 32;
    SongScan scan = scanSong(writeTempFile("limits.oXM", xm::serialise(module)), 1000);
    EXPECT_NEAR(scan.endTime, 257 * 31 * 2.5 / 32, 1e-6);
    EXPECT_TRUE(scan.events.size() == 3 && scan.events[1].isTrigger);  // order 0, the note, order 1
}

TEST(BadFiles, ACutModuleGivesTheNullSongUnlessItEndsAfterAWholeInstrument)
{
    // As old converters wrote them, a file may claim more instruments than it
    // holds and still play; any other cut is damage.
    std::vector<uint8_t> whole = smallSong(testxm::INSTRUMENTS);
    size_t instrumentsStart = smallSong(0).size();
    size_t instrumentBytes = smallSong(1).size() - instrumentsStart;
    for (size_t length : {whole.size(), instrumentsStart + 2 * instrumentBytes}) {
        Song* song = FMUSIC_LoadSong(writeTempFile("whole.oXM", {whole.begin(), whole.begin() + length}).c_str());
        EXPECT_NE(song, nullptr) << "ends after a whole instrument at " << length;
        FMUSIC_FreeSong(song);
    }
    for (size_t length = 1; length < whole.size(); length += 7) {
        if (length > instrumentsStart && (length - instrumentsStart) % instrumentBytes == 0) continue;
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
        EXPECT_EQ(FMUSIC_LoadSong(writeTempFile("cut.oXM", cut).c_str()), nullptr) << "cut to " << length;
    }
    expectRejected(writeTempFile("none.oXM", {whole.begin(), whole.begin() + instrumentsStart}), "no instrument");
}
