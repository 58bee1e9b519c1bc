// Placeholder until this command lands.
#include "tool/tool.h"

#include <cstdio>

int toolArt(int, char**)
{
    std::fputs("murl13-tool: 'art' is not built yet\n", stderr);
    return USAGE_ERROR;
}
