// A terminal emulator for the tests: libvterm parses the bytes the demo writes
// into cells with characters and colours, and records the title, the alternate
// screen, the cursor's visibility and the lines scrolled off the top.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <vterm.h>

class VtermScreen {
public:
    VtermScreen(int rows, int columns) : vt_(vterm_new(rows, columns)), rows_(rows), columns_(columns)
    {
        static const VTermScreenCallbacks callbacks = {
            nullptr, nullptr, nullptr,
            [](VTermProp prop, VTermValue* value, void* user) {
                auto* self = static_cast<VtermScreen*>(user);
                if (prop == VTERM_PROP_TITLE) self->title = value->string ? value->string : "";
                if (prop == VTERM_PROP_ALTSCREEN) self->altScreen = value->boolean != 0;
                if (prop == VTERM_PROP_CURSORVISIBLE) self->cursorVisible = value->boolean != 0;
                return 1;
            },
            nullptr, nullptr,
            [](int, const VTermScreenCell*, void* user) { return ++static_cast<VtermScreen*>(user)->scrolls, 1; },
            nullptr};
        vterm_set_utf8(vt_, 1);
        screen_ = vterm_obtain_screen(vt_);
        vterm_screen_set_callbacks(screen_, &callbacks, this);
        vterm_screen_enable_altscreen(screen_, 1);
        vterm_screen_reset(screen_, 1);
    }
    ~VtermScreen() { vterm_free(vt_); }

    void feed(std::string_view bytes)
    {
        vterm_input_write(vt_, bytes.data(), bytes.size());
        char answers[256];  // replies to queries are not needed
        while (vterm_output_read(vt_, answers, sizeof answers) > 0) {}
    }
    void resize(int rows, int columns) { vterm_set_size(vt_, rows_ = rows, columns_ = columns); }

    // The character at (row, column), a space when erased, and its palette
    // colours, -1 for the terminal's default colour.
    uint32_t character(int row, int column) const { return cell(row, column).chars[0] ?: ' '; }
    int foreground(int row, int column) const { return paletteIndex(cell(row, column).fg); }
    int background(int row, int column) const { return paletteIndex(cell(row, column).bg); }
    // Rows `first` to `last` - 1 as UTF-8, a line each; whether any row holds `text`.
    std::string text(int first, int last) const
    {
        std::string out(size_t((columns_ * 4 + 1) * (last - first)), '\0');
        out.resize(vterm_screen_get_text(screen_, out.data(), out.size(), VTermRect{first, last, 0, columns_}));
        return out;
    }
    bool shows(const std::string& what) const { return text(0, rows_).find(what) != std::string::npos; }

    std::string title;
    bool altScreen = false;
    bool cursorVisible = true;
    int scrolls = 0;

private:
    VTermScreenCell cell(int row, int column) const
    {
        VTermScreenCell c;
        vterm_screen_get_cell(screen_, VTermPos{row, column}, &c);
        return c;
    }
    static int paletteIndex(const VTermColor& c)
    {
        if (VTERM_COLOR_IS_DEFAULT_FG(&c) || VTERM_COLOR_IS_DEFAULT_BG(&c)) return -1;
        return VTERM_COLOR_IS_INDEXED(&c) ? c.indexed.idx : -2;  // the demo sends only indexed colours
    }

    VTerm* vt_;
    VTermScreen* screen_;
    int rows_, columns_;
};
