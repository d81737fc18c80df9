// Figures, dates and names as the reports show them.
#pragma once

#include <string>
#include <string_view>

#include "history/model.h"

namespace sizewalk::history {

// A name as the reports show it: escaped byte by byte, also each byte that
// is not part of UTF-8 (an 8-bit code page's letter), so that it is UTF-8
// and two names never look the same.
std::string Shown(std::string_view name);

// At most `columns` characters, the last of them "…" when it was cut.
std::string Truncated(std::string_view text, std::size_t columns);

// "2026-12-05"
std::string IsoDate(std::int32_t day);
// "2026-12-05" for a date alone, "2026-12-05T02:30:00" with a time.
std::string IsoWhen(const When& when);

// With a sign: "+12", "-3", "0".
std::string SignedDecimal(const ByteChange& value);

// `value` with `decimals` decimals and a full stop, whatever the locale:
// pages, JSON and metrics are read by programs.
std::string Fixed(double value, int decimals);

// The binary units, each 1024 times the one before.
inline constexpr const char* kBinaryUnits[] = {"B",   "KiB", "MiB", "GiB", "TiB",
                                               "PiB", "EiB", "ZiB", "YiB"};

// "512 B", "1.2 GiB": binary units, one decimal.
std::string HumanSize(double bytes);
// With a sign for a change: "+1.2 GiB", "-300.0 KiB", "0 B".
std::string HumanChange(double bytes);

}  // namespace sizewalk::history
