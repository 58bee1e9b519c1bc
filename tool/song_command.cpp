// Placeholder until this command lands.
#include "tool/tool.h"

#include <cstdio>

int toolSong(int, char**)
{
    std::fputs("murl13-tool: 'song' is not built yet\n", stderr);
    return USAGE_ERROR;
}
