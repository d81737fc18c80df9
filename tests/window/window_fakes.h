// Replacements for what the window asks of the desktop, and the window as
// it must look, shared by the tests of Form1 and of its two faces.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/globals.h"
#include "common/identity.h"
#include "fakes.h"
#include "window/form1.h"

namespace sizewalk::testing {

// Where each control sits at 96 dpi, in pixels, and its font and colour.
struct PixelRow {
    const char* name;
    int left, top, width, height;
    double points;      // 0: the window's default font
    const char* style;  // b bold, i italic, u underlined, B blue text
};
inline constexpr PixelRow kPixelLayout[] = {
    {"lblHelp", 16, 8, 33, 17, 8.25, "uB"},
    {"lblAbout", 64, 8, 41, 17, 8.25, "uB"},
    {"lblHistory", 120, 8, 46, 17, 8.25, "uB"},
    {"lblWebSite", 272, 8, 113, 17, 8.25, "uB"},
    {"Label1", 16, 32, 281, 17, 8.25, "b"},
    {"cmbDrive", 16, 48, 369, 21, 0, ""},
    {"lstDir", 16, 72, 369, 126, 0, ""},
    {"lblDir", 16, 200, 369, 33, 0, ""},
    {"optOutputStyle0", 16, 240, 369, 25, 8.25, "b"},
    {"optOutputStyle1", 16, 264, 369, 25, 8.25, "b"},
    {"optOutputStyle2", 16, 288, 369, 25, 8.25, "b"},
    {"btnGo", 16, 328, 73, 25, 13.5, ""},
    {"lblWait", 104, 328, 273, 25, 13.5, "biB"},
    {"prgWait", 104, 350, 273, 3, 0, ""},
};
inline bool Has(const PixelRow& row, char style) {
    return std::string_view(row.style).find(style) != std::string_view::npos;
}

inline void ResetGlobals() {
    TitleLine = ComposeTitleLine(BuiltInIdentity());
    MessageTitle = ComposeMessageTitle(BuiltInIdentity());
    CommandText.clear();
}

// Volumes and listings as a test sets them; other paths are asked of
// `real`, or are not found.
struct FakeVolumes final : VolumeService {
    std::vector<Volume> volumes;
    std::string cwd;
    std::map<std::string, Outcome<std::vector<std::string>>> listings;
    VolumeService* real = nullptr;

    std::vector<Volume> Volumes() override { return volumes; }
    Outcome<std::string> CurrentDirectory() override { return cwd; }
    Outcome<std::vector<std::string>> Subdirectories(const std::string& path) override {
        const auto it = listings.find(path);
        return it != listings.end() ? it->second
               : real != nullptr    ? real->Subdirectories(path)
                                    : MakeError(errnum::kPathNotFound, path);
    }
};

// The beeper, the opener of addresses and files, and the editor the run
// starts, noting what they are asked in order; `on_edit` looks at the window
// while the run is still on.
struct FakeDesktop final : Beeper, UrlOpener, TextEditor {
    int beeps = 0;
    std::vector<std::string> opened, edited;
    Status open_failure, edit_failure;
    std::function<void()> on_edit;

    void Beep() override { ++beeps; }
    Status OpenUrl(const std::string& url) override {
        opened.push_back(url);
        return open_failure;
    }
    Status OpenFile(const std::string& path) override { return OpenUrl(path); }
    Status Open(const std::string& path) override {
        edited.push_back(path);
        if (on_edit) {
            on_edit();
        }
        return edit_failure;
    }
};

// What Form1 works with, replaced: the volumes /vol/a/ (current) and
// /vol/b/, the desktop, the run's platform, and the history of its files.
struct Desk {
    FakeVolumes volumes;
    FakeDesktop desktop;
    FakePlatform fakes;
    MemoryHistory history{fakes.files.contents};
    std::vector<int> ended;

    Desk() {
        ResetGlobals();
        volumes.volumes = {{"/", "root"}, {"/vol/a/", "A"}, {"/vol/b/", "B"}};
        volumes.cwd = "/vol/a/work/deep";
        volumes.listings = {{"/vol/a/", std::vector<std::string>{"work", "zeta"}},
                            {"/vol/a/work", std::vector<std::string>{"deep"}},
                            {"/vol/a/work/deep", std::vector<std::string>{"x"}},
                            {"/vol/a/zeta", std::vector<std::string>{}},
                            {"/vol/b/", std::vector<std::string>{"data"}},
                            {"/vol/b/data", std::vector<std::string>{}}};
    }
    WindowServices Services(FolderService& folders) {
        const Platform platform{folders,     fakes.files, fakes.messages,
                                fakes.clock, desktop,     fakes.locale};
        return {platform, volumes, desktop,
                desktop,  history, [this](int s) { ended.push_back(s); }};
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const ShownMessage& message : fakes.messages.shown) {
            texts.push_back(message.text);
        }
        return texts;
    }
};

}  // namespace sizewalk::testing
