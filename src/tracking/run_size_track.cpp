#include "tracking/run_size_track.h"

#include "common/globals.h"
#include "common/reports.h"
#include "common/steps.h"
#include "tracking/formats.h"

namespace sizewalk {
namespace {

void WriteLines(OutputFile& file, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        Check(file.WriteLine(line));
    }
}

// The measured size of entry `index`, or 0 and a name that says why not.
struct Entry {
    std::string name;
    std::uint64_t size = 0;
    bool failed = false;
};

Entry MeasureEntry(FolderListing& listing, std::size_t index) {
    Entry entry{listing.SubFolders()[index]};
    Outcome<std::uint64_t> size = listing.Size(index);
    if (size.ok()) {
        entry.size = size.value();
    } else {
        entry.name = ScanningProblemName(entry.name, size.error().description);
        entry.failed = true;
    }
    return entry;
}

void WriteTextReport(const Platform& platform, FolderListing& listing, OutputFile& file) {
    const LocaleSeparators& locale = platform.locale;
    WriteLines(file, {HeadLine(TargetDir, platform.clock.Now(), locale), ""});
    std::uint64_t total = 0;
    std::int32_t count = 0;
    for (std::size_t i = 0; i < listing.SubFolders().size(); ++i) {
        ++count;
        const Entry entry = MeasureEntry(listing, i);
        total += entry.size;
        const std::string field =
            entry.failed ? std::string(kFailedSizeField) : FormatGrouped(entry.size, locale);
        WriteLines(file, EntryLines(field, EscapeControlCharacters(entry.name), locale));
    }
    WriteLines(file, {"", TotalsLine(total, count, locale), RuleLine(), ""});
}

void WriteCsvRows(const Platform& platform, FolderListing& listing, OutputFile& file) {
    for (std::size_t i = 0; i < listing.SubFolders().size(); ++i) {
        const Entry entry = MeasureEntry(listing, i);
        Check(
            file.WriteLine(CsvRow(platform.clock.Now(), entry.size, entry.name, platform.locale)));
    }
}

void Run(const Platform& platform, const ProgressCallback& progress) {
    const int style = OutputStyle;
    if (style < 1 || style > 3) {
        throw StepFailure{MakeError(errnum::kInvalidArgument)};
    }
    std::unique_ptr<FolderListing> listing = Take(platform.folders.GetFolder(TargetDir, progress));

    const std::string path = TargetDir + TrackingFileName(style, platform.clock.Now());
    bool header_present = style == 3;
    if (style == 1) {
        header_present = Take(platform.files.Exists(path));
    }
    std::unique_ptr<OutputFile> file =
        Take(platform.files.Open(path, style == 2 ? OpenMode::kOutput : OpenMode::kAppend));
    if (!header_present) {
        WriteLines(*file, {TitleLine, RuleLine(), ""});
    }
    if (style == 3) {
        WriteCsvRows(platform, *listing, *file);
    } else {
        WriteTextReport(platform, *listing, *file);
    }
    Check(file->Close());
    if (CommandText.empty()) {
        Check(platform.editor.Open(path));
    }
}

}  // namespace

RunOutcome RunSizeTrack(const Platform& platform, const ProgressCallback& progress) {
    const Status failure = Attempt([&] { Run(platform, progress); });
    if (!failure) {
        return RunOutcome::kCompleted;
    }
    ShowErrorReport(platform.messages, *failure, 'B');
    return RunOutcome::kFatal;
}

}  // namespace sizewalk
