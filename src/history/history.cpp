#include "history/history.h"

#include <algorithm>

#include "history/figures.h"
#include "history/reader.h"
#include "platform/paths.h"

namespace sizewalk::history {

std::string WithSeparator(std::string dir) {
    if (dir.empty() || (dir.back() != kPathSeparator && dir.back() != '/')) {
        dir += kPathSeparator;
    }
    return dir;
}

Outcome<History> LoadHistory(const std::string& dir, HistorySystem& system) {
    Outcome<std::vector<std::string>> names = system.ListFiles(dir);
    if (!names.ok()) {
        return names.error();
    }
    std::sort(names.value().begin(), names.value().end());
    HistoryBuilder builder;
    for (const std::string& name : names.value()) {
        const std::optional<Layout> layout = TrackingLayout(name, kPathSeparator == '\\');
        if (!layout) {
            continue;
        }
        Outcome<std::unique_ptr<InputFile>> file = system.OpenForReading(dir + name);
        if (!file.ok()) {
            return file.error();
        }
        builder.BeginFile(name);
        if (const Status status = ReadTrackingFile(*file.value(), *layout, builder)) {
            return *status;
        }
    }
    return builder.Finish();
}

std::string NoHistoryText(std::string_view dir) {
    return "No size history in " + std::string(dir) + " yet. Press Go to record the first one.";
}

std::int64_t LastRunEpoch(const History& history, HistorySystem& system) {
    const When& when = history.runs.back().when;
    LocalTime local;
    CivilFromDays(when.day, local.year, local.month, local.day);
    if (when.seconds > 0) {
        local.hour = when.seconds / 3600;
        local.minute = when.seconds / 60 % 60;
        local.second = when.seconds % 60;
    }
    return system.EpochSeconds(local);
}

void Report(std::string_view dir, const History& history, const ReportOptions& options,
            const Output::Sink& sink) {
    const std::vector<Figures> rows = ComputeFigures(history, options.sort);
    Output out(sink);
    WriteReport(ReportData{dir, history, rows, options}, out);
}

Outcome<std::optional<std::string>> WriteHistoryPage(const std::string& dir,
                                                     HistorySystem& system) {
    const std::string directory = WithSeparator(dir);
    Outcome<History> history = LoadHistory(directory, system);
    if (!history.ok()) {
        return history.error();
    }
    if (history.value().runs.empty()) {
        return std::optional<std::string>();
    }
    ReportOptions options;
    options.format = Format::kHtml;
    std::string page;
    Report(directory, history.value(), options, [&page](std::string_view text) { page += text; });
    Outcome<std::string> path = system.WriteTemporaryFile(".html", page);
    if (!path.ok()) {
        return path.error();
    }
    return std::optional<std::string>(path.value());
}

}  // namespace sizewalk::history
