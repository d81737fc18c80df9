// Replacements for what the window asks of the desktop, shared by the tests
// of Form1 and of its two faces.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/text_editor.h"
#include "platform/volumes.h"

namespace sizewalk::testing {

// Volumes and listings as a test sets them; other paths are not found.
class FakeVolumes final : public VolumeService {
  public:
    std::vector<Volume> volumes;
    std::string cwd;
    std::map<std::string, Outcome<std::vector<std::string>>> listings;

    std::vector<Volume> Volumes() override { return volumes; }
    Outcome<std::string> CurrentDirectory() override { return cwd; }
    Outcome<std::vector<std::string>> Subdirectories(const std::string& path) override {
        const auto it = listings.find(path);
        return it != listings.end() ? it->second : MakeError(errnum::kPathNotFound, path);
    }
};

class CountingBeeper final : public Beeper {
  public:
    int beeps = 0;
    void Beep() override { ++beeps; }
};

class RecordingUrls final : public UrlOpener {
  public:
    std::vector<std::string> opened;
    Status failure;
    Status OpenUrl(const std::string& url) override {
        opened.push_back(url);
        return failure;
    }
};

// The editor the run starts; `on_open` looks at the window while the run
// is still on.
class WatchedEditor final : public TextEditor {
  public:
    std::vector<std::string> opened;
    Status failure;
    std::function<void()> on_open;
    Status Open(const std::string& path) override {
        opened.push_back(path);
        if (on_open) {
            on_open();
        }
        return failure;
    }
};

}  // namespace sizewalk::testing
