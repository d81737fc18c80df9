// Names and problem descriptions in the tracking files and in what the
// program shows of them. Names are untrusted bytes: any byte but NUL (and
// the separator) may be in one, UTF-8 or not.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/paths.h"

namespace sizewalk {

enum class Escaping {
    // The text reports: a byte that is not part of UTF-8 stays as it is (a
    // code page's letter), unless it is 0x80 to 0x9F, a C1 control there.
    kFile,
    // Reports and messages in UTF-8: every byte that is not part of UTF-8
    // is escaped, so that the text is UTF-8.
    kShown,
    // Only what would not read back: a character the file lacks, and a
    // backslash that would read as an escape (a CSV name, kCsvNamesEscaped).
    kLacking,
};

// Whether a file holds `character` (one UTF-8 character, or one byte that
// is not UTF-8) as it is: an 8-bit code page lacks most characters. Every
// file holds ASCII; none given, every character.
using Holds = std::function<bool(std::string_view character)>;

// `text` with escapes, byte by byte, so that it reads back exactly: TAB, LF
// and CR as \t, \n and \r, every other byte of a control character
// (IsControlCharacter) as \xHH (lower-case hex), the bytes that are not
// UTF-8 as `escaping` says, and each byte of a character that `holds` lacks
// as \xHH. A backslash is doubled only where it would otherwise read as an
// escape: before a backslash, t, n, r, x or anything written escaped; so
// C:\Data\ stays as it is. The text reports and standard error show names
// and problem descriptions so.
std::string EscapeText(std::string_view text, Escaping escaping = Escaping::kFile,
                       const Holds& holds = {});

// The bytes behind EscapeText's text of any kind; a \xHH also where
// EscapeText would not have written one. A backslash before anything else
// stays as it is: so EscapeText writes it, and so files of older versions
// hold it (some doubled every backslash, the first ones none).
std::string UnescapeText(std::string_view text);

// Where names hold no backslash (Windows), a CSV name is written escaped
// (Escaping::kLacking), so that a character the code page lacks reads back;
// a backslash in one is an escape. Elsewhere a CSV name is its bytes.
inline constexpr bool kCsvNamesEscaped = kPathSeparator == '\\';

// A CSV field: quoted, with quotes doubled, when it holds a comma, a quote,
// CR or LF. A name a spreadsheet would take for a formula (it begins with
// = + - @, TAB or CR), or that begins with an apostrophe, is quoted behind
// an apostrophe, the formula guard, which makes it text: '=1+2 and 'abc
// read back as themselves.
std::string CsvField(std::string_view text);

enum class QuotedField {
    kClosed,     // the whole field
    kOpen,       // no closing quote yet: the field may go on in the next line
    kNotAField,  // something follows the closing quote
};
// The text of a quoted CSV field that fills the rest of a row (`field`
// begins with its quote) into `text`, without its formula guard: one
// apostrophe is removed where a guarded character or an apostrophe follows
// it, and only from a quoted field.
QuotedField UnquoteField(std::string_view field, std::string& text);

}  // namespace sizewalk
