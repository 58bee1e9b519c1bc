#include "runtime/message_box.h"

#include <algorithm>
#include <string>

namespace {

// Code page 437 double-line box pieces.
constexpr uint16_t TOP_LEFT = 0xC9, TOP_RIGHT = 0xBB, BOTTOM_LEFT = 0xC8, BOTTOM_RIGHT = 0xBC;
constexpr uint16_t HORIZONTAL = 0xCD, VERTICAL = 0xBA;
constexpr uint16_t BOX_ATTR = 0x70;     // black on light grey
constexpr uint16_t BUTTON_ATTR = 0x1F;  // bright white on blue: the button has the focus
constexpr char BUTTON[] = "[ OK ]";
constexpr int PADDING = 2;              // blank columns between the frame and the text
constexpr int BOX_ROWS = 6;             // border, blank, text, blank, button, border

void put(ScreenBuffer& cells, int x, int y, uint16_t glyph, uint16_t attr)
{
    if (x < 0 || y < 0 || x >= SCREEN_COLUMNS || y >= SCREEN_ROWS) return;
    cells[size_t(y) * SCREEN_COLUMNS + size_t(x)] = {glyph, attr};
}

void putText(ScreenBuffer& cells, int x, int y, std::string_view text, uint16_t attr, int maxLength)
{
    const int n = std::min(int(text.size()), maxLength);
    for (int i = 0; i < n; ++i) put(cells, x + i, y, uint16_t((unsigned char)text[size_t(i)]), attr);
}

}  // namespace

void drawMessageBox(ScreenBuffer& cells, std::string_view text, std::string_view caption, int areaRows,
                    int areaColumns)
{
    areaColumns = std::max(areaColumns, 1);
    areaRows = std::max(areaRows, 1);
    // The caption sits in the top border between "═ " and " ═".
    const int wanted = std::max({int(text.size()), int(caption.size()) + 2, int(sizeof BUTTON - 1)}) + 2 * PADDING;
    const int inner = std::min(wanted, SCREEN_COLUMNS - 2);
    const int width = inner + 2;
    const int left = std::max((areaColumns - width) / 2, 0);
    const int top = std::max((areaRows - BOX_ROWS) / 2, 0);

    for (int y = top; y < top + BOX_ROWS; ++y)
        for (int x = left; x < left + width; ++x) put(cells, x, y, ' ', BOX_ATTR);
    for (int x = left + 1; x < left + width - 1; ++x) {
        put(cells, x, top, HORIZONTAL, BOX_ATTR);
        put(cells, x, top + BOX_ROWS - 1, HORIZONTAL, BOX_ATTR);
    }
    for (int y = top + 1; y < top + BOX_ROWS - 1; ++y) {
        put(cells, left, y, VERTICAL, BOX_ATTR);
        put(cells, left + width - 1, y, VERTICAL, BOX_ATTR);
    }
    put(cells, left, top, TOP_LEFT, BOX_ATTR);
    put(cells, left + width - 1, top, TOP_RIGHT, BOX_ATTR);
    put(cells, left, top + BOX_ROWS - 1, BOTTOM_LEFT, BOX_ATTR);
    put(cells, left + width - 1, top + BOX_ROWS - 1, BOTTOM_RIGHT, BOX_ATTR);

    const int captionRoom = inner - 2;
    putText(cells, left + 2, top, std::string(" ").append(caption).append(" "), BOX_ATTR, captionRoom);
    const int textRoom = inner - 2 * PADDING;
    const int textLength = std::min(int(text.size()), textRoom);
    putText(cells, left + 1 + (inner - textLength) / 2, top + 2, text, BOX_ATTR, textRoom);
    const int buttonLength = int(sizeof BUTTON - 1);
    putText(cells, left + 1 + (inner - buttonLength) / 2, top + 4, BUTTON, BUTTON_ATTR, buttonLength);
}
