#include "tracking/run_size_track.h"

#include <optional>

#include "common/globals.h"
#include "common/reports.h"
#include "common/steps.h"
#include "tracking/formats.h"

namespace sizewalk {
namespace {

// The measured size of an entry, or 0 and a name that says why not.
struct Entry {
    std::string name;
    ByteCount size = 0;
    bool failed = false;
};

// Measures every subdirectory, in order. Notes each one that cannot be
// measured on standard error; a request to stop ends the steps.
std::vector<Entry> MeasureAll(const Platform& platform, FolderListing& listing, bool& problems) {
    std::vector<Entry> entries;
    entries.reserve(listing.SubFolders().size());
    for (std::size_t index = 0; index < listing.SubFolders().size(); ++index) {
        Entry& entry = entries.emplace_back(Entry{listing.SubFolders()[index]});
        Outcome<ByteCount> size = listing.Size(index);
        if (size.ok()) {
            entry.size = size.value();
            continue;
        }
        if (size.error().number == errnum::kInterrupted) {
            throw StepFailure{size.error()};
        }
        entry.name = ScanningProblemName(entry.name, size.error().description);
        entry.failed = true;
        problems = true;
        platform.messages.Notice(ShownEntryName(entry.name));
    }
    return entries;
}

std::vector<std::string> TextReport(const std::vector<Entry>& entries, const LocalTime& now,
                                    const LocaleSeparators& locale) {
    std::vector<std::string> lines = {HeadLine(TargetDir, now, locale), ""};
    ByteCount total = 0;
    std::int32_t count = 0;
    for (const Entry& entry : entries) {
        ++count;
        total += entry.size;
        const std::string field =
            entry.failed ? std::string(kFailedSizeField) : FormatGrouped(entry.size, locale);
        for (std::string& line : EntryLines(field, ShownEntryName(entry.name), locale)) {
            lines.push_back(std::move(line));
        }
    }
    lines.insert(lines.end(), {"", TotalsLine(total, count, locale), RuleLine(), ""});
    return lines;
}

std::vector<std::string> CsvRows(const std::vector<Entry>& entries, const LocalTime& now,
                                 const LocaleSeparators& locale) {
    std::vector<std::string> rows;
    rows.reserve(entries.size());
    for (const Entry& entry : entries) {
        rows.push_back(CsvRow(now, entry.size, entry.name, locale));
    }
    return rows;
}

void StopIfAsked(const Platform& platform) {
    if (platform.stop != nullptr && platform.stop->load() != 0) {
        throw StepFailure{Interrupted(platform.stop->load())};
    }
}

// Whether the run completed with problems.
bool Run(const Platform& platform, const ProgressCallback& progress) {
    const std::optional<TrackingStyle> chosen = StyleNumbered(OutputStyle);
    if (!chosen) {
        throw StepFailure{MakeError(errnum::kInvalidArgument)};
    }
    const TrackingStyle style = *chosen;
    // Opened once: what is measured is where the file is written.
    const std::unique_ptr<Directory> directory = Take(platform.folders.OpenDirectory(TargetDir));
    // A file that cannot be written fails now, not after hours of walking.
    // The day's file is named only when the report is complete.
    const bool day_file = style == TrackingStyle::kDayText;
    const OpenMode mode = day_file ? OpenMode::kReplace : OpenMode::kAppend;
    Check(platform.files.CheckWritable(*directory,
                                       day_file ? "" : TrackingFileName(style, LocalTime{})));
    bool problems = false;
    std::vector<Entry> entries;
    {
        std::unique_ptr<FolderListing> listing =
            Take(platform.folders.GetFolder(*directory, progress));
        entries = MeasureAll(platform, *listing, problems);
    }
    StopIfAsked(platform);

    // The report is complete before the file is touched, and dated by one
    // reading of the clock: its name, its head line and its rows.
    const LocalTime now = platform.clock.Now();
    std::vector<std::string> lines = style == TrackingStyle::kCsvRows
                                         ? CsvRows(entries, now, platform.locale)
                                         : TextReport(entries, now, platform.locale);
    const std::string name = TrackingFileName(style, now);
    std::unique_ptr<OutputFile> file = Take(platform.files.Open(*directory, name, mode));
    // Decided under the file's lock, so that of two first runs one writes it.
    if (TakesHeader(style, file->IsNew())) {
        lines.insert(lines.begin(), {TitleLine, RuleLine(), ""});
    }
    Check(file->Write(lines));
    file.reset();
    if (CommandText.empty()) {
        Check(platform.editor.Open(TargetDir + name));
    }
    return problems;
}

}  // namespace

RunOutcome RunSizeTrack(const Platform& platform, const ProgressCallback& progress) {
    bool problems = false;
    if (RunReported(platform.messages, kTrackingRun, [&] { problems = Run(platform, progress); })) {
        return RunOutcome::kFatal;
    }
    return problems ? RunOutcome::kCompletedWithProblems : RunOutcome::kCompleted;
}

}  // namespace sizewalk
