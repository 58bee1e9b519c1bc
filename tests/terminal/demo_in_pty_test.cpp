// The real murl13 binary in a pseudo-terminal made here, read back through
// libvterm: what a user sees and what the shell gets back. Catches a terminal
// left raw, on the alternate screen or without a cursor after any way out
// (Escape, SIGTERM, SIGHUP, Ctrl-C), a demo that ignores or wrongly ends on a
// key (Escape missed, an arrow key taken for Escape, the error box's key ending
// the demo), a missing title or error box, a picture that breaks a smaller
// terminal or does not come back when it grows, a demo that hangs after a
// hang-up, and escape sequences poured into a file when stdout is redirected.
//
// The demo runs in an empty folder, so its song never loads and the error box
// always appears; with no song it shows the plasma until it is stopped. Every
// wait has a generous deadline and only guards against a hang.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "vterm_screen.h"

namespace {

// Far beyond what any step takes; a deadline only stops a hung test.
constexpr int GENEROUS_TIMEOUT_MS = 30000;
constexpr char CAPTION[] = "Error! Plonk suxx!";
constexpr char TEXT[] = "Failed loading Protracker-Module";
constexpr char FRAME_START[] = "\x1b[?2026h";

std::string makeEmptyFolder()
{
    char path[] = "/tmp/murl13-pty-XXXXXX";
    return mkdtemp(path) ? path : "/tmp";
}

// Everything the demo's child process needs set before exec.
[[noreturn]] void execDemo(const std::string& folder)
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGPIPE}) signal(s, SIG_DFL);
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // never a real sound device in tests
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);  // the crash tests leave no core file
    execl(MURL13_BINARY, "murl13", static_cast<char*>(nullptr));
    _exit(127);
}

bool sameModes(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// The demo as a child in session of its own, with a pseudo-terminal as its
// controlling terminal and its stdout and stderr (and stdin, unless told).
class DemoInPty {
public:
    explicit DemoInPty(int rows = 50, int columns = 80, bool stdinIsTerminal = true)
        : screen(rows, columns), folder_(makeEmptyFolder())
    {
        winsize size{};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(columns);
        if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return;
        tcgetattr(slave_, &before);
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            const int input = stdinIsTerminal ? slave_ : open("/dev/null", O_RDONLY);
            dup2(input, 0);
            dup2(slave_, 1);
            dup2(slave_, 2);
            close(master_);
            if (slave_ > 2) close(slave_);
            execDemo(folder_);
        }
    }

    ~DemoInPty()
    {
        if (pid_ > 0 && !exited) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
        rmdir(folder_.c_str());
    }

    bool started() const { return pid_ > 0 && master_ >= 0; }

    // Reads what the demo writes until `done` holds or the demo ends.
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs = GENEROUS_TIMEOUT_MS)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            readAvailable(10);
            if (done()) return true;
            if (!exited && waitpid(pid_, &status, WNOHANG) == pid_) exited = true;
            if (exited) {
                readAvailable(0);
                return done();
            }
        }
        return false;
    }

    bool waitForExit() { return pumpUntil([this] { return exited; }); }
    bool waitForBox()
    {
        return pumpUntil([this] { return screen.shows(CAPTION) && screen.shows(TEXT) && screen.shows("[ OK ]"); });
    }
    // Waits until `count` more frames have been written.
    bool waitForFrames(int count)
    {
        const int target = frames() + count;
        return pumpUntil([this, target] { return frames() >= target; });
    }

    void send(const std::string& bytes) { ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    void signal(int s) { kill(pid_, s); }
    void resize(int rows, int columns)
    {
        winsize size{};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(columns);
        ioctl(master_, TIOCSWINSZ, &size);  // the kernel sends SIGWINCH
        screen.resize(rows, columns);
    }
    void hangUp()
    {
        close(master_);
        master_ = -1;
    }
    termios modesNow() const
    {
        termios now{};
        tcgetattr(slave_, &now);
        return now;
    }
    int frames() const
    {
        int n = 0;
        for (size_t at = output.find(FRAME_START); at != std::string::npos; at = output.find(FRAME_START, at + 1)) ++n;
        return n;
    }
    bool running() { return !exited && waitpid(pid_, &status, WNOHANG) == 0; }

    VtermScreen screen;
    std::string output;
    termios before{};
    int status = 0;
    bool exited = false;

private:
    void readAvailable(int waitMs)
    {
        if (master_ < 0) return;
        pollfd p{master_, POLLIN, 0};
        while (poll(&p, 1, waitMs) > 0 && (p.revents & POLLIN)) {
            char buffer[65536];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) return;
            output.append(buffer, size_t(n));
            screen.feed(buffer, size_t(n));
            waitMs = 0;
        }
    }

    std::string folder_;
    pid_t pid_ = -1;
    int master_ = -1;
    int slave_ = -1;
};

