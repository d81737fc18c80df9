// The desktop services the Win32 face uses: the system beep and the shell's
// handling of addresses and files.
#pragma once

#include "platform/desktop.h"

namespace sizewalk::win32 {

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
