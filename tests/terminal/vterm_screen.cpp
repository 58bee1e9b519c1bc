#include "vterm_screen.h"

#include <vterm.h>

namespace {

int onTermProp(VTermProp prop, VTermValue* value, void* user)
{
    auto* self = static_cast<VtermScreen*>(user);
    switch (prop) {
    case VTERM_PROP_TITLE: self->title = value->string ? value->string : ""; break;
    case VTERM_PROP_ALTSCREEN: self->altScreen = value->boolean != 0; break;
    case VTERM_PROP_CURSORVISIBLE: self->cursorVisible = value->boolean != 0; break;
    default: break;
    }
    return 1;
}

int onPushLine(int, const VTermScreenCell*, void* user)
{
    ++static_cast<VtermScreen*>(user)->scrolls;
    return 1;
}

const VTermScreenCallbacks callbacks = {
    nullptr, nullptr, nullptr, onTermProp, nullptr, nullptr, onPushLine, nullptr,
};

int paletteIndex(const VTermColor& colour, bool background)
{
    if (background ? VTERM_COLOR_IS_DEFAULT_BG(&colour) : VTERM_COLOR_IS_DEFAULT_FG(&colour)) return -1;
    if (!VTERM_COLOR_IS_INDEXED(&colour)) return -2;  // never sent by the demo
    return colour.indexed.idx;
}

}  // namespace

void appendUtf8(uint32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

VtermScreen::VtermScreen(int rows, int columns) : rows_(rows), columns_(columns)
{
    vt_ = vterm_new(rows, columns);
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(screen_, &callbacks, this);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);
}

VtermScreen::~VtermScreen() { vterm_free(vt_); }

void VtermScreen::feed(const char* bytes, size_t size)
{
    vterm_input_write(vt_, bytes, size);
    // Answers to queries are not needed; drop them.
    char drain[256];
    while (vterm_output_read(vt_, drain, sizeof drain) > 0) {}
}

void VtermScreen::feed(const std::string& bytes) { feed(bytes.data(), bytes.size()); }

void VtermScreen::resize(int rows, int columns)
{
    rows_ = rows;
    columns_ = columns;
    vterm_set_size(vt_, rows, columns);
}

uint32_t VtermScreen::character(int row, int column) const
{
    VTermScreenCell cell;
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return cell.chars[0] == 0 ? 0x20 : cell.chars[0];
}

int VtermScreen::foreground(int row, int column) const
{
    VTermScreenCell cell;
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return paletteIndex(cell.fg, false);
}

int VtermScreen::background(int row, int column) const
{
    VTermScreenCell cell;
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return paletteIndex(cell.bg, true);
}

std::string VtermScreen::rowText(int row) const
{
    std::string text;
    for (int column = 0; column < columns_; ++column) appendUtf8(character(row, column), text);
    return text;
}

bool VtermScreen::shows(const std::string& text) const
{
    for (int row = 0; row < rows_; ++row)
        if (rowText(row).find(text) != std::string::npos) return true;
    return false;
}
