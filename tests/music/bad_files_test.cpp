// Bad song files: the demo loads whatever "GLIMVEX.oXM" is in its folder, and
// a file that is not a whole module must give the null song (the demo then
// shows its message and runs silently), never a crash, a half-played song or a
// thread left running. The null song itself must pass through play, order and
// free harmlessly.
#include "music/test_modules.h"
#include "runtime/music/song_scan.h"
#include "runtime/player.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <random>
#include <string>
#include <vector>

using namespace testxm;

namespace {

// Threads of this process, from /proc.
int threadCount()
{
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    int count = 0;
    while (dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.') count++;
    closedir(tasks);
    return count;
}

Module smallSong()
{
    Module module = oneOrderModule(4, 2);
    cellAt(module.patterns[0], module, 0, 0) = {C4, 2};
    cellAt(module.patterns[0], module, 2, 1) = {C4, 5};
    return module;
}

void expectRejected(const std::string& path)
{
    int threadsBefore = threadCount();
    Song* song = FMUSIC_LoadSong(path.c_str());
    EXPECT_EQ(song, nullptr) << path;
    EXPECT_FALSE(scanSong(path, 10).loaded) << path;
    FMUSIC_FreeSong(song);
    EXPECT_EQ(threadCount(), threadsBefore) << path;
}

}  // namespace

TEST(BadFiles, MissingEmptyTextAndDirectoryGiveTheNullSong)
{
    expectRejected(testing::TempDir() + "murl13_no_such_file.oXM");
    expectRejected(writeTempFile("empty.oXM", {}));
    std::string text = "This is not a module.\nJust a few lines of text.\n";
    expectRejected(writeTempFile("text.oXM", std::vector<uint8_t>(text.begin(), text.end())));
    expectRejected(testing::TempDir());
    EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);
}

TEST(BadFiles, RandomBytesGiveTheNullSong)
{
    std::mt19937 random(1313);
    for (int size : {1, 17, 64, 1000, 70000}) {
        std::vector<uint8_t> bytes(size);
        for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
        expectRejected(writeTempFile("random.oXM", bytes));
    }
}

TEST(BadFiles, RandomBytesBehindTheSignatureDoNotCrash)
{
    // The XM signature followed by noise gets past the format test into the
    // header walk and the loader; it may be rejected anywhere, but safely.
    std::mt19937 random(4711);
    const std::string signature = "Extended Module: ";
    for (int round = 0; round < 50; round++) {
        std::vector<uint8_t> bytes(signature.begin(), signature.end());
        for (int i = 0; i < 2000; i++) bytes.push_back(static_cast<uint8_t>(random()));
        Song* song = FMUSIC_LoadSong(writeTempFile("noisy.oXM", bytes).c_str());
        FMUSIC_FreeSong(song);
    }
}

// The layout of smallSong's file: header, one pattern, eight instruments.
constexpr size_t SMALL_SONG_INSTRUMENTS_START = 60 + 276 + 9 + 4 * 2 * 5;
constexpr size_t SMALL_SONG_INSTRUMENT_BYTES = 263 + 40 + 32;

TEST(BadFiles, TruncationsOfAModuleGiveTheNullSong)
{
    std::vector<uint8_t> whole = encode(smallSong());
    Song* song = FMUSIC_LoadSong(writeTempFile("whole.oXM", whole).c_str());
    ASSERT_NE(song, nullptr) << "the uncut module loads";
    FMUSIC_FreeSong(song);
    // Every length but the ends of whole instruments (see the next test).
    for (size_t length = 1; length < whole.size(); length += 7) {
        if (length > SMALL_SONG_INSTRUMENTS_START &&
            (length - SMALL_SONG_INSTRUMENTS_START) % SMALL_SONG_INSTRUMENT_BYTES == 0)
            continue;
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
        std::string path = writeTempFile("cut.oXM", cut);
        EXPECT_EQ(FMUSIC_LoadSong(path.c_str()), nullptr) << "cut to " << length << " of " << whole.size();
    }
}

TEST(BadFiles, AFileEndingBetweenWholeInstrumentsStillLoads)
{
    // As old converters wrote them: the header claims eight instruments, the
    // file holds two whole ones. A file without any is cut off.
    std::vector<uint8_t> whole = encode(smallSong());
    size_t twoInstruments = SMALL_SONG_INSTRUMENTS_START + 2 * SMALL_SONG_INSTRUMENT_BYTES;
    std::vector<uint8_t> shortened(whole.begin(), whole.begin() + twoInstruments);
    Song* song = FMUSIC_LoadSong(writeTempFile("twoinstruments.oXM", shortened).c_str());
    EXPECT_NE(song, nullptr);
    FMUSIC_FreeSong(song);
    std::vector<uint8_t> none(whole.begin(), whole.begin() + SMALL_SONG_INSTRUMENTS_START);
    expectRejected(writeTempFile("noinstruments.oXM", none));
}

TEST(BadFiles, HeaderClaimsBeyondTheFileAreCaught)
{
    std::vector<uint8_t> bytes = encode(smallSong());
    // The first pattern's data size, at the header (60 + 276 bytes) plus 7.
    bytes[60 + 276 + 7] = 0xff;
    bytes[60 + 276 + 8] = 0xff;
    expectRejected(writeTempFile("bigpattern.oXM", bytes));
}

TEST(BadFiles, TheNullSongPassesThroughPlayOrderAndFree)
{
    int threadsBefore = threadCount();
    EXPECT_FALSE(FMUSIC_PlaySong(nullptr));
    EXPECT_EQ(FMUSIC_GetOrder(nullptr), 0);
    EXPECT_FALSE(FMUSIC_SetInstCallback(nullptr, nullptr, 2));
    FMUSIC_FreeSong(nullptr);
    EXPECT_EQ(threadCount(), threadsBefore);
}
