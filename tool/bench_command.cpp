// Placeholder until this command lands.
#include "tool/tool.h"

#include <cstdio>

int toolBench(int, char**)
{
    std::fputs("murl13-tool: 'bench' is not built yet\n", stderr);
    return USAGE_ERROR;
}
