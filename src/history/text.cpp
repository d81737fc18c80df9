#include "history/text.h"

#include <charconv>
#include <cmath>
#include <iterator>

#include "common/text.h"
#include "common/tracking_file/fields.h"
#include "common/tracking_file/names.h"

namespace sizewalk::history {
namespace {

std::string Digits(int value, int width) {
    std::string text = std::to_string(value);
    if (text.size() < static_cast<std::size_t>(width)) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    }
    return text;
}

}  // namespace

std::string Shown(std::string_view name) {
    return EscapeText(name, Escaping::kShown);
}

std::string Truncated(std::string_view text, std::size_t columns) {
    if (CharacterCount(text) <= columns) {
        return std::string(text);
    }
    std::size_t end = 0;
    for (std::size_t kept = 0; kept + 1 < columns; ++kept) {
        end += CharacterBytes(text, end);
    }
    return std::string(text.substr(0, end)) + "…";
}

std::string IsoDate(std::int32_t day) {
    int year = 0;
    int month = 0;
    int day_of_month = 0;
    CivilFromDays(day, year, month, day_of_month);
    return Digits(year, 4) + "-" + Digits(month, 2) + "-" + Digits(day_of_month, 2);
}

std::string IsoWhen(const When& when) {
    std::string text = IsoDate(when.day);
    if (when.seconds >= 0) {
        text += 'T';
        text += Digits(when.seconds / 3600, 2);
        text += ':';
        text += Digits(when.seconds / 60 % 60, 2);
        text += ':';
        text += Digits(when.seconds % 60, 2);
    }
    return text;
}

std::string SignedDecimal(const ByteChange& value) {
    if (value.magnitude == 0) {
        return "0";
    }
    std::string text(1, value.negative ? '-' : '+');
    return text += Decimal(value.magnitude);
}

std::string Fixed(double value, int decimals) {
    char text[400];
    const auto [end, error] =
        std::to_chars(std::begin(text), std::end(text), value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text, end) : "";
}

std::string HumanSize(double bytes) {
    if (std::fabs(bytes) < 1024) {
        return Fixed(bytes, 0) + " " + kBinaryUnits[0];
    }
    double scaled = bytes / 1024;
    std::size_t unit = 1;
    // Rounding may carry into the next unit: 1023.96 KiB shows as 1.0 MiB.
    while (std::fabs(scaled) >= 1023.95 && unit + 1 < std::size(kBinaryUnits)) {
        scaled /= 1024;
        ++unit;
    }
    return Fixed(scaled, 1) + " " + kBinaryUnits[unit];
}

std::string HumanChange(double bytes) {
    if (std::fabs(bytes) < 0.5) {
        return "0 B";
    }
    std::string text = bytes > 0 ? "+" : "";
    text += HumanSize(bytes);
    return text;
}

}  // namespace sizewalk::history
