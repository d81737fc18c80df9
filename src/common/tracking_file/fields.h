// The number and date fields of the tracking files, as the writer puts them
// and the reader takes them back. Sizes are exact to 2^128 - 1; dates and
// times carry the locale's separators, and a reader takes any separators,
// since one file may hold runs of several locales.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/byte_count.h"
#include "platform/clock_locale.h"

namespace sizewalk {

// Plain decimal digits: a CSV row's size.
std::string Decimal(ByteCount value);
// "#,0": digits grouped as the locale groups them, no decimals.
std::string FormatGrouped(ByteCount value, const LocaleSeparators& locale);

// An ASCII digit, whatever the locale.
bool IsDigit(char c);
// `value` * 10 + the digit `digit`; false, and `value` unchanged, when that
// passes 2^128 - 1.
bool AppendDigit(ByteCount& value, char digit);
// The plain digits at `pos`, which moves past them; nothing when there are
// none or they pass 2^128 - 1.
std::optional<ByteCount> ReadDecimal(std::string_view text, std::size_t& pos);

// "dd/MM/yyyy", "/" the locale's date separator: a CSV row's date.
std::string DateField(const LocalTime& time, const LocaleSeparators& locale);
// "d-MM-yyyy hh:mm:ss", ":" the locale's time separator: a head line's time.
std::string DateTimeField(const LocalTime& time, const LocaleSeparators& locale);
// "yyyyMMdd": the day file's name.
std::string CompactDate(const LocalTime& time);

// A date of the calendar at `pos`, which moves past it: day and month of one
// or two digits and a four-digit year, any 1 to 8 bytes but digits between
// them (a locale's separator may be several bytes).
std::optional<LocalTime> ReadDate(std::string_view text, std::size_t& pos);
// A whole DateTimeField of any locale.
std::optional<LocalTime> ReadDateTime(std::string_view text);

}  // namespace sizewalk
