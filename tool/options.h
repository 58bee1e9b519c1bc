// Strict parsing of command-line values: the whole text must be a number of
// the type asked for, within the range given; nothing is silently clamped.
#pragma once

#include <optional>

std::optional<double> parseDouble(const char* text);  // finite values only
std::optional<float> parseFloat(const char* text);    // finite, rounded once from the decimal
std::optional<long long> parseInteger(const char* text, long long lowest, long long highest);
