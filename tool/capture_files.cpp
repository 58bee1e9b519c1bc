// The capture's files: paths resolved, temporaries beside their targets, the
// rename at the end, and the signal handler that removes what is unfinished.
// The handler reads only the fixed table of temporaries below and calls only
// unlinkat, write and raise (all async-signal-safe). The table changes with the
// catchable signals blocked in the calling thread; temporaries are made before
// any other thread starts, so a handler never sees a half-made entry.
//
// Each temporary is made, renamed and removed relative to its folder's open
// descriptor, and written through /proc/self/fd/N (its own open descriptor),
// so neither depends on the folder's path staying what it was.
#include "tool/capture_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

constexpr int MAX_TEMPORARIES = 2;  // the video and the cells
constexpr int MAX_LINKS = 40;       // as the kernel follows at most
constexpr size_t MAX_NAME_KEPT = 200;  // of the target's name, in the temporary's

constexpr int NAME_ATTEMPTS = 100;    // random names tried before giving up
constexpr int CAP_FOWNER_BIT = 3;      // the capability to act as any file's owner

// A temporary: its folder and itself held open, and its name in the folder.
struct Temporary {
    int folder;
    int descriptor;
    char name[NAME_MAX + 1];
};
Temporary temporaries[MAX_TEMPORARIES];
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
        if (temporaryLive[i]) unlinkat(temporaries[i].folder, temporaries[i].name, 0);
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

// True when this process may remove other users' files from a sticky folder
// (root, or a process given that capability).
bool actsAsAnyOwner()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("CapEff:", 0) == 0) return (std::strtoull(line.c_str() + 7, nullptr, 16) >> CAP_FOWNER_BIT) & 1;
    return geteuid() == 0;
}

// Why the folder would not let the file `info` in it be replaced, or null.
const char* replacementRefused(int folder, const struct stat& info)
{
    struct stat folderInfo;
    if (fstat(folder, &folderInfo) != 0) return std::strerror(errno);
    if (folderInfo.st_dev != info.st_dev) return "another file system is mounted on it, so it cannot be replaced";
    if ((folderInfo.st_mode & S_ISVTX) && info.st_uid != geteuid() && folderInfo.st_uid != geteuid() &&
        !actsAsAnyOwner())
        return "it belongs to another user, in a folder where only a file's owner may replace it";
    return nullptr;
}

// Creates a new hidden file ".NAME.XXXXXX" in the folder; -1 with errno on failure.
int createTemporary(int folder, const std::string& targetName, char (&name)[NAME_MAX + 1])
{
    static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    uint64_t seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^ uint64_t(getpid()) << 32;
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        char suffix[7];
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            suffix[i] = LETTERS[(seed >> 33) % (sizeof LETTERS - 1)];
        }
        suffix[6] = '\0';
        std::snprintf(name, sizeof name, ".%s.%s", targetName.substr(0, MAX_NAME_KEPT).c_str(), suffix);
        const int fd = openat(folder, name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

void closeTemporary(int slot)
{
    close(temporaries[slot].descriptor);
    close(temporaries[slot].folder);
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
    if (!exists && errno == ELOOP) {
        error = file.named + ": " + std::strerror(ELOOP);
        return false;
    }
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
    int slot = 0;
    while (slot < MAX_TEMPORARIES && temporaryLive[slot]) ++slot;
    if (slot == MAX_TEMPORARIES) {
        error = file.named + ": too many files";
        return false;
    }
    const int folder = open(folderOf(file.target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const char* refused = folder < 0 ? std::strerror(errno) : exists ? replacementRefused(folder, info) : nullptr;
    if (refused != nullptr) {
        error = file.named + ": " + refused;
        if (folder >= 0) close(folder);
        return false;
    }
    int fd;
    {
        SignalsHeld held;
        Temporary& temporary = temporaries[slot];
        temporary.folder = folder;
        fd = temporary.descriptor = createTemporary(folder, nameOf(file.target), temporary.name);
        if (fd >= 0) temporaryLive[slot] = 1;
    }
    if (fd < 0) {
        error = file.named + ": " + std::strerror(errno);
        close(folder);
        return false;
    }
    // The finished file gets the modes (and owner, where allowed) of the one
    // it replaces, else those of a newly created file.
    if (fchmod(fd, exists ? info.st_mode & 07777 : newFileMode()) != 0 ||
        (exists && fchown(fd, info.st_uid, info.st_gid) != 0)) {
        // Only the modes are lost.
    }
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(fd);
    file.writing = access(byDescriptor.c_str(), F_OK) == 0 ? byDescriptor
                                                            : folderOf(file.target) + "/" + temporaries[slot].name;
    file.temporary = true;
    file.slot = slot;
    return true;
}

bool commitCaptureFile(CaptureFile& file, std::string& error)
{
    if (!file.temporary) return true;
    const Temporary& temporary = temporaries[file.slot];
    int status;
    {
        SignalsHeld held;
        status = renameat(temporary.folder, temporary.name, temporary.folder, nameOf(file.target).c_str());
        if (status == 0) temporaryLive[file.slot] = 0;
    }
    if (status != 0) {
        error = file.named + ": " + std::strerror(errno);
        discardCaptureFile(file);
        return false;
    }
    closeTemporary(file.slot);
    file.temporary = false;
    file.writing = file.target;
    return true;
}

void discardCaptureFile(CaptureFile& file)
{
    if (!file.temporary) return;
    {
        SignalsHeld held;
        unlinkat(temporaries[file.slot].folder, temporaries[file.slot].name, 0);
        temporaryLive[file.slot] = 0;
    }
    closeTemporary(file.slot);
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
