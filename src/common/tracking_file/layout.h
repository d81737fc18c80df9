// The tracking files: their names, and the fixed texts and columns of their
// lines, which the writer (tracking/) and the reader (history/) share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/tracking_file/names.h"
#include "platform/clock_locale.h"

namespace sizewalk {

// Style 1's running text report, style 3's rows; style 2's day report is
// "Sizewalk_" with the date as yyyyMMdd and ".txt".
inline constexpr std::string_view kRunningTextFile = "Sizewalk.txt";
inline constexpr std::string_view kCsvFile = "Sizewalk.csv";
inline constexpr std::string_view kDayFilePattern = "Sizewalk_yyyyMMdd.txt";

enum class Layout {
    kCsv,   // dd/MM/yyyy,bytes,name rows
    kText,  // text reports
};

// The output styles, by the numbers the command line and OutputStyle give.
enum class TrackingStyle : std::int16_t {
    kRunningText = 1,  // a text report appended to Sizewalk.txt
    kDayText = 2,      // the day's text report, replaced whole
    kCsvRows = 3,      // rows appended to Sizewalk.csv
};
// In the order of the window's options.
inline constexpr TrackingStyle kTrackingStyles[] = {
    TrackingStyle::kRunningText, TrackingStyle::kDayText, TrackingStyle::kCsvRows};
// The style numbered `number`, if there is one.
std::optional<TrackingStyle> StyleNumbered(int number);
constexpr std::int16_t StyleNumber(TrackingStyle style) {
    return static_cast<std::int16_t>(style);
}

// The file name for a style; the day's report's carries `today`.
std::string TrackingFileName(TrackingStyle style, const LocalTime& today);
// The layout of a tracking file by its name; nothing for any other file.
std::optional<Layout> TrackingLayout(std::string_view file_name, bool ignore_case);
// Whether `file_name` is a day report's.
bool IsDayFileName(std::string_view file_name, bool ignore_case);

// The text reports. The header's first line is the title line, which has
// this between the version and the copyright line.
inline constexpr std::string_view kTitleCopyright = " ,  Copyright ";
// The rule that closes the header and every report: this many hyphens.
inline constexpr std::size_t kRuleLength = 50;
// "Directory Size Track (bytes) for '<dir>' at d-MM-yyyy hh:mm:ss"
inline constexpr std::string_view kHeadLineStart = "Directory Size Track (bytes) for '";
inline constexpr std::string_view kHeadLineAt = "' at ";
// An entry's size field starts at column 1, its name at this column
// (counted from 1, in characters where the locale's texts are UTF-8); a
// wider size field puts the name on the next line, after blanks.
inline constexpr std::size_t kNameColumn = 17;
// The size field of an entry whose scan failed: 0 as a printed number shows it.
inline constexpr std::string_view kFailedSizeField = " 0 ";
// "TOTAL: <bytes> bytes in <count> subdirectories"
inline constexpr std::string_view kTotalsStart = "TOTAL: ";
inline constexpr std::string_view kTotalsBytesIn = " bytes in ";
inline constexpr std::string_view kTotalsEnd = " subdirectories";

// In every style, the name of a subdirectory that could not be measured
// goes on with the problem: " // Scanning Problem: <description>. Directory
// size reset to zero.". No name of a directory holds a slash, so the first
// " // " ends the name.
inline constexpr std::string_view kScanningProblem = " // Scanning Problem: ";
inline constexpr std::string_view kProblemEnd = ". Directory size reset to zero.";
// The description is escaped (EscapeText, with what the file `holds`): it
// names a path, and a user who chooses the path must not bring a line break
// or a control into a file.
std::string ScanningProblemName(std::string_view name, std::string_view description,
                                const Holds& holds = {});
// The name in such a text; nothing when the text tells of no problem.
std::optional<std::string_view> NameWithProblem(std::string_view text);

}  // namespace sizewalk
