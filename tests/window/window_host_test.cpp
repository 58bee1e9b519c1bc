// The window host on SDL's offscreen video driver with the software renderer:
// what it presents, read back, against the rasteriser; its title; the events
// that end the demo; a window resized huge; the in-window error box; the way out by a stop
// signal, with the box up.
#include <chrono>
#include <cstdlib>
#include <tuple>
#include <vector>

#include <SDL.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "hosts/window/window_host.h"
#include "raster/rasterise.h"
#include "runtime/message_box.h"

namespace {

using raster::PICTURE_HEIGHT;
using raster::PICTURE_WIDTH;

// Never a real display, nor a native message box on one.
const bool headless = setenv("SDL_VIDEODRIVER", "offscreen", 1) == 0 &&
                      setenv("SDL_RENDER_DRIVER", "software", 1) == 0 && unsetenv("DISPLAY") == 0 &&
                      unsetenv("WAYLAND_DISPLAY") == 0;

class WindowHost : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(headless); }
    void TearDown() override
    {
        window::closeWindow();
        window::stopRequested.store(0);
    }
};

void fillCells(ScreenBuffer& cells)
{
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = {uint16_t(i * 13 % 256), uint16_t(i * 7 % 256)};
}

SDL_Event keyDown(SDL_Keycode key, Uint16 mod = KMOD_NONE)
{
    SDL_Event event {};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    return event;
}

// The window shows `cells` at `scale` with its top left at (left, top), black
// around: its pixels read back from the renderer.
void expectShows(const ScreenBuffer& cells, int scale, int left, int top)
{
    SDL_Renderer* renderer = SDL_GetRenderer(window::sdlWindow());
    int width = 0, height = 0;
    ASSERT_EQ(SDL_GetRendererOutputSize(renderer, &width, &height), 0) << SDL_GetError();
    std::vector<uint8_t> shown(size_t(width) * size_t(height) * 3);
    ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB24, shown.data(), width * 3), 0);
    std::vector<uint8_t> expected(size_t(width) * size_t(height) * 3, 0);
    raster::rasteriseCells(cells.data(), scale, expected.data() + (size_t(top) * size_t(width) + size_t(left)) * 3,
                           size_t(width) * 3);
    size_t wrong = 0, first = 0;
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != expected[i] && wrong++ == 0) first = i / 3;
    EXPECT_EQ(wrong, 0u) << "first wrong pixel at " << first % size_t(width) << "," << first / size_t(width);
}

TEST_F(WindowHost, PresentsTheRasterisersPixelsScaledAndCentredFromOneTextureOfThePicturesSize)
{
    struct Case {
        int scale;                 // asked for
        int width, height;         // the window resized to this; 0: as opened
        int shownScale, left, top;
    };
    for (const Case c : {Case{1, 0, 0, 1, 0, 0}, Case{2, 0, 0, 2, 0, 0}, Case{3, 0, 0, 3, 0, 0},
                         Case{1, 700, 500, 1, 30, 50}, Case{1, 1400, 900, 2, 60, 50}, Case{3, 1000, 900, 1, 180, 250}}) {
        SCOPED_TRACE(testing::Message() << "scale " << c.scale << ", window " << c.width << "x" << c.height);
        ASSERT_TRUE(window::openWindow({c.scale, false, 0}));
        SDL_Texture* texture = window::pictureTexture();
        fillCells(screenBuffer);
        window::presentFrame();
        if (c.width > 0) {
            SDL_SetWindowSize(window::sdlWindow(), c.width, c.height);
            window::presentFrame();
        }
        expectShows(screenBuffer, c.shownScale, c.left, c.top);
        // The picture's texture is made once, at the picture's size.
        int width = 0, height = 0;
        ASSERT_EQ(SDL_QueryTexture(window::pictureTexture(), nullptr, nullptr, &width, &height), 0);
        EXPECT_EQ(window::pictureTexture(), texture);
        EXPECT_EQ(width, PICTURE_WIDTH);
        EXPECT_EQ(height, PICTURE_HEIGHT);
        window::closeWindow();
    }
}

