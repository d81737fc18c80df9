// Names and problem descriptions in the tracking files and in what the
// program shows of them. Names are untrusted bytes: any byte but NUL (and
// the separator) may be in one, UTF-8 or not.
#pragma once

#include <string>
#include <string_view>

namespace sizewalk {

enum class Escaping {
    // The text reports: a byte that is not part of UTF-8 stays as it is (a
    // code page's letter), unless it is 0x80 to 0x9F, a C1 control there.
    kFile,
    // Reports and messages in UTF-8: every byte that is not part of UTF-8
    // is escaped, so that the text is UTF-8.
    kShown,
};

// `text` with escapes, byte by byte, so that it reads back exactly: a
// backslash as \\, TAB, LF and CR as \t, \n and \r, every other byte of a
// control character (IsControlCharacter) as \xHH (lower-case hex), and the
// bytes that are not UTF-8 as `escaping` says. The text reports and
// standard error show names and problem descriptions so.
std::string EscapeText(std::string_view text, Escaping escaping = Escaping::kFile);

// The bytes behind EscapeText's text of either kind; a \xHH also where
// EscapeText would not have written one. A backslash before anything else
// stays, as in files of older versions, which escaped no backslash.
std::string UnescapeText(std::string_view text);

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