// The terminal as the demo found it: modes, main screen, cursor, autowrap.
void expectRestored(DemoInPty& demo)
{
    EXPECT_TRUE(sameModes(demo.before, demo.modesNow())) << "termios changed";
    EXPECT_FALSE(demo.screen.altScreen) << "still on the alternate screen";
    EXPECT_TRUE(demo.screen.cursorVisible) << "cursor still hidden";
    const size_t autowrapOff = demo.output.rfind("\x1b[?7l");
    const size_t autowrapOn = demo.output.rfind("\x1b[?7h");
    EXPECT_TRUE(autowrapOn != std::string::npos && autowrapOn > autowrapOff) << "autowrap not back on";
}

// Starts the demo and dismisses the missing-song box with Enter.
void startPastTheBox(DemoInPty& demo)
{
    ASSERT_TRUE(demo.started());
    ASSERT_TRUE(demo.waitForBox()) << demo.output.size() << " bytes, no box";
    demo.send("\r");
    ASSERT_TRUE(demo.pumpUntil([&] { return !demo.screen.shows(CAPTION); })) << "Enter did not dismiss the box";
    ASSERT_TRUE(demo.waitForFrames(3)) << "no frames after the box";
}

}  // namespace

TEST(DemoInPty, BoxThenEnterThenArrowsThenEscape)
{
    DemoInPty demo;
    ASSERT_TRUE(demo.started());
    ASSERT_TRUE(demo.waitForBox());
    EXPECT_EQ(demo.screen.title, "Norq - Murl #13");
    EXPECT_TRUE(demo.screen.altScreen);
    EXPECT_FALSE(demo.screen.cursorVisible);
    EXPECT_EQ(demo.modesNow().c_lflag & (ICANON | ECHO), 0u) << "not in raw mode";

    demo.send("\r");
    ASSERT_TRUE(demo.pumpUntil([&] { return !demo.screen.shows(CAPTION); }));
    ASSERT_TRUE(demo.waitForFrames(3));
    EXPECT_TRUE(demo.running()) << "Enter on the box ended the demo";
    EXPECT_NE(demo.screen.background(0, 0), -1) << "no picture at the top left";
    EXPECT_NE(demo.screen.background(49, 79), -1) << "no picture at the bottom right";

    demo.send("\x1b[A");
    demo.send("\x1bOB");
    demo.send("\x1b[1;5C");
    ASSERT_TRUE(demo.waitForFrames(5));
    EXPECT_TRUE(demo.running()) << "an arrow key ended the demo";

    demo.send("\x1b");
    ASSERT_TRUE(demo.waitForExit());
    ASSERT_TRUE(WIFEXITED(demo.status));
    EXPECT_EQ(WEXITSTATUS(demo.status), 0);
    expectRestored(demo);
}

TEST(DemoInPty, StopSignalsRestoreAndEndByTheSignal)
{
    struct Case {
        const char* name;
        int signal;
        bool duringBox;    // sent while the error box waits for a key
        bool asCtrlC;      // typed as Ctrl-C rather than sent with kill
    };
    for (Case c : {Case{"SIGTERM", SIGTERM, false, false}, Case{"SIGHUP in the box", SIGHUP, true, false},
                   Case{"Ctrl-C", SIGINT, false, true}}) {
        SCOPED_TRACE(c.name);
        DemoInPty demo;
        ASSERT_TRUE(demo.started());
        if (c.duringBox) ASSERT_TRUE(demo.waitForBox());
        else startPastTheBox(demo);
        if (c.asCtrlC) demo.send("\x03");
        else demo.signal(c.signal);
        ASSERT_TRUE(demo.waitForExit());
        ASSERT_TRUE(WIFSIGNALED(demo.status)) << "status " << demo.status;
        EXPECT_EQ(WTERMSIG(demo.status), c.signal);
        expectRestored(demo);
    }
}

