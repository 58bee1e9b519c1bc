// The workbench's command lines, read one way in every command: numbers are
// plain decimals (an optional sign, digits, a fraction, an exponent; no
// spaces, no hexadecimal, no "inf"), each within its range, nothing silently
// clamped; an option the command does not know is named as unknown; "--" ends
// the options; names from the command line are escaped when a message shows them.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

std::optional<double> parseDouble(const char* text);  // finite values only
std::optional<float> parseFloat(const char* text);    // finite, rounded once from the decimal
std::optional<long long> parseInteger(const char* text, long long lowest, long long highest);

// True when `option` is one of `names`.
bool isOneOf(const char* option, std::initializer_list<const char*> names);

// `text` in single quotes as a message shows it: control characters and bytes
// that are no UTF-8 character written as \n, \t or \xHH, so that a file name
// cannot move the cursor or clear the screen. Backslashes stay as they are
// (Windows paths).
std::string quoted(const char* text);

// "murl13-tool COMMAND: MESSAGE: 'VALUE'" (VALUE quoted; left out when null),
// then the command's usage, on stderr; returns USAGE_ERROR.
int usageError(const char* command, const char* usage, const char* message, const char* value);

// Writes a help or version text to stdout: 0, or 1 after saying on stderr
// that it could not be written (a full disk, a closed pipe).
int printText(const char* text);
