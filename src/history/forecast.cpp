#include "history/forecast.h"

#include <algorithm>
#include <cmath>

#include "common/tracking_file/fields.h"
#include "history/text.h"
#include "platform/paths.h"

namespace sizewalk::history {
namespace {

constexpr std::int32_t kStaleDays = 7;
constexpr long double kHorizon = 100 * 365.25L * 86400;  // seconds
constexpr std::size_t kDrivers = 3;

// A name a file could give that is no entry of the directory is never
// looked up.
bool EntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string{'/', kPathSeparator}) == std::string_view::npos;
}

std::string Size(ByteCount value, bool exact) {
    return exact ? Decimal(value) + " bytes" : HumanSize(static_cast<double>(value));
}

std::string Rate(const ByteChange& value, bool exact) {
    return (exact ? SignedDecimal(value) + " bytes" : HumanChange(value.ToDouble())) + "/day";
}

}  // namespace

Forecast ComputeForecast(std::string_view dir, const History& history,
                         const std::vector<Figures>& rows, HistorySystem& system) {
    Forecast f;
    f.now = WhenOf(system.Now());
    const std::string directory(dir);
    const std::optional<FileSystemKey> home = system.FileSystemOf(directory);
    long double total = 0;
    long double growing = 0;
    bool any = false;
    for (const Figures& row : rows) {
        if (!row.listed) {
            continue;
        }
        const std::string& name = history.series[row.series].name;
        if (home && EntryName(name)) {
            const std::optional<FileSystemKey> key = system.FileSystemOf(directory + name);
            if (key && !SameFileSystem(*home, *key)) {
                f.elsewhere.push_back(row.series);
                continue;
            }
        }
        if (row.growth_fit) {
            const long double rate = row.growth_fit->ToLongDouble();
            total += rate;
            if (rate > 0) {
                growing += rate;
                f.drivers.push_back({row.series, static_cast<double>(rate)});  // a share below
            }
            any = true;
        }
    }
    if (any) {
        f.growth_per_day = ByteChange::Rounded(total);  // whole bytes up to 2^64
    }
    const Outcome<std::optional<ByteCount>> space = system.FreeSpace(directory);
    if (space.ok()) {
        f.free = space.value();
    }
    if (!space.ok()) {
        f.outlook = Outlook::kNotRead;
        f.not_read = space.error().description;
    } else if (!f.free) {
        f.outlook = Outlook::kNoFigure;
    } else if (f.now.day - history.runs.back().when.day > kStaleDays) {
        f.outlook = Outlook::kStale;
    } else if (!f.growth_per_day) {
        f.outlook = Outlook::kNoRate;
    } else if (f.growth_per_day->negative || f.growth_per_day->magnitude == 0) {
        f.outlook = Outlook::kNotFilling;
    } else {
        f.outlook = Outlook::kFilling;
        const long double left = static_cast<long double>(*f.free) / total * 86400;
        if (left <= kHorizon) {
            f.full_in_seconds = static_cast<double>(left);
            f.full_in_days = static_cast<std::int32_t>(std::floor((f.now.seconds + left) / 86400));
            f.full_on = f.now.day + f.full_in_days;
        }
    }
    if (f.outlook != Outlook::kFilling) {
        f.drivers.clear();
    }
    std::stable_sort(f.drivers.begin(), f.drivers.end(),
                     [](const Driver& a, const Driver& b) { return a.share > b.share; });
    f.drivers.resize(std::min(f.drivers.size(), kDrivers));
    for (Driver& driver : f.drivers) {
        driver.share = static_cast<double>(driver.share / growing);
    }
    return f;
}

std::string ForecastLine(std::string_view dir, const History& history, const Forecast& forecast,
                         bool exact) {
    const std::string shown = Shown(dir);
    switch (forecast.outlook) {
        case Outlook::kNotRead:
            return shown + ": no forecast, the free space of its file system could not be read (" +
                   forecast.not_read + ").";
        case Outlook::kNoFigure:
            return shown +
                   " is on a file system that reports no free space (a pseudo or network file "
                   "system): no forecast.";
        default:
            break;
    }
    std::string line =
        shown + " is on a file system with " + Size(*forecast.free, exact) + " free; ";
    switch (forecast.outlook) {
        case Outlook::kStale:
            return line + "no forecast: the last run (" + IsoDate(history.runs.back().when.day) +
                   ") is more than " + std::to_string(kStaleDays) + " days old.";
        case Outlook::kNoRate:
            return line + "no forecast: no subdirectory was measured 3 times in the last 30 days.";
        default:
            break;
    }
    line += "at " + Rate(*forecast.growth_per_day, exact) + " over the last 30 days it is ";
    if (forecast.outlook == Outlook::kNotFilling) {
        return line + "not filling.";
    }
    if (!forecast.full_in_seconds) {
        line += "full in more than 100 years";
    } else {
        line += "full in " + std::to_string(forecast.full_in_days) +
                (forecast.full_in_days == 1 ? " day (" : " days (") + IsoDate(forecast.full_on) +
                ")";
    }
    for (std::size_t i = 0; i < forecast.drivers.size(); ++i) {
        const Driver& driver = forecast.drivers[i];
        line += (i == 0 ? ", mostly from " : ", ") + Shown(history.series[driver.series].name) +
                " (" + std::to_string(std::lround(driver.share * 100)) + "%)";
    }
    return line + ".";
}

std::string LeftOutLine(const History& history, const Forecast& forecast) {
    std::string line;
    for (const std::uint32_t series : forecast.elsewhere) {
        line += (line.empty() ? "Left out of the forecast, on other file systems: " : ", ") +
                Shown(history.series[series].name);
    }
    return line.empty() ? line : line + ".";
}

}  // namespace sizewalk::history
