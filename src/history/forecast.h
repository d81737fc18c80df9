// When the disk fills up and who fills it: the subdirectories' fitted growth
// against the free space of the file system that holds the directory, read
// at the time of the report.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/figures.h"
#include "history/model.h"
#include "platform/history_system.h"

namespace sizewalk::history {

enum class Outlook {
    kFilling,
    kNotFilling,
    kNoRate,    // no subdirectory with 3 measurements in the last 30 days
    kStale,     // the last run is more than 7 days old
    kNoFigure,  // the file system gives no free space
    kNotRead,   // the free space could not be read
};

struct Driver {
    std::uint32_t series = 0;
    double share = 0;  // of the growth of those that grow, 0 to 1
};

struct Forecast {
    Outlook outlook = Outlook::kNoRate;
    std::string not_read;  // why, for kNotRead
    std::optional<ByteCount> free;
    // The sum of the fitted rates of the subdirectories on that file system;
    // nothing where none has one.
    std::optional<ByteChange> growth_per_day;
    // While filling, where it is full within 100 years: how long from now,
    // that day, and how many days after today.
    std::optional<double> full_in_seconds;
    std::int32_t full_on = 0;
    std::int32_t full_in_days = 0;
    When now;
    std::vector<Driver> drivers;  // while filling, the three that grow most
    // Subdirectories of the last run on other file systems, left out.
    std::vector<std::uint32_t> elsewhere;
};

Forecast ComputeForecast(std::string_view dir, const History& history,
                         const std::vector<Figures>& rows, HistorySystem& system);

// The report's first line: "/srv/data/ is on a file system with 412.3 GiB
// free; at +8.8 GiB/day over the last 30 days it is full in 47 days
// (2027-01-23), mostly from backup (61%), home (22%), projects (9%)."
std::string ForecastLine(std::string_view dir, const History& history, const Forecast& forecast,
                         bool exact);
// "Left out of the forecast, on other file systems: media, scratch."; empty
// where none is.
std::string LeftOutLine(const History& history, const Forecast& forecast);

}  // namespace sizewalk::history
