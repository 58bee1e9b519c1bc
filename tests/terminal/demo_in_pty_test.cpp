// The real murl13 binary in a pseudo-terminal made here, read back through
// libvterm: what a user sees and what the shell gets back. Catches a terminal
// left raw, on the alternate screen, without a cursor, autowrap or its own
// title after any way out (Escape, every signal that ends a process, Ctrl-C, a
// crash, a hang-up, a terminal that stopped reading, ten times in a row), a
// Ctrl-Z ignored while the terminal does not read, a wrong exit status, a
// demo that ignores or wrongly ends on a key (Escape missed, an arrow key
// taken for Escape, the error box's key ending the demo, keys not read from
// the terminal when stdin is not one), a missing title or error box, a picture
// that breaks a smaller terminal or does not come back when it grows, frames
// faster than asked, sync marks a terminal did not ask for, and escape
// sequences poured into a file, a dumb terminal or a locale of another
// character set, and another library's line before the demo's own.
//
// The demo runs in an empty folder, so its song never loads and the error box
// always appears; with no song it shows the plasma until it is stopped. Every
// wait has a generous deadline and only guards against a hang.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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
constexpr auto GENEROUS_TIMEOUT = std::chrono::seconds(30);
constexpr char CAPTION[] = "Error! Plonk suxx!";
constexpr char TEXT[] = "Failed loading Protracker-Module";

std::string makeEmptyFolder()
{
    char path[] = "/tmp/murl13-pty-XXXXXX";
    return mkdtemp(path) ? path : "/tmp";
}

// Runs the demo as a shell runs a job, in a foreground process group of its
// own with this process as its parent, so that Ctrl-Z can stop it (the kernel
// drops that stop for a group without a parent in its session). This process
// stops, continues and ends as the demo does.
[[noreturn]] void runAsJob(char** argv)
{
    signal(SIGTTOU, SIG_IGN);
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        tcsetpgrp(STDOUT_FILENO, getpid());
        signal(SIGTTOU, SIG_DFL);
        execv(MURL13_BINARY, argv);
        _exit(127);
    }
    setpgid(job, job);
    for (int status; waitpid(job, &status, WUNTRACED) == job;) {
        if (WIFSTOPPED(status)) {
            raise(SIGSTOP);
            kill(-job, SIGCONT);
        } else if (WIFSIGNALED(status)) {
            signal(WTERMSIG(status), SIG_DFL);
            raise(WTERMSIG(status));
        } else {
            _exit(WEXITSTATUS(status));
        }
    }
    _exit(127);
}

// Starts the demo in `folder` in a session of its own with the given standard
// streams and arguments (NAME=value ones first set the environment); `out`
// becomes its controlling terminal when it is one. `asJob`: see runAsJob.
pid_t spawnDemo(const std::string& folder, int in, int out, int err, std::vector<std::string> args = {},
                bool asJob = false)
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    setsid();
    ioctl(out, TIOCSCTTY, 0);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    closefrom(3);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGPIPE}) signal(s, SIG_DFL);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);  // the crash cases leave no core file
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // never a real sound device in tests
    unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");  // nor a window
    setenv("TERM", "xterm-256color", 1);   // whatever the test runner had
    setenv("LC_ALL", "C.UTF-8", 1);
    std::vector<char*> argv{const_cast<char*>("murl13")};
    for (std::string& a : args)
        if (a.find('=') == std::string::npos) argv.push_back(a.data());
        else putenv(a.data());  // NAME=value: the environment, as env(1) takes it
    argv.push_back(nullptr);
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (asJob) runAsJob(argv.data());
    execv(MURL13_BINARY, argv.data());
    _exit(127);
}

// What a terminal answers to the start-up query: the synchronized-output mode
// and the device attributes, like kitty and foot.
constexpr char ANSWERS_SYNC[] = "\x1b[?2026;2$y\x1b[?62;22c";
constexpr char SYNC_BEGIN[] = "\x1b[?2026h";
constexpr char TITLE_PUSH[] = "\x1b[22;0t";
constexpr char TITLE_POP[] = "\x1b[23;0t";

