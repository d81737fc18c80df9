#include "tracking/formats.h"

#include "common/text.h"

namespace sizewalk {
namespace {

// `name` escaped, a scanning problem after it kept, which is escaped already.
std::string EscapedName(std::string_view name, Escaping escaping, const Holds& holds) {
    const std::string_view bare = NameWithProblem(name).value_or(name);
    return EscapeText(bare, escaping, holds) + std::string(name.substr(bare.size()));
}

}  // namespace

bool TakesHeader(TrackingStyle style, bool new_file) {
    return style == TrackingStyle::kDayText || (style == TrackingStyle::kRunningText && new_file);
}

std::string RuleLine() {
    return std::string(kRuleLength, '-');
}

std::string HeadLine(std::string_view target_dir, const LocalTime& now,
                     const LocaleSeparators& locale, const Holds& holds) {
    return std::string(kHeadLineStart) + EscapeText(target_dir, Escaping::kFile, holds) +
           std::string(kHeadLineAt) + DateTimeField(now, locale);
}

std::string ShownEntryName(std::string_view name, const Holds& holds) {
    return EscapedName(name, Escaping::kFile, holds);
}

std::string CsvName(std::string_view name, const Holds& holds) {
    return kCsvNamesEscaped ? EscapedName(name, Escaping::kLacking, holds) : std::string(name);
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
    return std::string(kTotalsStart) + FormatGrouped(total, locale) + std::string(kTotalsBytesIn) +
           FormatGrouped(static_cast<unsigned>(count), locale) + std::string(kTotalsEnd);
}

std::string CsvRow(const LocalTime& today, ByteCount size, std::string_view name,
                   const LocaleSeparators& locale) {
    return DateField(today, locale) + ',' + Decimal(size) + ',' + CsvField(name);
}

}  // namespace sizewalk
