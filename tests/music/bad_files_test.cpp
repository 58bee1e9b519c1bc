// Bad song files: the demo loads whatever "GLIMVEX.oXM" is in its folder, and
// a file that is not a whole module must give the null song (the demo then
// shows its message and runs silently), never a crash, a half-played song or a
// thread left running. The null song itself must pass through the other
// calls harmlessly.
#include "music/test_modules.h"
#include "music/song_scan.h"
#include "state/player.h"

#include <filesystem>
#include <random>

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

std::vector<uint8_t> randomBytes(std::mt19937& random, size_t size, std::string start = "")
{
    std::vector<uint8_t> bytes(start.begin(), start.end());
    while (bytes.size() < size) bytes.push_back(uint8_t(random()));
    return bytes;
}

// A module of one pattern and `instruments` instruments, as bytes.
std::vector<uint8_t> smallSong(int instruments)
{
    xm::Module module = testModule(2, {4});
    module.patterns[0].at(0, 0) = {xm::NOTE_C4, 2};
    module.instruments.resize(instruments);
    return xm::serialise(module);
}

}  // namespace

TEST(BadFiles, WhatIsNotAWholeModuleGivesTheNullSong)
{
    const std::string text = "This is not a module.\nJust a few lines of text.\n";
    expectRejected(testing::TempDir() + "murl13_no_such_file.oXM", "missing");
    expectRejected(testing::TempDir(), "a folder");
    expectRejected(writeTempFile("empty.oXM", {}), "empty");
    expectRejected(writeTempFile("text.oXM", {text.begin(), text.end()}), "text");
    std::mt19937 random(1313);
    for (size_t size : {1, 17, 64, 1000, 70000})
        expectRejected(writeTempFile("random.oXM", randomBytes(random, size)), "random bytes");
    std::vector<uint8_t> bytes = smallSong(testxm::INSTRUMENTS);
    bytes[60 + 276 + 7] = bytes[60 + 276 + 8] = 0xff;  // the first pattern's data size, past the end
    expectRejected(writeTempFile("bigpattern.oXM", bytes), "a pattern larger than the file");
    EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);

    // The XM signature followed by noise gets into the loader; it may be
    // rejected anywhere, but safely.
    for (int round = 0; round < 50; round++)
        FMUSIC_FreeSong(FMUSIC_LoadSong(writeTempFile("noisy.oXM", randomBytes(random, 2000, "Extended Module: ")).c_str()));
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
