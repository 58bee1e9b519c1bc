#include "tool/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

std::optional<double> parseDouble(const char* text)
{
    if (text == nullptr || *text == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<float> parseFloat(const char* text)
{
    if (text == nullptr || *text == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    // strtof rounds the decimal straight to single precision, not via double.
    const float value = std::strtof(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> parseInteger(const char* text, long long lowest, long long highest)
{
    if (text == nullptr || *text == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || value < lowest || value > highest) return std::nullopt;
    return value;
}