// The demo on a pseudo-terminal of its own, its output fed to `screen`; the
// test answers the demo's query with `answers` as a terminal would.
struct DemoInPty {
    explicit DemoInPty(int rows = 50, int columns = 80, bool stdinIsTerminal = true,
                       std::vector<std::string> args = {}, std::string answers = ANSWERS_SYNC, bool asJob = false)
        : screen(rows, columns), answers(std::move(answers))
    {
        winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
        if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return;
        std::memset(&before, 0, sizeof before);  // padding included: the check compares bytes
        tcgetattr(slave, &before);
        const int devNull = open("/dev/null", O_RDONLY);
        pid = spawnDemo(folder, stdinIsTerminal ? slave : devNull, slave, slave, std::move(args), asJob);
        close(devNull);
    }
    ~DemoInPty()
    {
        if (pid > 0 && !exited) kill(pid, SIGKILL), waitpid(pid, &status, 0);
        close(master), close(slave), rmdir(folder.c_str());
    }

    // Reads what the demo writes until `done` holds or the demo ends.
    bool pumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + GENEROUS_TIMEOUT;
        while (std::chrono::steady_clock::now() < deadline) {
            const bool ended = exited || (exited = waitpid(pid, &status, WNOHANG) == pid);
            pollfd p{master, POLLIN, 0};
            char buffer[65536];
            ssize_t n;
            for (int waitMs = ended ? 0 : 10; master >= 0 && poll(&p, 1, waitMs) > 0; waitMs = 0) {
                if ((n = read(master, buffer, sizeof buffer)) <= 0) break;
                output.append(buffer, size_t(n));
                screen.feed({buffer, size_t(n)});
            }
            if (!answered && output.find("\x1b[c") != std::string::npos) {
                answered = true;
                send(answers);
            }
            if (ended || done()) return done();
        }
        return false;
    }
    bool waitForExit() { return pumpUntil([this] { return exited; }); }
    // Waits for the end without reading anything the demo writes.
    bool waitForExitUnread()
    {
        const auto deadline = std::chrono::steady_clock::now() + GENEROUS_TIMEOUT;
        while (!(exited = waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < deadline)
            usleep(10000);
        return exited;
    }
    // Synchronized frames written after output offset `from`.
    int framesSince(size_t from) const
    {
        int n = 0;
        for (size_t at = from; (at = output.find(SYNC_BEGIN, at)) != std::string::npos; ++at) ++n;
        return n;
    }
    bool waitForBox()
    {
        return pumpUntil([this] { return screen.shows(CAPTION) && screen.shows(TEXT) && screen.shows("[ OK ]"); });
    }
    // Waits for `count` more frames, each begun with the synchronized-output mark.
    bool waitForFrames(int count)
    {
        return pumpUntil([&, from = output.size()] { return framesSince(from) >= count; });
    }
    void send(const std::string& bytes) { EXPECT_EQ(write(master, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    bool running() { return !(exited = exited || waitpid(pid, &status, WNOHANG) == pid); }

    VtermScreen screen;
    std::string output;
    std::string answers;
    bool answered = false;
    std::string folder = makeEmptyFolder();
    termios before{};
    int master = -1, slave = -1, status = 0;
    pid_t pid = -1;
    bool exited = false;
};

// Dismisses the error box with `key`; the demo must go on with its frames.
void dismissBox(DemoInPty& demo, const char* key)
{
    ASSERT_TRUE(demo.waitForBox()) << demo.output.size() << " bytes, no box";
    demo.send(key);
    ASSERT_TRUE(demo.pumpUntil([&] { return !demo.screen.shows(CAPTION); })) << "the key did not dismiss the box";
    ASSERT_TRUE(demo.waitForFrames(3)) << "no frames after the box";
    ASSERT_TRUE(demo.running()) << "the key on the box ended the demo";
}

// The terminal as the demo found it: modes, main screen, cursor, autowrap. The
// cursor and autowrap are read from the bytes: libvterm shows the cursor again
// on leaving the alternate screen, where other terminals do not.
// `screenSeen` false: only the modes, when the terminal was not read to the end.
void expectRestored(DemoInPty& demo, bool screenSeen = true)
{
    termios now;
    std::memset(&now, 0, sizeof now);
    tcgetattr(demo.slave, &now);
    EXPECT_EQ(std::memcmp(&now, &demo.before, sizeof now), 0) << "termios changed";
    if (!screenSeen) return;
    EXPECT_FALSE(demo.screen.altScreen) << "still on the alternate screen";
    for (std::string mode : {"\x1b[?25", "\x1b[?7"}) {
        const size_t on = demo.output.rfind(mode + "h"), off = demo.output.rfind(mode + "l");
        EXPECT_TRUE(on != std::string::npos && on > off) << "not set back on: " << mode.substr(1);
    }
    // The terminal's own title pushed at start and popped on the way out.
    const size_t pop = demo.output.rfind(TITLE_POP);
    EXPECT_TRUE(demo.output.find(TITLE_PUSH) == 0 && pop != std::string::npos && pop > demo.output.rfind("\x1b[?1049l"));
}

}  // namespace

// A session in a terminal smaller than 80 by 50: the title and the box; Escape
// dismisses the box and the demo goes on; the picture clipped above the notice;
// arrow keys go by; the terminal grows and the whole picture comes back; Escape ends it.
TEST(DemoInPty, SmallTerminalSessionFromTheBoxToEscape)
{
    DemoInPty demo(24, 60);
    ASSERT_TRUE(demo.waitForBox());
    EXPECT_EQ(demo.screen.title, "Norq - Murl #13");
    EXPECT_TRUE(demo.screen.altScreen);
    EXPECT_FALSE(demo.screen.cursorVisible);
    ASSERT_NO_FATAL_FAILURE(dismissBox(demo, "\x1b"));
    // The notice stays on the last row: no frame wrapped or scrolled.
    EXPECT_NE(demo.screen.text(23, 24).find("80x50"), std::string::npos) << demo.screen.text(23, 24);
    for (int row : {0, 11, 22})
        for (int column : {0, 30, 59})
            EXPECT_NE(demo.screen.background(row, column), -1) << "no picture at " << row << ", " << column;

    demo.send("\x1b[A\x1bOB\x1b[1;5C");
    ASSERT_TRUE(demo.waitForFrames(5));
    EXPECT_TRUE(demo.running()) << "an arrow key ended the demo";

    winsize bigger{60, 100, 0, 0};
    ioctl(demo.master, TIOCSWINSZ, &bigger);  // the kernel sends SIGWINCH
    demo.screen.resize(60, 100);
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.screen.background(49, 79) != -1 && !demo.screen.shows("80x50"); }))
        << "the whole picture did not come back";
    EXPECT_EQ(demo.screen.background(50, 0), -1);
    EXPECT_EQ(demo.screen.background(0, 80), -1);

    demo.send("\x1b");
    ASSERT_TRUE(demo.waitForExit());
    EXPECT_TRUE(WIFEXITED(demo.status) && WEXITSTATUS(demo.status) == 0) << "status " << demo.status;
    expectRestored(demo);
}

// Ctrl-C is typed with stdin not the terminal: keys must come from the terminal.
// Every signal whose default action ends a process goes through the same way
// out. (A terminal that stopped reading: the tests below.)
TEST(DemoInPty, EveryWayOutRestoresTheTerminalAndEndsByItsSignal)
{
    enum How { KILL, KILL_DURING_BOX, TYPE_CTRL_C, HANG_UP };
    struct Case { int signal; How how; };
    std::vector<Case> cases = {{SIGTERM, KILL}, {SIGHUP, KILL_DURING_BOX}, {SIGINT, TYPE_CTRL_C},
                               {SIGQUIT, KILL}, {SIGSEGV, KILL}, {SIGABRT, KILL}, {SIGHUP, HANG_UP}};
    for (int s : {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPIPE, SIGSYS, SIGTRAP, SIGIO,
                  SIGPWR, SIGSTKFLT, SIGRTMIN, SIGRTMAX})
        cases.push_back({s, KILL});
    for (Case c : cases) {
        SCOPED_TRACE(std::string(c.signal ? strsignal(c.signal) : "Escape") + " way " + std::to_string(c.how));
        DemoInPty demo(50, 80, c.how != TYPE_CTRL_C);
        if (c.how == KILL_DURING_BOX) ASSERT_TRUE(demo.waitForBox());
        else ASSERT_NO_FATAL_FAILURE(dismissBox(demo, "\r"));
        if (c.how == TYPE_CTRL_C) demo.send("\x03");
        if (c.how == HANG_UP) close(demo.master), demo.master = -1;
        if (c.how == KILL || c.how == KILL_DURING_BOX) kill(demo.pid, c.signal);
        ASSERT_TRUE(demo.waitForExit()) << "the demo did not end";
        EXPECT_TRUE(WIFSIGNALED(demo.status) && WTERMSIG(demo.status) == c.signal) << demo.status;
        if (c.how != HANG_UP) expectRestored(demo);  // after a hang-up nothing reads the terminal
    }
}

