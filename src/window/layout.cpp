#include "window/layout.h"

#include <array>
#include <cmath>

#include "common/identity.h"
#include "window/form1.h"

namespace sizewalk {
namespace {

constexpr FontSpec kLinkFont{kDialogFontPoints, false, false, true};
constexpr FontSpec kBoldFont{kDialogFontPoints, true, false, false};
constexpr FontSpec kDefaultFont{};

using K = ControlKind;
const std::array kControls = {
    ControlSpec{"cmbDrive", K::kDriveList, {240, 720, 5535, 315}, "", kDefaultFont, 0},
    ControlSpec{"lstDir", K::kDirectoryList, {240, 1080, 5535, 1890}, "", kDefaultFont, 1},
    ControlSpec{"optOutputStyle0",
                K::kOption,
                {240, 3600, 5535, 375},
                "Append data to the existing file (create file if doesn't exist)",
                kBoldFont,
                2},
    ControlSpec{"optOutputStyle1",
                K::kOption,
                {240, 3960, 5535, 375},
                "Write data to a new file (overwrite old one)",
                kBoldFont,
                3},
    ControlSpec{"optOutputStyle2",
                K::kOption,
                {240, 4320, 5535, 375},
                "Append data to a DataBase-like Excel *.csv file",
                kBoldFont,
                4},
    ControlSpec{"btnGo", K::kButton, {240, 4920, 1095, 375}, "Go", {13.5}, 5},
    ControlSpec{
        "lblHelp", K::kLink, {240, 120, 495, 255}, "Help", kLinkFont, 6, &Form1::lblHelp_Click},
    ControlSpec{
        "lblAbout", K::kLink, {960, 120, 615, 255}, "About", kLinkFont, 7, &Form1::lblAbout_Click},
    ControlSpec{"Label1",
                K::kLabel,
                {240, 480, 4215, 255},
                "Create size tracking file for directory:",
                kBoldFont,
                8},
    ControlSpec{"lblWait",
                K::kWaitNotice,
                {1560, 4920, 4095, 375},
                kWaitText,
                {13.5, true, true, false},
                9},
    ControlSpec{"lblDir", K::kPathLabel, {240, 3000, 5535, 495}, "", kDefaultFont, 10},
    ControlSpec{"lblWebSite",
                K::kLink,
                {4080, 120, 1695, 255},
                nullptr,
                kLinkFont,
                11,
                &Form1::lblWebSite_Click},
    // Three pixels at the foot of the wait notice's row, below its text.
    ControlSpec{"prgWait", K::kProgressBar, {1560, 5250, 4095, 45}, "", kDefaultFont, 12},
    // In the top row's free room after About, at About's spacing.
    ControlSpec{"lblHistory",
                K::kLink,
                {1800, 120, 690, 255},
                "History",
                kLinkFont,
                13,
                &Form1::lblHistory_Click},
};

}  // namespace

std::span<const ControlSpec> Form1Layout() {
    return kControls;
}

std::string CaptionOf(const ControlSpec& control) {
    if (control.caption != nullptr) {
        return control.caption;
    }
    return "Web: " + HostOf(BuiltInIdentity().website);
}

std::string HostOf(const std::string& url) {
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    const std::size_t end = url.find_first_of("/:?#", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int TwipsToPixels(int twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

}  // namespace sizewalk
