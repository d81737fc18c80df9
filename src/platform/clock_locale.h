// Today's date and time and the separators of the user's locale.
#pragma once

#include <string>

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

// The separator between the first two fields of a strftime-style format
// ("%d.%m.%Y" gives "."), or `fallback` when there is none.
std::string SeparatorOfFormat(const std::string& format, const std::string& fallback);

}  // namespace sizewalk
