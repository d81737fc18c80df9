#include "common/tracking_file/layout.h"

#include "common/tracking_file/fields.h"

namespace sizewalk {
namespace {

constexpr std::string_view kDayFileStart = "Sizewalk_";
constexpr std::string_view kDayFileEnd = ".txt";

bool SameName(std::string_view a, std::string_view b, bool ignore_case) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (ignore_case) {
            x = (x >= 'A' && x <= 'Z') ? static_cast<char>(x + 32) : x;
            y = (y >= 'A' && y <= 'Z') ? static_cast<char>(y + 32) : y;
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<TrackingStyle> StyleNumbered(int number) {
    for (const TrackingStyle style : kTrackingStyles) {
        if (StyleNumber(style) == number) {
            return style;
        }
    }
    return std::nullopt;
}

std::string TrackingFileName(TrackingStyle style, const LocalTime& today) {
    switch (style) {
        case TrackingStyle::kRunningText:
            return std::string(kRunningTextFile);
        case TrackingStyle::kDayText:
            return std::string(kDayFileStart) + CompactDate(today) + std::string(kDayFileEnd);
        case TrackingStyle::kCsvRows:
            break;
    }
    return std::string(kCsvFile);
}

bool IsDayFileName(std::string_view name, bool ignore_case) {
    const std::size_t digits = kDayFilePattern.size() - kDayFileStart.size() - kDayFileEnd.size();
    return name.size() == kDayFilePattern.size() &&
           SameName(name.substr(0, kDayFileStart.size()), kDayFileStart, ignore_case) &&
           SameName(name.substr(kDayFileStart.size() + digits), kDayFileEnd, ignore_case) &&
           name.substr(kDayFileStart.size(), digits).find_first_not_of("0123456789") ==
               std::string_view::npos;
}

std::optional<Layout> TrackingLayout(std::string_view file_name, bool ignore_case) {
    if (SameName(file_name, kCsvFile, ignore_case)) {
        return Layout::kCsv;
    }
    if (SameName(file_name, kRunningTextFile, ignore_case) ||
        IsDayFileName(file_name, ignore_case)) {
        return Layout::kText;
    }
    return std::nullopt;
}

std::string ScanningProblemName(std::string_view name, std::string_view description,
                                const Holds& holds) {
    std::string text(name);
    text += kScanningProblem;
    text += EscapeText(description, Escaping::kFile, holds);
    text += kProblemEnd;
    return text;
}

std::optional<std::string_view> NameWithProblem(std::string_view text) {
    const std::size_t problem = text.find(kScanningProblem);
    if (problem == std::string_view::npos) {
        return std::nullopt;
    }
    return text.substr(0, problem);
}

}  // namespace sizewalk
