// What Form1's Win32 face paints itself: its colours (the light yellow and
// blue, or under a high-contrast theme the system's), the owner-drawn
// controls, and how much of a deep path the directory label shows.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/win.h"

namespace sizewalk::win32 {

struct Palette {
    COLORREF background;
    COLORREF text;
    COLORREF link;
    COLORREF wait;  // the wait notice
    COLORREF bar;   // the progress bar along its row
};

// Whether the user has turned on a high-contrast theme.
bool HighContrastOn();
// The window's colours, the system's own under a high-contrast theme.
Palette PaletteFor(bool high_contrast);

// `path` as the directory label shows it in `box` with the font selected in
// `dc`: whole when it fits on the lines the box holds, otherwise its end
// after an ellipsis, the folder itself being the part that matters.
std::wstring PathToShow(HDC dc, const std::wstring& path, const RECT& box);

// The owner-drawn controls, on the window's background `brush`.
void DrawLink(const DRAWITEMSTRUCT& item, const Palette& palette, HBRUSH brush);
void DrawPathLabel(const DRAWITEMSTRUCT& item, const Palette& palette, HBRUSH brush);
void DrawBar(const DRAWITEMSTRUCT& item, const Palette& palette, HBRUSH brush, double fraction);
// An entry of the drive or the directory list: `picture` draws its 16-pixel
// picture (scaled by `scale`) at a left and top, the text follows,
// highlighted when selected.
void DrawListEntry(const DRAWITEMSTRUCT& item, double scale, int indent, const std::wstring& text,
                   const std::function<void(HDC, int, int)>& picture);

}  // namespace sizewalk::win32
