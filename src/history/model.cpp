#include "history/model.h"

#include <algorithm>
#include <cmath>

namespace sizewalk::history {
namespace {

char Fold(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

// The civil calendar algorithms of H. Hinnant ("chrono-compatible low-level
// date algorithms"), which hold for every date of the proleptic calendar.
std::int32_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int year_of_era = year - era * 400;
    const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(std::int32_t days, int& year, int& month, int& day) {
    days += 719468;
    const int era = (days >= 0 ? days : days - 146096) / 146097;
    const int day_of_era = days - era * 146097;
    const int year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int mp = (5 * day_of_year + 2) / 153;
    day = day_of_year - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = year_of_era + era * 400 + (month <= 2);
}

When WhenOf(const LocalTime& time) {
    return When{DaysFromCivil(time.year, time.month, time.day),
                (time.hour * 60 + time.minute) * 60 + time.second};
}

ByteChange ByteChange::Between(ByteCount to, ByteCount from) {
    return to >= from ? ByteChange{to - from, false} : ByteChange{from - to, true};
}

ByteChange ByteChange::PerDay(std::int32_t days) const {
    const auto divisor = static_cast<ByteCount>(days);
    ByteCount quotient = magnitude / divisor;
    // The remainder is below `days`: doubling it cannot overflow.
    if ((magnitude % divisor) * 2 >= divisor) {
        ++quotient;
    }
    return ByteChange{quotient, negative && quotient != 0};
}

double ByteChange::ToDouble() const {
    const auto value = static_cast<double>(magnitude);
    return negative ? -value : value;
}

long double ByteChange::ToLongDouble() const {
    const auto value = static_cast<long double>(magnitude);
    return negative ? -value : value;
}

ByteChange ByteChange::Rounded(long double value) {
    const long double magnitude = std::floor(std::fabs(value) + 0.5L);
    const ByteCount rounded =
        magnitude >= std::ldexp(1.0L, 128) ? ~ByteCount{0} : static_cast<ByteCount>(magnitude);
    return ByteChange{rounded, value < 0 && rounded != 0};
}

std::strong_ordering ByteChange::operator<=>(const ByteChange& other) const {
    if (negative != other.negative) {
        return other.negative <=> negative;
    }
    return negative ? other.magnitude <=> magnitude : magnitude <=> other.magnitude;
}

void HistoryBuilder::BeginFile(std::string name) {
    history_.files.emplace_back().name = std::move(name);
    in_run_ = false;
    previous_ = kNone;
}

void HistoryBuilder::StartRun(When when, bool complete) {
    history_.runs.push_back(
        Run{when, static_cast<std::uint32_t>(history_.files.size() - 1), complete});
    // A date alone was written at some time of that day: it is no later than now.
    const bool future =
        when.day > now_.day || (when.day == now_.day && when.seconds > now_.seconds);
    left_out_.push_back(future);
    FileSummary& file = CurrentFile();
    if (future && file.future_runs++ == 0) {
        file.first_future = when;
    }
    file.runs += future ? 0 : 1;
    in_run_ = true;
    previous_ = kNone;
    byte_order_ = true;
    caseless_order_ = true;
}

void HistoryBuilder::BeginRun(When when) {
    // Complete only once its totals line is read.
    StartRun(when, false);
}

void HistoryBuilder::EndRun(bool complete) {
    if (in_run_) {
        history_.runs.back().complete = complete;
    }
    in_run_ = false;
}

void HistoryBuilder::DropOpenRun() {
    if (!history_.runs.empty() && history_.runs.back().file == history_.files.size() - 1 &&
        !left_out_.back()) {
        left_out_.back() = true;
        --CurrentFile().runs;
    }
    in_run_ = false;
}

void HistoryBuilder::DropFile() {
    const std::size_t file = history_.files.size() - 1;
    for (std::size_t r = history_.runs.size(); r-- > 0 && history_.runs[r].file == file;) {
        left_out_[r] = true;
    }
    CurrentFile().runs = 0;
    in_run_ = false;
}

std::uint32_t HistoryBuilder::SeriesOf(std::string_view name) {
    if (previous_ != kNone) {
        const std::uint32_t guess = next_[previous_];
        if (guess != kNone && history_.series[guess].name == name) {
            return guess;
        }
    }
    const auto found = ids_.find(name);
    if (found != ids_.end()) {
        return found->second;
    }
    const auto id = static_cast<std::uint32_t>(history_.series.size());
    history_.series.push_back(Series{std::string(name), {}, {}});
    next_.push_back(kNone);
    ids_.emplace(std::string(name), id);
    return id;
}

void HistoryBuilder::AddEntry(std::string_view name, std::optional<ByteCount> size) {
    if (!in_run_) {
        return;
    }
    const std::uint32_t id = SeriesOf(name);
    Series& series = history_.series[id];
    const auto run = static_cast<std::uint32_t>(history_.runs.size() - 1);
    if (!series.runs.empty() && series.runs.back() == run) {
        return;  // listed twice in one run: the first stands
    }
    if (previous_ != kNone) {
        next_[previous_] = id;
    }
    previous_ = id;
    std::uint64_t stored = kFailed;
    if (size) {
        if (*size < kLarge) {
            stored = static_cast<std::uint64_t>(*size);
        } else {
            stored = kLarge | history_.large.size();
            history_.large.push_back(*size);
        }
    }
    series.runs.push_back(run);
    series.values.push_back(stored);
}

bool HistoryBuilder::Follows(std::uint32_t before, std::uint32_t id) {
    const std::string& a = history_.series[before].name;
    const std::string& b = history_.series[id].name;
    const bool caseless = std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](char c, char d) { return Fold(c) < Fold(d); });
    byte_order_ = byte_order_ && a < b;
    caseless_order_ = caseless_order_ && caseless;
    return byte_order_ || caseless_order_;
}

void HistoryBuilder::AddRow(std::int32_t day, std::string_view name,
                            std::optional<ByteCount> size) {
    const std::uint32_t id = SeriesOf(name);
    const Series& series = history_.series[id];
    const bool same_run = in_run_ && day >= last_day_ && day <= last_day_ + 1 &&
                          (series.runs.empty() || series.runs.back() != history_.runs.size() - 1) &&
                          (previous_ == kNone || Follows(previous_, id));
    if (!same_run) {
        StartRun(When{day, -1}, true);
    }
    last_day_ = day;
    AddEntry(name, size);
}

History HistoryBuilder::Finish() {
    History& h = history_;
    // A date alone sorts after every timed run of its day: the day's rows
    // were written at some time of that day.
    auto key = [&h](std::uint32_t i) {
        const When& w = h.runs[i].when;
        return std::pair{w.day, w.seconds < 0 ? 86400 : w.seconds};
    };
    std::vector<std::uint32_t> order;
    order.reserve(h.runs.size());
    for (std::uint32_t i = 0; i < h.runs.size(); ++i) {
        if (!left_out_[i]) {
            order.push_back(i);
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [&key](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::vector<std::uint32_t> rank(h.runs.size(), kNone);
    std::vector<Run> sorted(order.size());
    bool moved = order.size() != h.runs.size();
    for (std::uint32_t i = 0; i < order.size(); ++i) {
        rank[order[i]] = i;
        sorted[i] = h.runs[order[i]];
        moved |= order[i] != i;
    }
    h.runs = std::move(sorted);
    if (moved) {
        for (Series& series : h.series) {
            std::vector<std::pair<std::uint32_t, std::uint64_t>> points;
            points.reserve(series.runs.size());
            for (std::size_t i = 0; i < series.runs.size(); ++i) {
                if (rank[series.runs[i]] != kNone) {
                    points.emplace_back(rank[series.runs[i]], series.values[i]);
                }
            }
            std::sort(points.begin(), points.end());
            series.runs.resize(points.size());
            series.values.resize(points.size());
            for (std::size_t i = 0; i < points.size(); ++i) {
                series.runs[i] = points[i].first;
                series.values[i] = points[i].second;
            }
        }
        std::erase_if(h.series, [](const Series& series) { return series.runs.empty(); });
    }
    ids_.clear();
    next_.clear();
    return std::move(history_);
}

}  // namespace sizewalk::history
