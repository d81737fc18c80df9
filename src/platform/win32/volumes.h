// Drives and directory lists on Windows, and the desktop services the
// window uses: the system beep and the shell's URL handling.
#pragma once

#include "platform/desktop.h"
#include "platform/volumes.h"

namespace sizewalk::win32 {

// Whether a listing that failed with `code` means the drive is not ready
// (no medium, an unreachable network drive): error 68 to the window.
bool MeansNotReady(unsigned long code);

// The drive letters: a network drive labelled with its share, a fixed
// drive with its volume label; removable drives are not read (no medium
// may be in them). Directories are listed without hidden ones and links,
// in the order of their names ignoring case.
class Win32VolumeService final : public VolumeService {
  public:
    std::vector<Volume> Volumes() override;
    Outcome<std::string> CurrentDirectory() override;
    Outcome<std::vector<std::string>> Subdirectories(const std::string& path) override;
};

class Win32Beeper final : public Beeper {
  public:
    void Beep() override;
};

// ShellExecuteW: the address opens in the user's browser, a file in the
// application its kind is associated with. Nothing is written to disk on
// the way.
class ShellUrlOpener final : public UrlOpener {
  public:
    Status OpenUrl(const std::string& url) override;
    Status OpenFile(const std::string& path) override { return OpenUrl(path); }
};

}  // namespace sizewalk::win32
