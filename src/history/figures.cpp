#include "history/figures.h"

#include <algorithm>

namespace sizewalk::history {
namespace {

constexpr std::uint32_t kNoRun = ~std::uint32_t{0};  // one before the first

class Timeline {
  public:
    explicit Timeline(const History& history) : history_(history) {}

    // The size of `series` at run `run`: as measured there; 0 when a
    // complete run did not list it; nothing when not known (a scanning
    // problem, a run cut off, no such run). Never a size of another run: a
    // figure labelled 7 days spans 7 days.
    std::optional<ByteCount> SizeAt(const Series& series, std::int64_t run) const {
        const auto at = std::lower_bound(series.runs.begin(), series.runs.end(), run);
        if (at != series.runs.end() && *at == run) {
            return history_.ValueOf(
                series.values[static_cast<std::size_t>(at - series.runs.begin())]);
        }
        if (run < 0 || !history_.runs[static_cast<std::size_t>(run)].complete) {
            return std::nullopt;
        }
        return ByteCount{0};
    }

    // The last run of the latest day at least `days` days before the last run.
    std::optional<std::uint32_t> RunDaysBefore(std::int32_t days) const {
        const std::int32_t day = history_.runs.back().when.day - days;
        const auto after =
            std::upper_bound(history_.runs.begin(), history_.runs.end(), day,
                             [](std::int32_t d, const Run& run) { return d < run.when.day; });
        if (after == history_.runs.begin()) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(after - history_.runs.begin() - 1);
    }

  private:
    const History& history_;
};

// The slope through the measurements from run `first` on, with the days
// counted from the last run and each size taken relative to the first one,
// so that sizes past 2^64 keep their changes of a few bytes. Two passes: the
// means first, then the sums of the deviations, which do not cancel out.
// `points` is room to reuse.
std::optional<ByteChange> FittedGrowth(const History& history, const Series& series,
                                       std::uint32_t first,
                                       std::vector<std::pair<long double, long double>>& points) {
    const std::int32_t last_day = history.runs.back().when.day;
    points.clear();
    std::optional<ByteCount> base;
    long double mean_x = 0;
    long double mean_y = 0;
    for (auto p = static_cast<std::size_t>(
             std::lower_bound(series.runs.begin(), series.runs.end(), first) - series.runs.begin());
         p < series.runs.size(); ++p) {
        const std::optional<ByteCount> value = history.ValueOf(series.values[p]);
        if (!value) {
            continue;
        }
        const When& when = history.runs[series.runs[p]].when;
        const long double x = static_cast<long double>(when.day - last_day) +
                              static_cast<long double>(std::max(when.seconds, 0)) / 86400;
        const ByteChange change = ByteChange::Between(*value, base.value_or(*value));
        base = base.value_or(*value);
        const long double y = change.ToLongDouble();
        points.emplace_back(x, y);
        mean_x += x;
        mean_y += y;
    }
    if (points.size() < 3) {
        return std::nullopt;
    }
    mean_x /= static_cast<long double>(points.size());
    mean_y /= static_cast<long double>(points.size());
    long double xx = 0;
    long double xy = 0;
    for (const auto& [x, y] : points) {
        xx += (x - mean_x) * (x - mean_x);
        xy += (x - mean_x) * (y - mean_y);
    }
    if (xx == 0) {
        return std::nullopt;  // all at one time
    }
    return ByteChange::Rounded(xy / xx);
}

std::optional<ByteChange> Change(const std::optional<ByteCount>& now,
                                 const std::optional<ByteCount>& then) {
    if (!now || !then) {
        return std::nullopt;
    }
    return ByteChange::Between(*now, *then);
}

}  // namespace

std::vector<Figures> ComputeFigures(const History& history, SortKey order) {
    const Timeline timeline(history);
    const auto last = static_cast<std::uint32_t>(history.runs.size() - 1);
    const std::optional<std::uint32_t> week = timeline.RunDaysBefore(7);
    const std::optional<std::uint32_t> month = timeline.RunDaysBefore(30);
    // The runs of the last 30 days: those after the last one of the day before.
    const std::uint32_t window = timeline.RunDaysBefore(31).value_or(kNoRun) + 1;
    std::vector<std::pair<long double, long double>> points;
    std::vector<Figures> all;
    all.reserve(history.series.size());
    for (std::uint32_t i = 0; i < history.series.size(); ++i) {
        const Series& series = history.series[i];
        Figures f;
        f.series = i;
        for (std::size_t p = series.runs.size(); p-- > 0;) {
            if (const auto value = history.ValueOf(series.values[p])) {
                f.latest = value;
                f.latest_run = series.runs[p];
                break;
            }
        }
        f.listed = series.runs.back() == last;
        f.measured = f.listed && series.values.back() != kFailed;
        const std::optional<ByteCount> now = timeline.SizeAt(series, last);
        if (last > 0) {
            f.change_previous = Change(now, timeline.SizeAt(series, last - 1));
        }
        if (week) {
            f.change_7_days = Change(now, timeline.SizeAt(series, *week));
        }
        if (month) {
            f.change_30_days = Change(now, timeline.SizeAt(series, *month));
            const std::int32_t days = history.runs[last].when.day - history.runs[*month].when.day;
            if (f.change_30_days) {
                f.growth_per_day = f.change_30_days->PerDay(days);
            }
        }
        if (f.listed) {
            f.growth_fit = FittedGrowth(history, series, window, points);
        }
        f.growth = f.change_30_days.value_or(ByteChange{});
        if (!f.change_30_days) {
            for (std::size_t p = 0; p < series.values.size(); ++p) {
                if (const auto first = history.ValueOf(series.values[p])) {
                    f.growth = ByteChange::Between(now.value_or(0), *first);
                    break;
                }
            }
        }
        if (series.runs.front() > 0) {
            f.new_since = series.runs.front();
        }
        if (!f.listed) {
            // The first complete run after its last appearance.
            for (std::uint32_t r = series.runs.back() + 1; r <= last; ++r) {
                if (history.runs[r].complete) {
                    f.gone_since = r;
                    break;
                }
            }
        }
        all.push_back(std::move(f));
    }
    auto by_name = [&history](const Figures& a, const Figures& b) {
        return history.series[a.series].name < history.series[b.series].name;
    };
    auto by_size = [&](const Figures& a, const Figures& b) {
        const ByteCount size_a = a.latest.value_or(0);
        const ByteCount size_b = b.latest.value_or(0);
        return size_a != size_b ? size_a > size_b : by_name(a, b);
    };
    auto by_change = [&](const Figures& a, const Figures& b) {
        if (a.change_30_days.has_value() != b.change_30_days.has_value()) {
            return a.change_30_days.has_value();
        }
        if (a.change_30_days != b.change_30_days) {
            return *a.change_30_days > *b.change_30_days;
        }
        return by_size(a, b);
    };
    switch (order) {
        case SortKey::kName:
            std::sort(all.begin(), all.end(), by_name);
            break;
        case SortKey::kSize:
            std::sort(all.begin(), all.end(), by_size);
            break;
        case SortKey::kChange:
            std::sort(all.begin(), all.end(), by_change);
            break;
    }
    return all;
}

}  // namespace sizewalk::history
