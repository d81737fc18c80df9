// Where Form1's controls sit and how they look: one table that both faces
// build the window from. A new link is one more row and one more handler.
#pragma once

#include <span>
#include <string>

namespace sizewalk {

class Form1;

// A rectangle in twips (1/1440 inch) from the top left of the client area.
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Points 0 is the window's default font; every other font is "MS Sans Serif".
struct FontSpec {
    double points = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

enum class ControlKind {
    kLink,           // blue, underlined, clickable label
    kLabel,          // a caption
    kDriveList,      // cmbDrive
    kDirectoryList,  // lstDir
    kPathLabel,      // lblDir: a path on up to two lines
    kOption,         // one button of optOutputStyle, in index order
    kButton,         // btnGo
    kWaitNotice,     // lblWait, blue, hidden while idle
    kProgressBar,    // the thin bar along the wait notice's row
};

struct ControlSpec {
    const char* name;
    ControlKind kind;
    Twips place;
    const char* caption;  // nullptr: computed (the web-site link names the host)
    FontSpec font;
    int tab_index;                     // the order of the controls that take the focus
    void (Form1::*click)() = nullptr;  // what a link does
};

inline constexpr int kClientWidthTwips = 5955;
inline constexpr int kClientHeightTwips = 5430;
// The size of the dialog font, "MS Sans Serif": the labels', the options'
// and, on Windows, the window's default font.
inline constexpr double kDialogFontPoints = 8.25;
// Each level of the directory list is set in this far (8 pixels at 96 dpi):
// the list shows every parent of the current directory, and a wider step
// would push a deep path's names out of the list's width.
inline constexpr int kDirectoryIndentTwips = 120;
// Light yellow, and the blue of the links and the wait notice.
inline constexpr unsigned char kBackground[3] = {255, 255, 192};
inline constexpr unsigned char kBlue[3] = {0, 0, 255};
inline constexpr char kWaitText[] = "Wait please! Processing...";

// The controls, in the order they are created (tab index order for those
// that take the focus).
std::span<const ControlSpec> Form1Layout();

// The caption the control shows.
std::string CaptionOf(const ControlSpec& control);

// The host of an http address ("http://sizewalk.test/x" gives "sizewalk.test").
std::string HostOf(const std::string& url);

// Twips to pixels at `dpi`, rounded: 15 twips a pixel at 96 dpi.
int TwipsToPixels(int twips, double dpi);

}  // namespace sizewalk
