#include "song/measure/arrangement.h"

#include <cstdlib>

namespace measure {
namespace {

bool isVolumeSlide(const xm::Cell& c)
{
    // The volume column's slides down and up and its fine slides down and up.
    const bool column = c.volume >= xm::VOLUME_SLIDE_DOWN && c.volume < xm::VOLUME_FINE_UP + 0x10;
    const bool slide = c.effect == xm::FX_VOLUME_SLIDE || c.effect == xm::FX_TONE_PORTA_VOLUME_SLIDE ||
                       c.effect == xm::FX_VIBRATO_VOLUME_SLIDE;
    const int extended = c.param & 0xF0;
    const bool fine = c.effect == xm::FX_EXTENDED && (extended == xm::EX_FINE_VOLUME_UP || extended == xm::EX_FINE_VOLUME_DOWN);
    return column || (slide && c.param != 0) || fine;
}

int delayOf(const xm::Cell& c)
{
    return c.effect == xm::FX_EXTENDED && (c.param & 0xF0) == xm::EX_NOTE_DELAY ? c.param & 0xF : 0;
}

}  // namespace

std::vector<Note> notes(const xm::Module& m)
{
    std::vector<Note> out;
    std::vector<int> current(size_t(m.channels), 0);
    for (size_t o = 0; o < m.orders.size(); ++o) {
        const xm::Pattern& p = m.patterns.at(m.orders[o]);
        for (int row = 0; row < p.rows; ++row)
            for (int ch = 0; ch < p.channels; ++ch) {
                const xm::Cell& c = p.at(row, ch);
                if (c.instrument) current[size_t(ch)] = c.instrument;
                if (c.note < 1 || c.note > xm::NOTE_COUNT) continue;
                int volume = c.volume >= xm::VOLUME_SET && c.volume <= xm::VOLUME_SET + 64 ? c.volume - xm::VOLUME_SET : -1;
                bool glide = c.effect == xm::FX_TONE_PORTA || c.effect == xm::FX_TONE_PORTA_VOLUME_SLIDE || c.volume >= xm::VOLUME_TONE_PORTA;
                out.push_back({int(o), row, ch, current[size_t(ch)], c.note, volume, delayOf(c), glide, c.effect, c.param});
            }
    }
    return out;
}

Expression expression(const xm::Module& m)
{
    Expression e;
    long cells = 0, slideCells = 0, rows = 0, slideRows = 0;
    for (uint8_t index : m.orders) {
        const xm::Pattern& p = m.patterns.at(index);
        for (int row = 0; row < p.rows; ++row) {
            bool slide = false;
            for (int ch = 0; ch < p.channels; ++ch) {
                const xm::Cell& c = p.at(row, ch);
                if (c.effect != 0 || c.param != 0) {
                    e.commands.insert(c.effect);
                    e.pairs.insert({c.effect, c.param});
                }
                slideCells += isVolumeSlide(c);
                slide = slide || isVolumeSlide(c);
            }
            cells += p.channels;
            ++rows;
            slideRows += slide;
        }
    }
    long struck = 0, delayed = 0;
    for (const Note& n : notes(m))
        if (!n.glide) {
            ++struck;
            delayed += n.delay > 0;
        }
    e.slideCells = cells ? double(slideCells) / double(cells) : 0;
    e.slideRows = rows ? double(slideRows) / double(rows) : 0;
    e.delayedNotes = struck ? double(delayed) / double(struck) : 0;
    return e;
}

Line line(const xm::Module& m, int channel)
{
    Line l;
    int previous = 0, steps = 0, repeated = 0, skips = 0, odd = 0;
    for (const Note& n : notes(m)) {
        if (n.channel != channel) continue;
        ++l.notes;
        odd += n.row % 2;
        if (previous) {
            int step = std::abs(n.pitch - previous);
            ++steps;
            repeated += step == 0;
            skips += step >= 3 && step <= 5;
        }
        previous = n.pitch;
    }
    l.repeated = steps ? double(repeated) / steps : 0;
    l.skips = steps ? double(skips) / steps : 0;
    l.oddSixteenths = l.notes ? double(odd) / l.notes : 0;
    return l;
}

int nearRepeats(const xm::Module& m, int cells)
{
    int repeats = 0;
    for (size_t o = 1; o < m.orders.size(); ++o) {
        const xm::Pattern& p = m.patterns.at(m.orders[o]);
        bool near = false;
        for (size_t e = 0; e < o && !near; ++e) {
            const xm::Pattern& q = m.patterns.at(m.orders[e]);
            if (q.rows != p.rows || q.channels != p.channels) continue;
            int differ = 0;
            for (size_t i = 0; i < p.cells.size() && differ <= cells; ++i) differ += !(p.cells[i] == q.cells[i]);
            near = differ <= cells;
        }
        repeats += near;
    }
    return repeats;
}

}  // namespace measure
