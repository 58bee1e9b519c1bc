// How music people make balances its energy: 40 XM modules from Debian's
// game packages, each rendered whole with libxmp (linear interpolation,
// 44.1 kHz), summed to mono and split into third-octave bands the way
// spectrum::balance does. Per band, the 10th percentile, median and 90th
// percentile of the band's share of the energy above 20 Hz, in dB; and the
// same percentiles of the spectral centroid. A mix whose bands stay between
// the 10th and 90th percentiles sounds neither thin nor muddy, neither dull
// nor fizzy.
#pragma once

#include "song/spectrum.h"

namespace reference {

struct Range {
    double p10, median, p90;
};

constexpr Range BAND_DB[spectrum::THIRD_OCTAVES] = {
    {-32.0, -20.0, -6.6},  {-29.3, -17.0, -9.2},  {-21.3, -11.6, -8.0},  {-16.0, -9.0, -5.8},   // 31 .. 63 Hz
    {-14.4, -10.3, -7.5},  {-14.7, -11.4, -8.7},  {-15.4, -12.0, -9.1},  {-15.7, -12.5, -9.7},  // 80 .. 160
    {-20.1, -13.0, -9.8},  {-18.0, -13.4, -9.7},  {-20.2, -16.3, -12.6}, {-21.3, -17.0, -11.8}, // 200 .. 400
    {-21.2, -16.7, -12.0}, {-26.8, -19.0, -13.9}, {-24.2, -18.7, -15.5}, {-24.3, -19.0, -14.1}, // 500 .. 1000
    {-26.5, -19.9, -16.5}, {-25.1, -20.7, -16.3}, {-25.7, -21.5, -17.3}, {-29.1, -22.7, -18.2}, // 1250 .. 2500
    {-28.0, -23.3, -18.0}, {-29.7, -24.1, -18.2}, {-31.6, -24.2, -19.0}, {-32.1, -24.0, -19.4}, // 3150 .. 6300
    {-34.4, -24.5, -19.5}, {-38.8, -26.7, -20.9}, {-43.6, -29.4, -21.3}, {-48.3, -32.8, -23.3}, // 8000 .. 16000
};

constexpr Range CENTROID_HZ = {197, 371, 969};

// The arrangement's restlessness in 53 modules from Debian's game packages
// (their first 300 s): measure::highBandFlux and measure::onsetsPerSecond.
constexpr Range HIGH_BAND_FLUX = {0.0084, 0.0377, 0.0851};
constexpr Range ONSETS_PER_SECOND = {3.33, 5.25, 8.36};

// How far a band lies outside the references' 10th to 90th percentile, in
// dB; 0 inside.
inline double outside(int band, double db)
{
    const Range& r = BAND_DB[band];
    return db < r.p10 ? r.p10 - db : db > r.p90 ? db - r.p90 : 0.0;
}

}  // namespace reference
