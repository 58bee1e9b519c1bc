// Placeholder console host until the terminal host lands: no picture, no keys.
#include <chrono>
#include <cstdio>

#include "runtime/console_host.h"

void openConsole() {}
uint32_t clockMs()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
void presentFrame() {}
uint16_t escapeHeld() { return 0; }
void showErrorBox(const char* text, const char* caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }
