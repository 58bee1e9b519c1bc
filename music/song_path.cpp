#include "music/song_path.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "music/file_names.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace music {

namespace {

std::string songFolder;

#ifdef _WIN32

std::string programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut short: a longer path
    }
    path.resize(path.find_last_of(L"\\/") + 1);
    // File names are UTF-8 on every system (file_names.h).
    const int size = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), int(path.size()), nullptr, 0, nullptr, nullptr);
    std::string folder(size_t(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, path.c_str(), int(path.size()), folder.data(), size, nullptr, nullptr);
    return folder;
}

#else

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string binary(path, size_t(length));
    return binary.substr(0, binary.rfind('/') + 1);
}

#endif

// For a message: the path made absolute, with no "." or "..", resolved as far
// as it exists.
std::string absolute(const std::string& path)
{
    std::error_code error;
    const std::u8string name(path.begin(), path.end());  // UTF-8 on every system
    const std::u8string canonical = std::filesystem::weakly_canonical(std::filesystem::path(name), error).u8string();
    if (error) return path;
    std::string full(canonical.begin(), canonical.end());
    while (full.size() > 1 && (full.back() == '/' || full.back() == '\\')) full.pop_back();
    return full;
}

// True when the name has a folder of its own.
bool namesFolder(const char* fileName)
{
#ifdef _WIN32
    return std::strpbrk(fileName, "/\\:") != nullptr;
#else
    return std::strchr(fileName, '/') != nullptr;
#endif
}

}  // namespace

void setSongFolder(const std::string& folder) { songFolder = folder; }

std::string installedSongFolder(const char* fromProgram)
{
    const std::string folder = programFolder();
    return folder.empty() ? folder : folder + fromProgram;
}

std::string findSong(const char* fileName)
{
    if (fileName == nullptr) return {};
    if (fileReadable(fileName) || namesFolder(fileName) || songFolder.empty())
        return fileName;
    std::string installed = songFolder + "/" + fileName;
    return fileReadable(installed.c_str()) ? installed : std::string(fileName);
}

std::vector<std::string> songSearchFolders(const char* fileName)
{
    if (fileName == nullptr || namesFolder(fileName)) return {};
    std::vector<std::string> folders = {absolute(".")};
    if (!songFolder.empty()) folders.push_back(absolute(songFolder));
    return folders;
}

}  // namespace music
