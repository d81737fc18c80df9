// Byte-level text helpers that the tracking files, the history reports and
// the command line share. Names are untrusted bytes: UTF-8 where they are,
// an 8-bit code page's letters or anything else where they are not.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sizewalk {

// The length of the well-formed UTF-8 sequence at `pos` (1 for ASCII), or 0
// where the bytes there are no UTF-8.
std::size_t Utf8Length(std::string_view text, std::size_t pos);

// The characters of a UTF-8 text: every byte that does not continue a
// sequence counts once.
std::size_t CharacterCount(std::string_view text);

// Control characters as visible escapes (\t, \n, \r, \xHH); with
// `non_utf8_too` also each byte that is not part of UTF-8, so that the
// result is UTF-8 whatever the name was.
std::string EscapeControlCharacters(std::string_view text, bool non_utf8_too = false);

// A CSV field: quoted, with quotes doubled, when it holds a comma, a quote,
// CR or LF; a name a spreadsheet would take for a formula (it begins with
// = + - @, a tab or CR) is quoted with an apostrophe before it, which makes
// it text. Other names are unchanged.
std::string CsvField(std::string_view text);

}  // namespace sizewalk
