// The lines of the tracking files, as the run writes them: composed from
// the file format's fields and fixed texts (common/tracking_file/), which
// the history reads back. Pure functions: the run supplies the values and
// writes the lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/tracking_file/fields.h"
#include "common/tracking_file/layout.h"
#include "common/tracking_file/names.h"
#include "platform/clock_locale.h"

namespace sizewalk {

// Whether a block of `style` starts with the header (title, rule, empty
// line): the day's report always, the running report in a new or empty
// file, the rows never.
bool TakesHeader(TrackingStyle style, bool new_file);

// 50 hyphens.
std::string RuleLine();

// "Directory Size Track (bytes) for '<dir>' at d-MM-yyyy hh:mm:ss", the
// directory escaped with what the file `holds`.
std::string HeadLine(std::string_view target_dir, const LocalTime& now,
                     const LocaleSeparators& locale, const Holds& holds = {});

// An entry's name as the text reports and standard error show it: escaped
// (EscapeText, with what the file `holds`), a scanning problem after it
// kept, which is escaped already.
std::string ShownEntryName(std::string_view name, const Holds& holds = {});

// The same in a CSV row, before its quoting: the name's bytes, or, where
// CSV names are escaped (kCsvNamesEscaped), escaped as far as they must be.
std::string CsvName(std::string_view name, const Holds& holds);

// The size field at column 1 and the name at column 17; a field too wide for
// that puts the name on a second line. `name` is written as given.
std::vector<std::string> EntryLines(std::string_view size_field, std::string_view name,
                                    const LocaleSeparators& locale);

// "TOTAL: <total> bytes in <count> subdirectories"
std::string TotalsLine(ByteCount total, std::int32_t count, const LocaleSeparators& locale);

// "dd/MM/yyyy,<size>,<name>", the name quoted only when it must be. `name`
// is given as the file holds it (FileService::Encode), so that its quoting
// and its formula guard are decided on the bytes written.
std::string CsvRow(const LocalTime& today, ByteCount size, std::string_view name,
                   const LocaleSeparators& locale);

}  // namespace sizewalk
