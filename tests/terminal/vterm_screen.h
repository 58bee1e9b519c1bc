// A terminal emulator for the tests: libvterm parses the bytes the demo writes
// into cells with characters and colours, and records the title, the alternate
// screen and the cursor's visibility.
#pragma once

#include <cstdint>
#include <string>

struct VTerm;
struct VTermScreen;

class VtermScreen {
public:
    VtermScreen(int rows, int columns);
    ~VtermScreen();
    VtermScreen(const VtermScreen&) = delete;
    VtermScreen& operator=(const VtermScreen&) = delete;

    void feed(const std::string& bytes);
    void feed(const char* bytes, size_t size);
    void resize(int rows, int columns);

    // The character shown at (row, column); an erased cell reads as a space.
    uint32_t character(int row, int column) const;
    // The palette index of the colours, -1 for the terminal's default colour.
    int foreground(int row, int column) const;
    int background(int row, int column) const;
    // One row as UTF-8.
    std::string rowText(int row) const;
    // Whether any row holds `text`.
    bool shows(const std::string& text) const;

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    std::string title;
    bool altScreen = false;
    bool cursorVisible = true;
    int scrolls = 0;  // lines pushed off the top of the screen

private:
    VTerm* vt_;
    VTermScreen* screen_;
    int rows_, columns_;
};

// Appends the UTF-8 form of a code point.
void appendUtf8(uint32_t codePoint, std::string& out);
