#include "window/win32/paint.h"

#include <algorithm>
#include <cmath>

#include "window/layout.h"

namespace sizewalk::win32 {
namespace {

constexpr UINT kPathFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

// The text in the control's own font, as the system would draw its caption.
std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

class ControlFont {
  public:
    explicit ControlFont(const DRAWITEMSTRUCT& item)
        : dc_(item.hDC),
          old_(SelectObject(
              dc_, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)))) {}
    ~ControlFont() { SelectObject(dc_, old_); }
    ControlFont(const ControlFont&) = delete;
    ControlFont& operator=(const ControlFont&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

bool Fits(HDC dc, const std::wstring& text, const RECT& box) {
    RECT needed = box;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, kPathFormat | DT_CALCRECT);
    return needed.bottom - needed.top <= box.bottom - box.top;
}

}  // namespace

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

Palette PaletteFor(bool high_contrast) {
    if (high_contrast) {
        return {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT),
                GetSysColor(COLOR_HOTLIGHT), GetSysColor(COLOR_WINDOWTEXT),
                GetSysColor(COLOR_HIGHLIGHT)};
    }
    const COLORREF blue = RGB(kBlue[0], kBlue[1], kBlue[2]);
    return {RGB(kBackground[0], kBackground[1], kBackground[2]), GetSysColor(COLOR_WINDOWTEXT),
            blue, blue, blue};
}

std::wstring PathToShow(HDC dc, const std::wstring& path, const RECT& box) {
    if (Fits(dc, path, box)) {
        return path;
    }
    // The shortest cut that fits: each character cut makes the rest shorter.
    std::size_t fitting = path.size();
    std::size_t too_short = 0;
    while (fitting - too_short > 1) {
        const std::size_t cut = too_short + (fitting - too_short) / 2;
        (Fits(dc, L"\u2026" + path.substr(cut), box) ? fitting : too_short) = cut;
    }
    return L"\u2026" + path.substr(fitting);
}

void DrawLink(const DRAWITEMSTRUCT& item, const Palette& palette, HBRUSH brush) {
    const ControlFont font(item);
    FillRect(item.hDC, &item.rcItem, brush);
    const std::wstring text = TextOf(item.hwndItem);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, palette.link);
    RECT box = item.rcItem;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &box,
              DT_SINGLELINE | DT_NOPREFIX);
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &box,
                  DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        DrawFocusRect(item.hDC, &box);
    }
}

void DrawPathLabel(const DRAWITEMSTRUCT& item, const Palette& palette, HBRUSH brush) {
    const ControlFont font(item);
    FillRect(item.hDC, &item.rcItem, brush);
    const std::wstring text = PathToShow(item.hDC, TextOf(item.hwndItem), item.rcItem);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, palette.text);
    RECT box = item.rcItem;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &box, kPathFormat);
}

void DrawBar(const DRAWITEMSTRUCT& item, const Palette& palette, HBRUSH brush, double fraction) {
    RECT rect = item.rcItem;
    FillRect(item.hDC, &rect, brush);
    rect.right = rect.left + static_cast<LONG>(std::lround((rect.right - rect.left) * fraction));
    HBRUSH bar = CreateSolidBrush(palette.bar);
    FillRect(item.hDC, &rect, bar);
    DeleteObject(bar);
}

void DrawListEntry(const DRAWITEMSTRUCT& item, double scale, int indent, const std::wstring& text,
                   const std::function<void(HDC, int, int)>& picture) {
    HDC dc = item.hDC;
    const RECT& rect = item.rcItem;
    FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const int size = static_cast<int>(std::lround(16 * scale));
    const int gap = static_cast<int>(std::lround(3 * scale));
    const int left = rect.left + gap + indent;
    picture(dc, left, rect.top + (rect.bottom - rect.top - size) / 2);
    RECT text_rect = rect;
    text_rect.left = left + size + gap;
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    text_rect.right = std::min(rect.right, text_rect.left + extent.cx + 2 * gap);
    if (selected) {
        FillRect(dc, &text_rect, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT inner = text_rect;
    inner.left += gap;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        DrawFocusRect(dc, &text_rect);
    }
}

}  // namespace sizewalk::win32
