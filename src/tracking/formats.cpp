#include "tracking/formats.h"

#include <climits>

namespace sizewalk {
namespace {

std::string Decimal(ByteCount value) {
    char digits[40];  // 2^128 has 39
    char* const end = digits + sizeof digits;
    char* first = end;
    do {
        *--first = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    return std::string(first, end);
}

std::string TwoDigits(int value) {
    std::string text = Decimal(static_cast<unsigned>(value));
    return text.size() < 2 ? "0" + text : text;
}

std::string FourDigits(int value) {
    std::string text = Decimal(static_cast<unsigned>(value));
    return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

}  // namespace

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

std::string TrackingFileName(int style, const LocalTime& today) {
    switch (style) {
        case 1:
            return std::string(kRunningTextFile);
        case 2:
            return "Sizewalk_" + FourDigits(today.year) + TwoDigits(today.month) +
                   TwoDigits(today.day) + ".txt";
        default:
            return std::string(kCsvFile);
    }
}

std::string RuleLine() {
    return std::string(50, '-');
}

std::string HeadLine(std::string_view target_dir, const LocalTime& now,
                     const LocaleSeparators& locale) {
    std::string line = "Directory Size Track (bytes) for '";
    line += EscapeControlCharacters(target_dir);
    line += "' at ";
    line += Decimal(static_cast<unsigned>(now.day));
    line += '-' + TwoDigits(now.month) + '-' + FourDigits(now.year) + ' ';
    line += TwoDigits(now.hour) + locale.time + TwoDigits(now.minute) + locale.time +
            TwoDigits(now.second);
    return line;
}

std::vector<std::string> EntryLines(std::string_view size_field, std::string_view name,
                                    const LocaleSeparators& locale) {
    const std::size_t width = locale.utf8 ? CharacterCount(size_field) : size_field.size();
    const std::size_t field_columns = kNameColumn - 1;
    if (width > field_columns) {
        return {std::string(size_field), std::string(field_columns, ' ') + std::string(name)};
    }
    std::string line(size_field);
    line.append(field_columns - width, ' ');
    line += name;
    return {line};
}

std::string TotalsLine(ByteCount total, std::int32_t count, const LocaleSeparators& locale) {
    return "TOTAL: " + FormatGrouped(total, locale) + " bytes in " +
           FormatGrouped(static_cast<unsigned>(count), locale) + " subdirectories";
}

std::string CsvRow(const LocalTime& today, ByteCount size, std::string_view name,
                   const LocaleSeparators& locale) {
    return TwoDigits(today.day) + locale.date + TwoDigits(today.month) + locale.date +
           FourDigits(today.year) + ',' + Decimal(size) + ',' + CsvField(name);
}

std::string ScanningProblemName(std::string_view name, std::string_view description) {
    std::string text(name);
    text += " // Scanning Problem: ";
    text += description;
    text += ". Directory size reset to zero.";
    return text;
}

}  // namespace sizewalk