TEST(DemoInPty, CrashesAndQuitRestoreAndDieByTheirSignal)
{
    for (int crash : {SIGSEGV, SIGABRT, SIGQUIT}) {
        SCOPED_TRACE(strsignal(crash));
        DemoInPty demo;
        startPastTheBox(demo);
        demo.signal(crash);
        ASSERT_TRUE(demo.waitForExit());
        ASSERT_TRUE(WIFSIGNALED(demo.status)) << "status " << demo.status;
        EXPECT_EQ(WTERMSIG(demo.status), crash);
        expectRestored(demo);
    }
}

TEST(DemoInPty, HangUpEndsTheDemo)
{
    DemoInPty demo;
    startPastTheBox(demo);
    demo.hangUp();
    ASSERT_TRUE(demo.waitForExit()) << "the demo hangs after its terminal went away";
    EXPECT_TRUE(WIFSIGNALED(demo.status) && WTERMSIG(demo.status) == SIGHUP) << "status " << demo.status;
}

TEST(DemoInPty, SmallTerminalIsClippedAndGrowsBack)
{
    DemoInPty demo(24, 60);
    ASSERT_TRUE(demo.started());
    ASSERT_TRUE(demo.waitForBox());
    // Escape dismisses the box and does not end the demo.
    demo.send("\x1b");
    ASSERT_TRUE(demo.pumpUntil([&] { return !demo.screen.shows(CAPTION); }));
    ASSERT_TRUE(demo.waitForFrames(5));
    EXPECT_TRUE(demo.running()) << "Escape on the box ended the demo";

    // The notice stays on the last row: no frame wrapped or scrolled.
    EXPECT_NE(demo.screen.rowText(23).find("80x50"), std::string::npos) << demo.screen.rowText(23);
    for (int row : {0, 11, 22})
        for (int column : {0, 30, 59})
            EXPECT_NE(demo.screen.background(row, column), -1) << "no picture at " << row << ", " << column;

    demo.resize(60, 100);
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.screen.background(49, 79) != -1 && !demo.screen.shows("80x50"); }))
        << "the whole picture did not come back";
    EXPECT_EQ(demo.screen.background(50, 0), -1);
    EXPECT_EQ(demo.screen.background(0, 80), -1);

    demo.send("\x1b");
    ASSERT_TRUE(demo.waitForExit());
    EXPECT_TRUE(WIFEXITED(demo.status) && WEXITSTATUS(demo.status) == 0);
    expectRestored(demo);
}

TEST(DemoInPty, KeysComeFromTheTerminalWhenStdinIsNot)
{
    DemoInPty demo(50, 80, false);
    startPastTheBox(demo);
    demo.send("\x1b");
    ASSERT_TRUE(demo.waitForExit());
    EXPECT_TRUE(WIFEXITED(demo.status) && WEXITSTATUS(demo.status) == 0);
    expectRestored(demo);
}

TEST(DemoInPty, RefusesWhenStdoutIsNotATerminal)
{
    const std::string folder = makeEmptyFolder();
    const std::string outPath = folder + "/out";
    int errPipe[2];
    ASSERT_EQ(pipe(errPipe), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();  // no controlling terminal either
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(errPipe[1], 2);
        close(errPipe[0]);
        execDemo(folder);
    }
    close(errPipe[1]);
    std::string errors;
    char buffer[4096];
    for (ssize_t n; (n = read(errPipe[0], buffer, sizeof buffer)) > 0;) errors.append(buffer, size_t(n));
    close(errPipe[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_EQ(errors, "murl13: the demo needs a terminal (stdout is not a tty)\n");
    FILE* out = std::fopen(outPath.c_str(), "rb");
    ASSERT_NE(out, nullptr);
    std::fseek(out, 0, SEEK_END);
    EXPECT_EQ(std::ftell(out), 0L) << "bytes written to the redirected stdout";
    std::fclose(out);
    unlink(outPath.c_str());
    rmdir(folder.c_str());
}
