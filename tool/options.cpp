#include "tool/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tool/tool.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// [+-]digits, or with `fraction` [+-](digits[.digits*]|.digits)([eE][+-]digits)?
bool isDecimal(const char* text, bool fraction)
{
    if (text == nullptr) return false;
    const char* c = text;
    if (*c == '+' || *c == '-') ++c;
    int digits = 0;
    for (; isDigit(*c); ++c) ++digits;
    if (fraction && *c == '.')
        for (++c; isDigit(*c); ++c) ++digits;
    if (digits == 0) return false;
    if (fraction && (*c == 'e' || *c == 'E')) {
        ++c;
        if (*c == '+' || *c == '-') ++c;
        if (!isDigit(*c)) return false;
        while (isDigit(*c)) ++c;
    }
    return *c == '\0';
}

// The length of the UTF-8 character at `s` when it is a printable one (not a
// C1 control), else 0.
int printableUtf8Length(const unsigned char* s)
{
    int length = 0;
    unsigned codePoint = 0;
    if (s[0] >= 0xC2 && s[0] <= 0xDF) length = 2, codePoint = s[0] & 0x1Fu;
    else if (s[0] >= 0xE0 && s[0] <= 0xEF) length = 3, codePoint = s[0] & 0x0Fu;
    else if (s[0] >= 0xF0 && s[0] <= 0xF4) length = 4, codePoint = s[0] & 0x07u;
    else return 0;
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        codePoint = codePoint << 6 | (s[i] & 0x3Fu);
    }
    const unsigned shortest[] = {0, 0, 0xA0, 0x800, 0x10000};  // C1 controls and overlong forms are refused
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint >= shortest[length] && codePoint <= 0x10FFFF && !surrogate ? length : 0;
}

}  // namespace

std::optional<double> parseDouble(const char* text)
{
    if (!isDecimal(text, true)) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<float> parseFloat(const char* text)
{
    if (!isDecimal(text, true)) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    // strtof rounds the decimal straight to single precision, not via double.
    const float value = std::strtof(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> parseInteger(const char* text, long long lowest, long long highest)
{
    if (!isDecimal(text, false)) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || value < lowest || value > highest) return std::nullopt;
    return value;
}

bool isOneOf(const char* option, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (std::strcmp(option, name) == 0) return true;
    return false;
}

std::string quoted(const char* text)
{
    std::string out = "'";
    const auto* s = reinterpret_cast<const unsigned char*>(text != nullptr ? text : "");
    while (*s != 0) {
        const int length = *s < 0x80 ? 1 : printableUtf8Length(s);
        if (*s == '\n') {
            out += "\\n";
        } else if (*s == '\t') {
            out += "\\t";
        } else if (length == 0 || *s < 0x20 || *s == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(*s));
            out += hex;
        } else {
            out.append(reinterpret_cast<const char*>(s), size_t(length));
            s += length;
            continue;
        }
        ++s;
    }
    return out + "'";
}

int usageError(const char* command, const char* usage, const char* message, const char* value)
{
    if (value != nullptr) std::fprintf(stderr, "murl13-tool %s: %s: %s\n", command, message, quoted(value).c_str());
    else std::fprintf(stderr, "murl13-tool %s: %s\n", command, message);
    std::fputs(usage, stderr);
    return USAGE_ERROR;
}

int printText(const char* text)
{
    std::fputs(text, stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "murl13-tool: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
}
