#include "history/history.h"

#include <algorithm>
#include <chrono>

#include "history/figures.h"
#include "history/forecast.h"
#include "history/reader.h"
#include "platform/paths.h"

namespace sizewalk::history {

std::string WithSeparator(std::string dir) {
    if (dir.empty() || (dir.back() != kPathSeparator && dir.back() != '/')) {
        dir += kPathSeparator;
    }
    return dir;
}

namespace {

// How long a run that writes a tracking file is waited for: one write of a
// whole report, or an older version's run that holds it longer.
constexpr std::chrono::seconds kBusyWait{10};

std::string NotRead(FileKind kind) {
    switch (kind) {
        case FileKind::kRegular:
            break;
        case FileKind::kLink:
            return "a symbolic link, not read";
        case FileKind::kDirectory:
            return "a directory, not read";
        case FileKind::kOther:
            return "not a regular file (a FIFO, a socket or a device), not read";
    }
    return "";
}

// Reads one listed tracking file into `builder`, which has begun it; what
// keeps it from being read goes to its summary.
void ReadOne(const std::string& path, const ListedFile& entry, Layout layout, HistorySystem& system,
             HistoryBuilder& builder) {
    FileSummary& summary = builder.CurrentFile();
    if (entry.kind != FileKind::kRegular) {
        summary.unreadable = NotRead(entry.kind);
        return;
    }
    Outcome<std::unique_ptr<InputFile>> file = system.OpenForReading(path, kBusyWait);
    if (!file.ok()) {
        const std::string& why = file.error().description;
        summary.unreadable = why.ends_with(kFileBusy)
                                 ? "being written by a run for more than " +
                                       std::to_string(kBusyWait.count()) + " seconds, not read"
                                 : "not read: " + why;
        return;
    }
    // Anyone who may write into the directory could have put it there.
    if (!file.value()->TrustedOwner()) {
        summary.unreadable =
            "owned by another user (not by you, the directory's owner or root), "
            "not read";
        return;
    }
    if (const Status status = ReadTrackingFile(*file.value(), layout, builder)) {
        builder.DropFile();
        builder.CurrentFile().unreadable = "not read: " + status->description;
    }
}

}  // namespace

Outcome<History> LoadHistory(const std::string& dir, HistorySystem& system) {
    Outcome<std::vector<ListedFile>> entries = system.ListFiles(dir);
    if (!entries.ok()) {
        return entries.error();
    }
    std::sort(entries.value().begin(), entries.value().end(),
              [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; });
    HistoryBuilder builder(WhenOf(system.Now()));
    for (const ListedFile& entry : entries.value()) {
        const std::optional<Layout> layout = TrackingLayout(entry.name, kPathSeparator == '\\');
        if (layout) {
            builder.BeginFile(entry.name);
            ReadOne(dir + entry.name, entry, *layout, system, builder);
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
            HistorySystem& system, const Output::Sink& sink) {
    const std::vector<Figures> rows = ComputeFigures(history, options.sort);
    const Forecast forecast = ComputeForecast(dir, history, rows, system);
    Output out(sink);
    WriteReport(ReportData{dir, history, rows, forecast, options}, out);
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
    Report(directory, history.value(), options, system,
           [&page](std::string_view text) { page += text; });
    Outcome<std::string> path = system.WriteTemporaryFile(".html", page);
    if (!path.ok()) {
        return path.error();
    }
    return std::optional<std::string>(path.value());
}

}  // namespace sizewalk::history
