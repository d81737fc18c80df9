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
// with CR LF. An appended file is opened without sharing, so two runs on one
// directory never mix their lines: a run that finds the file open waits for
// it up to `busy_wait`, then fails. A replaced file is written beside it and
// moved over it, waiting as long for a program that holds it open (Windows
// has no unnamed files: a run killed during that write leaves its
// temporary). A link (a symbolic link, a junction) or a file with several
// hard links is never written; a deduplicated or cloud file is written
// through its filter. A hidden or system file counts as new, as an ordinary
// directory search does not show it. Windows has no sticky directories: the
// owner rule of shared directories does not apply.
class Win32FileService final : public FileService {
  public:
    explicit Win32FileService(std::chrono::milliseconds busy_wait = kBusyWait)
        : busy_wait_(busy_wait) {}

    // Nothing is known before the file is opened.
    Status CheckWritable(const Directory&, const std::string&) override { return std::nullopt; }
    Outcome<std::unique_ptr<OutputFile>> Open(const Directory& directory, const std::string& name,
                                              OpenMode mode) override;

  private:
    Outcome<std::unique_ptr<OutputFile>> OpenForReplace(const std::string& path,
                                                        const std::wstring& name);

    std::chrono::milliseconds busy_wait_;
};

}  // namespace sizewalk::win32
