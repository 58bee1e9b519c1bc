#include "music/song_path.h"

#include <cstring>

#include "music/file_names.h"

namespace music {

namespace {

std::string songFolder;

}  // namespace

void setSongFolder(const std::string& folder) { songFolder = folder; }

std::string findSong(const char* fileName)
{
    if (fileName == nullptr) return {};
    if (fileReadable(fileName) || std::strchr(fileName, '/') != nullptr || songFolder.empty())
        return fileName;
    std::string installed = songFolder + "/" + fileName;
    return fileReadable(installed.c_str()) ? installed : std::string(fileName);
}

}  // namespace music