TEST_F(WindowHost, EventsEndTheDemoOrToggleFullScreenWithThePictureWholeAndCentred)
{
    SDL_Event quit {}, close {};
    quit.type = SDL_QUIT;
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    struct Case {
        SDL_Event event;
        uint16_t ends;
        bool fullscreen;  // afterwards
    };
    ASSERT_TRUE(window::openWindow({1, false, 0}));
    fillCells(screenBuffer);
    for (Case c : {Case{keyDown(SDLK_SPACE), 0, false}, Case{keyDown(SDLK_F11), 0, true},
                   Case{keyDown(SDLK_RETURN, KMOD_LALT), 0, false}, Case{keyDown(SDLK_ESCAPE), 1, false},
                   Case{quit, 1, false}, Case{close, 1, false}}) {
        window::stopRequested.store(0);
        ASSERT_EQ(SDL_PushEvent(&c.event), 1) << SDL_GetError();
        window::presentFrame();  // pumps the event
        window::presentFrame();  // drawn at the size it left
        EXPECT_EQ(window::escapeHeld(), c.ends) << "event " << c.event.type;
        EXPECT_EQ((SDL_GetWindowFlags(window::sdlWindow()) & SDL_WINDOW_FULLSCREEN) != 0, c.fullscreen);
        int width = 0, height = 0;
        SDL_GetRendererOutputSize(SDL_GetRenderer(window::sdlWindow()), &width, &height);
        // Full screen on the offscreen driver is its desktop, larger than the window.
        EXPECT_TRUE(!c.fullscreen || width > PICTURE_WIDTH);
        const int scale = window::fittingScale(width, height);
        expectShows(screenBuffer, scale, (width - PICTURE_WIDTH * scale) / 2, (height - PICTURE_HEIGHT * scale) / 2);
    }
}

TEST_F(WindowHost, TheWindowBearsTheDemosTitleWindowedOrFullScreen)
{
    for (const bool fullscreen : {false, true}) {
        ASSERT_TRUE(window::openWindow({1, fullscreen, 0}));
        EXPECT_STREQ(SDL_GetWindowTitle(window::sdlWindow()), "Norq - Murl #13") << "full screen " << fullscreen;
        window::closeWindow();
    }
}

TEST_F(WindowHost, WindowResizedHugeIsShrunkToThePictureAtTheLargestScale)
{
    ASSERT_TRUE(window::openWindow({1, false, 0}));
    SDL_Window* shown = window::sdlWindow();
    fillCells(screenBuffer);
    // Resized by another program past the maximum size, as X servers allow; the
    // offscreen desktop is smaller than the picture at the largest scale.
    SDL_SetWindowMaximumSize(shown, 65535, 65535);
    for (int size : {32767, 65535}) {
        SDL_SetWindowSize(shown, size, size);
        window::presentFrame();
        int width = 0, height = 0;
        SDL_GetWindowSize(shown, &width, &height);
        EXPECT_EQ(width, PICTURE_WIDTH * raster::MAX_SCALE) << size;
        EXPECT_EQ(height, PICTURE_HEIGHT * raster::MAX_SCALE) << size;
    }
    window::presentFrame();
    expectShows(screenBuffer, raster::MAX_SCALE, 0, 0);
}

TEST_F(WindowHost, ErrorBoxIsDrawnInTheWindowAndEnterDismissesIt)
{
    ASSERT_TRUE(window::openWindow({1, false, 0}));
    SDL_Event enter = keyDown(SDLK_RETURN);
    SDL_PushEvent(&enter);
    window::showErrorBox("Failed loading Protracker-Module", "Error! Plonk suxx!");
    EXPECT_EQ(window::escapeHeld(), 0) << "dismissing the box ends nothing";
    ScreenBuffer boxed {};
    drawMessageBox(boxed, "Failed loading Protracker-Module", "Error! Plonk suxx!", SCREEN_ROWS, SCREEN_COLUMNS);
    expectShows(boxed, 1, 0, 0);

    // A quit while the box is open ends the wait and the demo.
    SDL_Event quit {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    window::showErrorBox("text", "caption");
    EXPECT_EQ(window::escapeHeld(), 1);
}

TEST_F(WindowHost, StopSignalWhileTheErrorBoxIsUpEndsTheDemoWithinASecondThenTheProcessByThatSignal)
{
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // what the demo leaves behind comes to us
    int boxUp[2];
    ASSERT_EQ(pipe(boxUp), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(5);  // a box that ignores the signal ends by SIGALRM
        if (!window::openWindow({1, false, 0}) || write(boxUp[1], "b", 1) != 1) _exit(2);
        window::showErrorBox("Failed loading Protracker-Module", "Error! Plonk suxx!");
        window::closeWindow();
        window::endByStopSignal();
        _exit(0);
    }
    close(boxUp[1]);
    char byte = 0;
    ASSERT_EQ(read(boxUp[0], &byte, 1), 1);
    close(boxUp[0]);
    usleep(300'000);  // the box waits for an answer
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(child, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a process of the demo outlived it";
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST(WindowScale, DefaultIsTheLargestOf1To4ThatFitsTheDesktop)
{
    for (auto [width, height, scale] : {std::tuple{1920, 1080, 2}, {3840, 2160, 4}, {1000, 700, 1}, {0, 0, 2}})
        EXPECT_EQ(window::defaultScale(width, height), scale) << width << "x" << height;
}

}  // namespace
