// The size history as the tracking files hold it: runs in time order, and
// for each subdirectory its series of measurements.
#pragma once

#include <compare>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/byte_count.h"
#include "platform/clock_locale.h"

namespace sizewalk::history {

// A change of size. Sizes reach 2^128 - 1, so a change has the full
// magnitude and a sign of its own: no signed type holds every difference.
struct ByteChange {
    ByteCount magnitude = 0;
    bool negative = false;  // never with a magnitude of 0

    // `to` less `from`.
    static ByteChange Between(ByteCount to, ByteCount from);
    // Divided by `days`, rounded to the nearest byte, halves away from 0.
    ByteChange PerDay(std::int32_t days) const;
    double ToDouble() const;
    long double ToLongDouble() const;
    // `value` to the nearest byte, halves away from 0, at most 2^128 - 1.
    static ByteChange Rounded(long double value);

    bool operator==(const ByteChange&) const = default;
    // In the order of their values.
    std::strong_ordering operator<=>(const ByteChange& other) const;
};

// A run's time: the day, and the time of day where the file gives it (the
// text reports do, CSV rows carry the date alone).
struct When {
    std::int32_t day = 0;       // days since 1970-01-01
    std::int32_t seconds = -1;  // since midnight; -1: the date alone

    bool operator==(const When&) const = default;
};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
std::int32_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int32_t days, int& year, int& month, int& day);
// A local time as a run's time.
When WhenOf(const LocalTime& time);

struct Run {
    When when;
    std::uint32_t file = 0;  // index into History::files
    // A text report cut off before its totals line: a subdirectory it does
    // not list may still have been there.
    bool complete = true;
};

struct FileSummary {
    std::string name;
    std::uint64_t runs = 0;
    std::uint64_t skipped_lines = 0;
    std::uint64_t first_skipped_line = 0;  // counted from 1
    // Runs dated after the time of the report, left out; the first of them.
    std::uint64_t future_runs = 0;
    When first_future;
    // Why nothing of the file was read ("is UTF-16, ..."); empty when it was.
    std::string unreadable;
};

// One subdirectory's measurements, in run order. A value is the size in
// bytes, or kFailed for a scanning problem; sizes of 2^63 or more are kept
// aside in History::large and stand here as kLarge | their index there.
struct Series {
    std::string name;  // the bytes of the file, unescaped
    std::vector<std::uint32_t> runs;
    std::vector<std::uint64_t> values;
};

inline constexpr std::uint64_t kFailed = ~std::uint64_t{0};
inline constexpr std::uint64_t kLarge = std::uint64_t{1} << 63;

struct History {
    std::vector<FileSummary> files;
    std::vector<Run> runs;  // in time order
    std::vector<Series> series;
    std::vector<ByteCount> large;

    // A stored value as bytes; nothing for a failed measurement.
    std::optional<ByteCount> ValueOf(std::uint64_t stored) const {
        if (stored == kFailed) {
            return std::nullopt;
        }
        if (stored & kLarge) {
            return large[stored & ~kLarge];
        }
        return ByteCount{stored};
    }
};

// Collects what the readers find, file by file, and puts the runs of all
// files in time order at the end.
class HistoryBuilder {
  public:
    // Runs dated after `now` are left out (a clock that was wrong for a night
    // must not make them the last run for years).
    explicit HistoryBuilder(When now = {std::numeric_limits<std::int32_t>::max(), 0}) : now_(now) {}

    // Starts the next file; its runs and counts go to its summary.
    void BeginFile(std::string name);
    FileSummary& CurrentFile() { return history_.files.back(); }

    // A text report's block: its head line, its entries, and its end. A
    // block still open at the end of its file is a run in progress, or one
    // that broke off: it is left out.
    void BeginRun(When when);
    void EndRun(bool complete);
    void DropOpenRun();
    // Leaves out every run of the file begun last (it failed half read).
    void DropFile();
    // `size` is nothing for a scanning problem.
    void AddEntry(std::string_view name, std::optional<ByteCount> size);

    // A CSV row. The rows of one run follow each other, each name once, in
    // the order in which the writer lists the subdirectories (sorted): a
    // row starts a new run where its name is in the run already, where it
    // sorts before the row above, or where its date goes back or skips a
    // day (a run may cross midnight).
    void AddRow(std::int32_t day, std::string_view name, std::optional<ByteCount> size);

    History Finish();

  private:
    std::uint32_t SeriesOf(std::string_view name);
    void StartRun(When when, bool complete);
    // Whether a name that is not in the run yet comes after the one before
    // it in the order the run keeps to: bytes, as this program sorts, or
    // letters of either case alike, as Windows lists them.
    bool Follows(std::uint32_t before, std::uint32_t id);

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    History history_;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> ids_;
    // The series that followed each one in the last run: rows come in the
    // same order run after run, so most names are found by one comparison.
    std::vector<std::uint32_t> next_;
    std::uint32_t previous_ = kNone;
    std::int32_t last_day_ = 0;
    // Which of the orders (bytes, letters of either case alike) the run's
    // new names have kept to.
    bool byte_order_ = true;
    bool caseless_order_ = true;
    bool in_run_ = false;
    When now_;
    std::vector<bool> left_out_;  // by run

    static constexpr std::uint32_t kNone = ~std::uint32_t{0};
};

}  // namespace sizewalk::history
