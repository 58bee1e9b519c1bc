#include "music/song_path.h"

#include <cstring>

#include <unistd.h>

namespace music {

namespace {

std::string songFolder;

}  // namespace

void setSongFolder(const std::string& folder) { songFolder = folder; }

std::string findSong(const char* fileName)
{
    if (fileName == nullptr) return {};
    if (access(fileName, R_OK) == 0 || std::strchr(fileName, '/') != nullptr || songFolder.empty())
        return fileName;
    std::string installed = songFolder + "/" + fileName;
    return access(installed.c_str(), R_OK) == 0 ? installed : std::string(fileName);
}

}  // namespace music
