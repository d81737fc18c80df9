// The names and line layouts of the tracking files. Pure functions: the run
// supplies the values and writes the lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "platform/clock_locale.h"
#include "platform/folder_service.h"

namespace sizewalk {

inline constexpr std::string_view kRunningTextFile = "Sizewalk.txt";
inline constexpr std::string_view kCsvFile = "Sizewalk.csv";
// The size field of an entry whose scan failed: 0 as a printed number shows it.
inline constexpr std::string_view kFailedSizeField = " 0 ";
// The name starts at this column (counted from 1).
inline constexpr std::size_t kNameColumn = 17;

// "#,0": grouped by the locale, no decimals.
std::string FormatGrouped(ByteCount value, const LocaleSeparators& locale);

// The file name for a style (1, 2 or 3); style 2 carries `today`.
std::string TrackingFileName(int style, const LocalTime& today);

// 50 hyphens.
std::string RuleLine();

// "Directory Size Track (bytes) for '<dir>' at d-MM-yyyy hh:mm:ss"
std::string HeadLine(std::string_view target_dir, const LocalTime& now,
                     const LocaleSeparators& locale);

// The size field at column 1 and the name at column 17; a field too wide for
// that puts the name on a second line. `name` is written as given.
std::vector<std::string> EntryLines(std::string_view size_field, std::string_view name,
                                    const LocaleSeparators& locale);

// "TOTAL: <total> bytes in <count> subdirectories"
std::string TotalsLine(ByteCount total, std::int32_t count, const LocaleSeparators& locale);

// "dd/MM/yyyy,<size>,<name>", the name quoted only when it must be.
std::string CsvRow(const LocalTime& today, ByteCount size, std::string_view name,
                   const LocaleSeparators& locale);

// The name of an entry whose scan failed, carrying the failure's description.
std::string ScanningProblemName(std::string_view name, std::string_view description);

}  // namespace sizewalk
