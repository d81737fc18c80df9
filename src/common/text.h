// UTF-8 at the byte level, for names that are untrusted bytes: UTF-8 where
// they are, an 8-bit code page's letters or anything else where they are not.
#pragma once

#include <cstddef>
#include <string_view>

namespace sizewalk {

// The length of the well-formed UTF-8 sequence at `pos` (1 for ASCII), or 0
// where the bytes there are no UTF-8.
std::size_t Utf8Length(std::string_view text, std::size_t pos);

// The bytes of the character at `pos`: a well-formed UTF-8 sequence, or one
// byte that begins none (a code page's letter, a stray byte).
std::size_t CharacterBytes(std::string_view text, std::size_t pos);

// The characters of a text, as CharacterBytes steps through them: what a
// command line counts, and the columns a report takes.
std::size_t CharacterCount(std::string_view text);

// Whether the one UTF-8 character `character` is a control that a terminal
// or an editor would act on or hide instead of showing it: C0, DEL, C1
// (U+0080 to U+009F), or a bidirectional control (U+200E, U+200F, U+202A to
// U+202E, U+2066 to U+2069), which can make a name read as another.
bool IsControlCharacter(std::string_view character);

}  // namespace sizewalk
