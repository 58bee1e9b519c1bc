#include "tool/song_file.h"

#include <vector>

#include "music/file_names.h"
#include "music/song_path.h"
#include "tool/options.h"

std::string songFile(const char* name) { return music::findSong(name); }

std::string songLoadFailure(const char* name)
{
    const std::string path = music::findSong(name);
    const std::vector<std::string> folders = music::songSearchFolders(name);
    if (music::fileExists(path.c_str()) || folders.empty())
        return "cannot load the song " + quoted(path.c_str()) + ": missing, unreadable or not a complete XM module";
    std::string message = "cannot load the song " + quoted(name) + ": it is not in " + quoted(folders[0].c_str());
    for (size_t i = 1; i < folders.size(); ++i) message += " nor in " + quoted(folders[i].c_str());
    return message;
}
