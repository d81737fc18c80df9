// Text handling of the Windows layer that needs no Windows API: UTF-16 and
// the program's UTF-8, the command text inside the process command line,
// the separators hidden in the locale's formats, and the tracking files'
// lines in a code page. Plain C++, so that it is tested on every platform.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/history_system.h"

namespace sizewalk::win32 {

// UTF-16 as Windows hands it over, to the program's UTF-8. A lone surrogate
// (file names may hold one) is kept as its own three-byte sequence, so that
// Utf8ToUtf16 gives back exactly the same name.
std::string Utf16ToUtf8(std::u16string_view text);

// The reverse. Bytes that are not UTF-8 become U+FFFD, one per byte.
std::u16string Utf8ToUtf16(std::string_view text);

// What follows the program's own path (quoted or not) in a process command
// line, without the blanks or tabs that separate the two. Anything after
// that, trailing blanks included, is kept.
std::u16string_view CommandTextOf(std::u16string_view command_line);

// LOCALE_SGROUPING ("3;0", "3;2;0", "3") as the group sizes LocaleSeparators
// holds: one byte per group, the last repeated unless CHAR_MAX ends them.
std::string GroupingOf(std::string_view windows_grouping);

// The separator between day, month and year in a short date format such as
// "dd.MM.yyyy", as CommonSeparator judges it; quoted literals ('...') count
// as text.
std::string DateSeparatorOf(std::string_view date_format);

// The same between hours, minutes and seconds of a time format such as
// "HH:mm:ss" or "tt h:mm:ss".
std::string TimeSeparatorOf(std::string_view time_format);

// A tracking file read as UTF-8: each line (to its LF) that is not UTF-8
// is taken to be in the system's 8-bit code page, in which Windows writes
// them, and handed on through `to_utf8`, so that the escapes in it are
// undone on UTF-8. A line is judged alone, as a file may hold runs of
// several systems; a line of a code page that happens to be UTF-8 as well
// (Ã© in Windows-1252) is read as UTF-8.
class Utf8Lines final : public InputFile {
  public:
    using Convert = std::function<std::string(std::string_view)>;
    // `block`: how much is read of `file` at a time.
    Utf8Lines(std::unique_ptr<InputFile> file, Convert to_utf8, std::size_t block = 1 << 16)
        : file_(std::move(file)), to_utf8_(std::move(to_utf8)), block_(block) {}
    Outcome<std::size_t> Read(char* buffer, std::size_t size) override;
    bool TrustedOwner() const override { return file_->TrustedOwner(); }

  private:
    std::unique_ptr<InputFile> file_;
    Convert to_utf8_;
    std::size_t block_;
    std::string raw_;    // read, but no whole line yet
    std::string ready_;  // converted, handed on up to `handed_`
    std::size_t handed_ = 0;
    bool ended_ = false;
};

}  // namespace sizewalk::win32
