// What the report says of each subdirectory: its latest size and how it
// changed since the previous run, over the last 7 and 30 days.
#pragma once

#include <optional>
#include <vector>

#include "history/model.h"

namespace sizewalk::history {

struct Figures {
    std::uint32_t series = 0;  // index into History::series
    // The last measurement and its run; nothing when none succeeded.
    std::optional<ByteCount> latest;
    std::uint32_t latest_run = 0;
    bool listed = false;    // in the last run
    bool measured = false;  // listed and measured in the last run
    // The size at the last run less the size at the previous run, at the
    // last run of the day 7 (30) days before; nothing where a size is not
    // known or the history is shorter.
    std::optional<ByteChange> change_previous;
    std::optional<ByteChange> change_7_days;
    std::optional<ByteChange> change_30_days;
    std::optional<ByteChange> growth_per_day;  // over the 30 days' span, rounded
    // The least-squares slope of its measurements in the last 30 days, in
    // bytes a day, rounded: one odd night bends it little. Nothing with fewer
    // than 3 measurements, or when it is not in the last run.
    std::optional<ByteChange> growth_fit;
    // What the chart picks its lines by: the change over 30 days, or over
    // the whole history where that is shorter.
    ByteChange growth;
    // The run where it first appeared, when that is not the first run; the
    // run where it was first missing after its last appearance.
    std::optional<std::uint32_t> new_since;
    std::optional<std::uint32_t> gone_since;
};

enum class SortKey {
    kChange,  // the change over 30 days, largest growth first
    kSize,    // the latest size, largest first
    kName,    // the names' bytes
};

// The figures of every subdirectory of a history with at least one run.
std::vector<Figures> ComputeFigures(const History& history, SortKey order);

}  // namespace sizewalk::history
