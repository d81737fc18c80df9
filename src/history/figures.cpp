#include "history/figures.h"

#include <algorithm>

namespace sizewalk::history {
namespace {

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
