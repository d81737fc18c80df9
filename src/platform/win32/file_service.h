// Tracking files on Windows.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_service.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {

// `utf8` in the 8-bit code page `code_page` (0, CP_ACP, for the system's),
// without best fit: a character the code page lacks becomes its default
// character (?), never a look-alike (＝ an =, ， a comma).
std::string ToCodePage(std::string_view utf8, unsigned code_page);
// The reverse, to UTF-8.
std::string FromCodePage(std::string_view bytes, unsigned code_page);
// Whether `code_page` has every character of `utf8` (UTF-8 throughout).
bool InCodePage(std::string_view utf8, unsigned code_page);

// The locale's digit-grouping symbol as the files can hold it: where the
// code page lacks it (U+202F in Windows-1252) a no-break space, or else a
// blank, which a size field reads back; an escape would not.
std::string GroupSymbolFor(std::string symbol, unsigned code_page);

// A new file beside `target` (a long path), under a name no file has yet
// (CREATE_NEW: never one that is there already, a link neither), opened
// for `access` and shared with nobody: its handle and name. Failures name
// `path`.
Outcome<std::pair<HANDLE, std::wstring>> CreateTemporarySibling(const std::wstring& target,
                                                                DWORD access,
                                                                const std::string& path);

// Lines are written in an 8-bit code page (`code_page`, the system's by
// default), each ended with CR LF; the writer escapes what it lacks. An
// appended file is opened without sharing, so two runs on one directory
// never mix their lines: a run that finds the file open waits for it up to
// `busy_wait`, then fails. A replaced file is written beside it and moved
// over it, waiting as long for a program that holds it open (Windows has no
// unnamed files: a run killed during that write leaves its temporary). A
// link (a symbolic link, a junction) or a file with several hard links is
// never written; a deduplicated or cloud file is written through its
// filter. A hidden or system file counts as new, as an ordinary directory
// search does not show it. Windows has no sticky directories: the owner
// rule of shared directories does not apply.
class FileService final : public sizewalk::FileService {
  public:
    explicit FileService(std::chrono::milliseconds busy_wait = kBusyWait, unsigned code_page = 0)
        : busy_wait_(busy_wait), code_page_(code_page) {}

    // Nothing is known before the file is opened.
    Status CheckWritable(const Directory&, const std::string&) override { return std::nullopt; }
    Outcome<std::unique_ptr<OutputFile>> Open(const Directory& directory, const std::string& name,
                                              OpenMode mode) override;
    bool Holds(std::string_view character) const override {
        return InCodePage(character, code_page_);
    }
    std::string Encode(std::string_view text) const override {
        return ToCodePage(text, code_page_);
    }

  private:
    Outcome<std::unique_ptr<OutputFile>> OpenForReplace(const std::string& path,
                                                        const std::wstring& name);

    std::chrono::milliseconds busy_wait_;
    unsigned code_page_;
};

}  // namespace sizewalk::win32
