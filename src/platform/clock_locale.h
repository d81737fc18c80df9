// Today's date and time and the separators of the user's locale.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sizewalk {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
};

// Separators are strings: some locales use multi-byte ones.
struct LocaleSeparators {
    std::string digit_group = ",";
    // Group sizes as the C library gives them: each byte one group, the last
    // repeated; CHAR_MAX ends grouping.
    std::string grouping = "\3";
    std::string date = "/";
    std::string time = ":";
    // Whether texts are UTF-8, so that columns count characters, not bytes.
    bool utf8 = true;
};

enum class FormatFields {
    kDate,  // day, month and year
    kTime,  // hours, minutes and seconds
};

// The separator that stands between the fields of a strftime-style date
// format (D_FMT: "%d.%m.%Y" gives ".") or time format (T_FMT), as
// CommonSeparator judges the texts between them.
std::string SeparatorOfFormat(std::string_view format, FormatFields fields);

// `between[0]` when the texts between the fields of a format are one and the
// same character, and that character is ASCII punctuation other than a comma
// or a double quote (a letter, a digit or a blank would make the dates of a
// file unreadable, a comma or a quote its CSV rows); otherwise "/" for dates
// and ":" for times, the values for a locale that says nothing.
std::string CommonSeparator(const std::vector<std::string>& between, FormatFields fields);

}  // namespace sizewalk
