// Tracking files on Windows.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/file_service.h"

namespace sizewalk::win32 {

// `utf8` in the 8-bit code page `code_page` (CP_ACP for the system's), as
// WideCharToMultiByte converts what the code page cannot represent.
std::string ToCodePage(std::string_view utf8, unsigned code_page);

// Lines are written in the system's 8-bit code page (CP_ACP), each ended
// with CR LF. A file is opened without sharing, so two runs on one directory
// never mix their lines: a run that finds the file open waits for it up to
// `busy_wait`, then fails. A file that is a reparse point (a symbolic link)
// is never opened for writing.
class Win32FileService final : public FileService {
  public:
    explicit Win32FileService(std::chrono::milliseconds busy_wait = std::chrono::seconds(60))
        : busy_wait_(busy_wait) {}

    // An ordinary directory search: hidden and system files, and
    // directories, are not found.
    Outcome<bool> Exists(const std::string& path) override;
    Outcome<std::unique_ptr<OutputFile>> Open(const std::string& path, OpenMode mode) override;

  private:
    std::chrono::milliseconds busy_wait_;
};

}  // namespace sizewalk::win32
