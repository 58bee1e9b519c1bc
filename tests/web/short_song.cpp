// Writes a song that reaches order 39 in about five seconds (40 orders of two
// rows at speed 3), with a note on every order, for the page's test of the
// show's end: web_short_song FILE
#include <cstdio>

#include "song/xm_writer.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: web_short_song FILE\n", stderr);
        return 2;
    }
    constexpr int ORDERS = 40;
    xm::Module module;
    module.channels = 2;
    module.speed = 3;
    for (int order = 0; order < ORDERS; ++order) {
        module.orders.push_back(uint8_t(order));
        module.patterns.emplace_back(2, module.channels);
        module.patterns.back().at(0, 0).note = xm::NOTE_C4;
        module.patterns.back().at(0, 0).instrument = 1;
    }
    xm::Sample square;
    square.sixteenBit = false;
    for (int i = 0; i < 32; i++) square.data.push_back(i < 16 ? 40 : -40);
    square.loop = xm::Loop::Forward;
    square.loopLength = 32;
    module.instruments.resize(1);
    module.instruments[0].samples = {square};
    return xm::saveModule(module, argv[1]) ? 0 : 1;
}