// The terminal stops reading (its buffer full, the demo's write waiting), then
// the demo is ended by Escape, a stop signal or a crash without the terminal
// reading again. Once it does, the whole way out must be waiting for it:
// modes, main screen, cursor, autowrap, title. Ten in a row, as a race that
// loses the way out one time in three shows up there.
TEST(DemoInPty, TenStalledExitsInARowEachRestoreTheTerminal)
{
    for (int round = 0; round < 2; ++round)
        for (int signal : {0, SIGTERM, SIGINT, SIGQUIT, SIGSEGV}) {
            SCOPED_TRACE(std::string(signal ? strsignal(signal) : "Escape") + " round " + std::to_string(round));
            DemoInPty demo;
            ASSERT_NO_FATAL_FAILURE(dismissBox(demo, "\r"));
            usleep(1000000);  // a second of frames is far more than a terminal's buffer holds
            if (signal) kill(demo.pid, signal);
            else demo.send("\x1b");
            ASSERT_TRUE(demo.waitForExitUnread()) << "the demo did not end";
            ASSERT_TRUE(demo.waitForExit());  // the terminal reads again
            if (signal) EXPECT_TRUE(WIFSIGNALED(demo.status) && WTERMSIG(demo.status) == signal) << demo.status;
            else EXPECT_TRUE(WIFEXITED(demo.status) && WEXITSTATUS(demo.status) == 0) << "status " << demo.status;
            expectRestored(demo);
        }
}

// Ctrl-Z while the terminal does not read: the demo gives up its frame, leaves
// the terminal (the way out waiting for it as above) and stops; continued, it
// draws again, and Escape ends it.
TEST(DemoInPty, CtrlZStopsTheDemoWhileTheTerminalIsStalled)
{
    DemoInPty demo(50, 80, true, {}, ANSWERS_SYNC, true);
    ASSERT_NO_FATAL_FAILURE(dismissBox(demo, "\r"));
    usleep(1000000);
    demo.send("\x1a");
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + GENEROUS_TIMEOUT;
    while (waitpid(demo.pid, &status, WUNTRACED | WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
        usleep(10000);
    ASSERT_TRUE(WIFSTOPPED(status)) << "Ctrl-Z did not stop the demo: " << status;
    demo.pumpUntil([&] { return !demo.screen.altScreen; });
    expectRestored(demo);
    kill(demo.pid, SIGCONT);
    ASSERT_TRUE(demo.waitForFrames(3)) << "no frames after the resume";
    demo.send("\x1b");
    ASSERT_TRUE(demo.waitForExit());
    EXPECT_TRUE(WIFEXITED(demo.status) && WEXITSTATUS(demo.status) == 0) << "status " << demo.status;
    expectRestored(demo);
}

// The terminal is asked at start whether it knows synchronized output; frames
// are wrapped in its marks only when it answers that it does (1 or 2), never
// when it answers 0 or 4, answers only the device attributes, or nothing.
TEST(DemoInPty, SynchronizedOutputOnlyWhereTheTerminalKnowsIt)
{
    struct Case { const char* answers; bool synchronized; };
    for (Case c : {Case{"\x1b[?2026;2$y\x1b[?62;22c", true}, Case{"\x1b[?2026;1$y\x1b[?1;2c", true},
                   Case{"\x1b[?2026;0$y\x1b[?1;2c", false}, Case{"\x1b[?2026;4$y\x1b[?65;1c", false},
                   Case{"\x1b[?1;2c", false}, Case{"", false}}) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.answers)));
        DemoInPty demo(50, 80, true, {}, c.answers);
        ASSERT_TRUE(demo.waitForBox());
        demo.send("\r");
        const size_t before = demo.output.size();
        ASSERT_TRUE(demo.pumpUntil([&] { return demo.output.size() > before + 100000; })) << "no frames";
        demo.send("\x1b");
        ASSERT_TRUE(demo.waitForExit());
        EXPECT_EQ(demo.framesSince(0) > 0, c.synchronized);
        EXPECT_EQ(demo.output.find("\x1b[?2026l") != std::string::npos, c.synchronized) << "an end mark";
        expectRestored(demo);
    }
}

