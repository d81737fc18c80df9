#include "tracking/run_size_track.h"

#include <optional>

#include "common/globals.h"
#include "common/reports.h"
#include "common/steps.h"
#include "tracking/formats.h"

namespace sizewalk {
namespace {

// The measured size of an entry, or 0 and the problem that says why not.
struct Entry {
    std::string name;
    ByteCount size = 0;
    std::optional<std::string> problem;

    // The name, with the problem after it, its description escaped with what
    // the file `holds`.
    std::string Text(const Holds& holds = {}) const {
        return problem ? ScanningProblemName(name, *problem, holds) : name;
    }
};

// Measures every subdirectory, in order. Notes each one that cannot be
// measured on standard error; a request to stop ends the steps.
std::vector<Entry> MeasureAll(const Platform& platform, FolderListing& listing, bool& problems) {
    std::vector<Entry> entries;
    entries.reserve(listing.SubFolders().size());
    for (std::size_t index = 0; index < listing.SubFolders().size(); ++index) {
        Entry& entry = entries.emplace_back();
        entry.name = listing.SubFolders()[index];
        Outcome<ByteCount> size = listing.Size(index);
        if (size.ok()) {
            entry.size = size.value();
            continue;
        }
        if (size.error().number == errnum::kInterrupted) {
            throw StepFailure{size.error()};
        }
        entry.problem = size.error().description;
        problems = true;
        platform.messages.Notice(ShownEntryName(entry.Text()));
    }
    return entries;
}

// The lines of a report are composed in UTF-8, with escapes for what the
// file lacks, then encoded as the file holds them.
std::vector<std::string> TextReport(const std::vector<Entry>& entries, const LocalTime& now,
                                    const Platform& platform, const Holds& holds) {
    const LocaleSeparators& locale = platform.locale;
    std::vector<std::string> lines = {HeadLine(TargetDir, now, locale, holds), ""};
    ByteCount total = 0;
    for (const Entry& entry : entries) {
        total += entry.size;
        const std::string field =
            entry.problem ? std::string(kFailedSizeField) : FormatGrouped(entry.size, locale);
        for (std::string& line :
             EntryLines(field, ShownEntryName(entry.Text(holds), holds), locale)) {
            lines.push_back(std::move(line));
        }
    }
    const auto count = static_cast<std::int32_t>(entries.size());
    lines.insert(lines.end(), {"", TotalsLine(total, count, locale), RuleLine(), ""});
    for (std::string& line : lines) {
        line = platform.files.Encode(line);
    }
    return lines;
}

// A CSV name's quoting is decided on the bytes the file holds. (No
// character of a Windows code page has a comma, a quote, CR or LF among its
// bytes, or a guard character first, so the reader, which sees characters,
// decides alike.)
std::vector<std::string> CsvRows(const std::vector<Entry>& entries, const LocalTime& now,
                                 const Platform& platform, const Holds& holds) {
    std::vector<std::string> rows;
    rows.reserve(entries.size());
    for (const Entry& entry : entries) {
        const std::string name = platform.files.Encode(CsvName(entry.Text(holds), holds));
        rows.push_back(CsvRow(now, entry.size, name, platform.locale));
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
    const Holds holds = [&files = platform.files](std::string_view c) { return files.Holds(c); };
    std::vector<std::string> lines = style == TrackingStyle::kCsvRows
                                         ? CsvRows(entries, now, platform, holds)
                                         : TextReport(entries, now, platform, holds);
    const std::string name = TrackingFileName(style, now);
    std::unique_ptr<OutputFile> file = Take(platform.files.Open(*directory, name, mode));
    // Decided under the file's lock, so that of two first runs one writes it.
    if (TakesHeader(style, file->IsNew())) {
        const std::string title = EscapeText(TitleLine, Escaping::kLacking, holds);
        lines.insert(lines.begin(), {platform.files.Encode(title), RuleLine(), ""});
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
