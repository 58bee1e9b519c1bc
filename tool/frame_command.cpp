// Placeholder until the frame command lands.
#include "tool/tool.h"

int toolFrame(int, char**) { return USAGE_ERROR; }
