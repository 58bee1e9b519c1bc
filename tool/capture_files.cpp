// The capture's files: paths resolved, temporaries beside their targets, the
// rename at the end, and the signal handler that removes what is unfinished.
// The handler reads only the fixed table of temporaries below and calls only
// unlink, write and raise (all async-signal-safe). The table changes with the
// catchable signals blocked in the calling thread; temporaries are made before
// any other thread starts, so a handler never sees a half-made entry.
#include "tool/capture_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

constexpr int MAX_TEMPORARIES = 2;  // the video and the cells
constexpr int MAX_LINKS = 40;       // as the kernel follows at most
constexpr size_t MAX_NAME_KEPT = 200;  // of the target's name, in the temporary's

char temporaries[MAX_TEMPORARIES][PATH_MAX];
volatile sig_atomic_t temporaryLive[MAX_TEMPORARIES];
const char* volatile endingNote = nullptr;

// Every signal whose default action ends the process and that can be caught.
// (glibc keeps the first real-time signals for itself; SIGRTMIN is above them.)
constexpr int ENDING_SIGNALS[] = {
    SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,  SIGFPE,    SIGUSR1, SIGSEGV, SIGUSR2,
    SIGPIPE, SIGALRM, SIGTERM,   SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

sigset_t endingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : ENDING_SIGNALS) sigaddset(&set, signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&set, signal);
    return set;
}

// Holds the ending signals off this thread while the table changes.
struct SignalsHeld {
    sigset_t before;
    SignalsHeld()
    {
        const sigset_t set = endingSignals();
        pthread_sigmask(SIG_BLOCK, &set, &before);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
};

void onEndingSignal(int signal)
{
    for (int i = 0; i < MAX_TEMPORARIES; ++i)
        if (temporaryLive[i]) unlink(temporaries[i]);
    if (const char* note = endingNote) {
        const ssize_t ignored = write(STDERR_FILENO, note, std::strlen(note));
        (void)ignored;
    }
    // Installed with SA_RESETHAND: raised again, the signal takes its default
    // action at once (a fault does on return, too).
    raise(signal);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The path with its links resolved: the real path of a file that exists, else
// the real path of its folder and its name, a dangling link followed to where
// it points. Unchanged when not even the folder exists.
std::string resolvedPath(const std::string& path, int links = 0)
{
    char real[PATH_MAX];
    if (realpath(path.c_str(), real)) return real;
    struct stat info;
    if (links < MAX_LINKS && lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char to[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), to, sizeof to - 1);
        if (length > 0) {
            const std::string link(to, size_t(length));
            return resolvedPath(link[0] == '/' ? link : folderOf(path) + "/" + link, links + 1);
        }
    }
    if (!realpath(folderOf(path).c_str(), real)) return path;
    const std::string folder = real;
    return (folder == "/" ? "" : folder) + "/" + nameOf(path);
}

bool samePath(const char* a, const char* b)
{
    struct stat sa, sb;
    if (stat(a, &sa) == 0 && stat(b, &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return resolvedPath(a) == resolvedPath(b);
}

mode_t newFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string sameFileProblem(const char* song, const char* out, const char* cells)
{
    if (samePath(out, song)) return std::string("the output '") + out + "' is the song";
    if (cells && samePath(cells, song)) return std::string("the cells file '") + cells + "' is the song";
    if (cells && samePath(cells, out)) return std::string("the cells file '") + cells + "' is the output";
    return {};
}

bool prepareCaptureFile(const char* path, bool seekable, CaptureFile& file, std::string& error)
{
    file = CaptureFile{};
    file.named = path;
    file.target = resolvedPath(path);
    struct stat info;
    const bool exists = stat(file.target.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        error = file.named + ": " + std::strerror(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or a FIFO: written to as it is, and left there whatever happens.
        if (seekable && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))) {
            error = file.named + ": this kind of file is finished by going back to its start, which a pipe cannot do";
            return false;
        }
        file.writing = file.target;
        return true;
    }
    if (exists && access(file.target.c_str(), W_OK) != 0) {
        error = file.named + ": " + std::strerror(errno);
        return false;
    }
    const std::string pattern = folderOf(file.target) + "/." + nameOf(file.target).substr(0, MAX_NAME_KEPT) + ".XXXXXX";
    if (pattern.size() >= PATH_MAX) {
        error = file.named + ": " + std::strerror(ENAMETOOLONG);
        return false;
    }
    int slot = 0;
    while (slot < MAX_TEMPORARIES && temporaryLive[slot]) ++slot;
    if (slot == MAX_TEMPORARIES) {
        error = file.named + ": too many files";
        return false;
    }
    int fd;
    {
        SignalsHeld held;
        std::memcpy(temporaries[slot], pattern.c_str(), pattern.size() + 1);
        fd = mkostemp(temporaries[slot], O_CLOEXEC);
        if (fd >= 0) temporaryLive[slot] = 1;
    }
    if (fd < 0) {
        error = file.named + ": " + std::strerror(errno);
        return false;
    }
    // The finished file gets the modes (and owner, where allowed) of the one
    // it replaces, else those of a newly created file.
    if (fchmod(fd, exists ? info.st_mode & 07777 : newFileMode()) != 0 ||
        (exists && fchown(fd, info.st_uid, info.st_gid) != 0)) {
        // Only the modes are lost.
    }
    close(fd);
    file.writing = temporaries[slot];
    file.temporary = true;
    return true;
}

bool commitCaptureFile(CaptureFile& file, std::string& error)
{
    if (!file.temporary) return true;
    int status;
    {
        SignalsHeld held;
        status = rename(file.writing.c_str(), file.target.c_str());
        if (status == 0)
            for (int i = 0; i < MAX_TEMPORARIES; ++i)
                if (file.writing == temporaries[i]) temporaryLive[i] = 0;
    }
    if (status != 0) {
        error = file.named + ": " + std::strerror(errno);
        discardCaptureFile(file);
        return false;
    }
    file.temporary = false;
    file.writing = file.target;
    return true;
}

void discardCaptureFile(CaptureFile& file)
{
    if (!file.temporary) return;
    SignalsHeld held;
    unlink(file.writing.c_str());
    for (int i = 0; i < MAX_TEMPORARIES; ++i)
        if (file.writing == temporaries[i]) temporaryLive[i] = 0;
    file.temporary = false;
}

void removeTemporariesOnEndingSignals()
{
    struct sigaction action {};
    action.sa_handler = onEndingSignal;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    const sigset_t set = endingSignals();
    for (int signal = 1; signal <= SIGRTMAX; ++signal) {
        if (sigismember(&set, signal) != 1) continue;
        struct sigaction before {};
        // One ignored by whoever started us (nohup) stays ignored.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

void setEndingSignalNote(const char* note) { endingNote = note; }

std::string inUserTerms(std::string message, const CaptureFile& file)
{
    if (!file.temporary || file.writing.empty()) return message;
    for (size_t at; (at = message.find(file.writing)) != std::string::npos;)
        message.replace(at, file.writing.size(), file.named);
    return message;
}
