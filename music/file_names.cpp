#include "music/file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <string>
#endif

namespace music {

#ifdef _WIN32

namespace {

std::wstring wide(const char* utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring out(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), length);
    out.resize(size_t(length - 1));
    return out;
}

}  // namespace

bool fileReadable(const char* path) { return _waccess(wide(path).c_str(), 4) == 0; }

bool fileExists(const char* path) { return _waccess(wide(path).c_str(), 0) == 0; }

// Windows has no opening that cannot block: a path that is not a regular file
// (CON, a pipe) is turned away before it is opened.
int openRegularFile(const char* path)
{
    const std::wstring name = wide(path);
    struct _stat64 info;
    if (_wstat64(name.c_str(), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return -1;
    return _wopen(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

std::FILE* openFile(const char* path, const char* mode) { return _wfopen(wide(path).c_str(), wide(mode).c_str()); }

#else

bool fileReadable(const char* path) { return access(path, R_OK) == 0; }

bool fileExists(const char* path) { return access(path, F_OK) == 0; }

int openRegularFile(const char* path) { return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }

std::FILE* openFile(const char* path, const char* mode) { return std::fopen(path, mode); }

#endif

}  // namespace music
