// Text handling of the Windows layer that needs no Windows API: UTF-16 and
// the program's UTF-8, the command text inside the process command line, and
// the separators hidden in the locale's formats. Plain C++, so that it is
// tested on every platform.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace sizewalk::win32