// Paced to 10 a second, at most 17 frames in 1.5 s (one more at each end);
// with --fps 0, as many as the machine can draw, far more than that.
TEST(DemoInPty, FramesPacedToTheRateAndBackToBackAtZero)
{
    for (const char* rate : {"10", "0"}) {
        SCOPED_TRACE(std::string("--fps ") + rate);
        DemoInPty demo(50, 80, true, {"--fps", rate});
        ASSERT_NO_FATAL_FAILURE(dismissBox(demo, "\r"));
        const size_t from = demo.output.size();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
        demo.pumpUntil([&] { return std::chrono::steady_clock::now() >= until; });
        EXPECT_EQ(demo.framesSince(from) <= 17, rate[0] != '0') << demo.framesSince(from) << " frames";
    }
}

TEST(DemoInPty, RefusesWithoutATerminalThatCanShowIt)
{
    const std::string folder = makeEmptyFolder();
    FILE* out = std::tmpfile();
    int errors[2];
    ASSERT_TRUE(out != nullptr && pipe(errors) == 0);
    const int in = open("/dev/null", O_RDONLY);
    const pid_t pid = spawnDemo(folder, in, fileno(out), errors[1]);
    close(in), close(errors[1]);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + GENEROUS_TIMEOUT;
    for (; waitpid(pid, &status, WNOHANG) == 0; usleep(10000))
        if (std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);  // it ran: the status says so
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    char message[256];
    const ssize_t length = read(errors[0], message, sizeof message);
    EXPECT_EQ(std::string(message, length > 0 ? size_t(length) : 0),
              "murl13: the demo needs a terminal (stdout is not a tty)\n");
    EXPECT_EQ(lseek(fileno(out), 0, SEEK_END), 0) << "bytes written to the redirected stdout";
    std::fclose(out), close(errors[0]), rmdir(folder.c_str());

    // A terminal that says it cannot show the picture gets one line naming the
    // window, no escape sequence: TERM=dumb, or a locale that names another
    // character set, installed or not.
    for (const char* setting : {"TERM=dumb", "LC_ALL=zz_ZZ.ISO-8859-15@euro"}) {
        DemoInPty refused(50, 80, true, {setting});
        ASSERT_TRUE(refused.waitForExit()) << setting;
        EXPECT_TRUE(WIFEXITED(refused.status) && WEXITSTATUS(refused.status) == 1) << setting << " " << refused.status;
        EXPECT_TRUE(refused.output.find("murl13 --window") != std::string::npos &&
                    refused.output.find('\x1b') == std::string::npos) << setting << ": " << refused.output;
    }
    // No display for the window: the demo's one line, no other library's.
    DemoInPty window(50, 80, true, {"--window", "XDG_RUNTIME_DIR="});
    ASSERT_TRUE(window.waitForExit());
    EXPECT_TRUE(WIFEXITED(window.status) && WEXITSTATUS(window.status) == 1) << window.status;
    EXPECT_EQ(window.output, "murl13: no window: no display to show it on\r\n");
}
