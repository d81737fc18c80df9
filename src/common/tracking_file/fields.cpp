#include "common/tracking_file/fields.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace sizewalk {
namespace {

constexpr ByteCount kLargest = ~ByteCount{0};

std::string Digits(int value, std::size_t width) {
    std::string text = Decimal(static_cast<unsigned>(value));
    return std::string(width - std::min(width, text.size()), '0') + text;
}

// A number of `min` to `max` digits at `pos`, not followed by another digit.
std::optional<int> SmallNumber(std::string_view s, std::size_t& pos, std::size_t min,
                               std::size_t max) {
    int value = 0;
    std::size_t count = 0;
    while (pos < s.size() && IsDigit(s[pos]) && count < max) {
        value = value * 10 + (s[pos++] - '0');
        ++count;
    }
    if (count < min || (pos < s.size() && IsDigit(s[pos]))) {
        return std::nullopt;
    }
    return value;
}

// The separator between two fields: 1 to 8 bytes that are not digits, with
// a field after them.
bool SkipSeparator(std::string_view s, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < s.size() && !IsDigit(s[pos])) {
        ++pos;
    }
    return pos > start && pos - start <= 8 && pos < s.size();
}

// Numbers of `digits` (the least and the most of each), a separator
// between each two, into `values`.
bool ReadNumbers(std::string_view s, std::size_t& pos,
                 std::initializer_list<std::pair<std::size_t, std::size_t>> digits, int* values) {
    std::size_t i = 0;
    for (const auto& [min, max] : digits) {
        if (i > 0 && !SkipSeparator(s, pos)) {
            return false;
        }
        const std::optional<int> value = SmallNumber(s, pos, min, max);
        if (!value) {
            return false;
        }
        values[i++] = *value;
    }
    return true;
}

bool ValidDate(int year, int month, int day) {
    if (year < 1 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] && (month != 2 || day <= 28 || leap);
}

}  // namespace

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string Decimal(ByteCount value) {
    char digits[40];  // 2^128 - 1 has 39
    char* const end = digits + sizeof digits;
    if (value <= ~std::uint64_t{0}) {  // 128-bit division is slow: the common case skips it
        return std::string(digits,
                           std::to_chars(digits, end, static_cast<std::uint64_t>(value)).ptr);
    }
    char* first = end;
    do {
        *--first = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    return std::string(first, end);
}

std::string FormatGrouped(ByteCount value, const LocaleSeparators& locale) {
    const std::string digits = Decimal(value);
    const std::string& grouping = locale.grouping;
    // Cut groups from the right; the last group size repeats, CHAR_MAX stops.
    std::vector<std::string_view> groups;
    std::size_t end = digits.size();
    std::size_t rule = 0;
    while (end > 0) {
        const char size_char = grouping.empty() ? 3 : grouping[std::min(rule, grouping.size() - 1)];
        const int size = static_cast<unsigned char>(size_char) == CHAR_MAX ? 0 : size_char;
        if (size <= 0 || static_cast<std::size_t>(size) >= end) {
            groups.emplace_back(digits.data(), end);
            break;
        }
        groups.emplace_back(digits.data() + end - size, static_cast<std::size_t>(size));
        end -= static_cast<std::size_t>(size);
        ++rule;
    }
    std::string text;
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        if (!text.empty()) {
            text += locale.digit_group;
        }
        text += *it;
    }
    return text;
}

bool AppendDigit(ByteCount& value, char digit) {
    const auto d = static_cast<unsigned>(digit - '0');
    if (value >= kLargest / 10 && (value > kLargest / 10 || d > kLargest % 10)) {
        return false;
    }
    value = value * 10 + d;
    return true;
}

std::optional<ByteCount> ReadDecimal(std::string_view text, std::size_t& pos) {
    // 64-bit steps while they cannot overflow: 128-bit ones cost more.
    std::uint64_t small = 0;
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < 19) {
        small = small * 10 + static_cast<unsigned>(text[pos++] - '0');
    }
    if (pos == start) {
        return std::nullopt;
    }
    ByteCount value = small;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        if (!AppendDigit(value, text[pos])) {
            return std::nullopt;
        }
    }
    return value;
}

std::string DateField(const LocalTime& time, const LocaleSeparators& locale) {
    return Digits(time.day, 2) + locale.date + Digits(time.month, 2) + locale.date +
           Digits(time.year, 4);
}

std::string DateTimeField(const LocalTime& time, const LocaleSeparators& locale) {
    return Digits(time.day, 1) + '-' + Digits(time.month, 2) + '-' + Digits(time.year, 4) + ' ' +
           Digits(time.hour, 2) + locale.time + Digits(time.minute, 2) + locale.time +
           Digits(time.second, 2);
}

std::string CompactDate(const LocalTime& time) {
    return Digits(time.year, 4) + Digits(time.month, 2) + Digits(time.day, 2);
}

std::optional<LocalTime> ReadDate(std::string_view text, std::size_t& pos) {
    int v[3] = {};  // day, month, year
    if (!ReadNumbers(text, pos, {{1, 2}, {1, 2}, {4, 4}}, v) || !ValidDate(v[2], v[1], v[0])) {
        return std::nullopt;
    }
    LocalTime date;
    date.year = v[2];
    date.month = v[1];
    date.day = v[0];
    return date;
}

std::optional<LocalTime> ReadDateTime(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    std::size_t pos = 0;
    std::optional<LocalTime> time = ReadDate(text, pos);
    int v[3] = {};  // hours, minutes, seconds
    if (!time || !SkipSeparator(text, pos) ||
        !ReadNumbers(text, pos, {{1, 2}, {2, 2}, {2, 2}}, v) || pos != text.size() || v[0] > 23 ||
        v[1] > 59 || v[2] > 59) {
        return std::nullopt;
    }
    time->hour = v[0];
    time->minute = v[1];
    time->second = v[2];
    return time;
}

}  // namespace sizewalk
