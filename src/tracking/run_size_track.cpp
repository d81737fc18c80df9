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
    ByteCount size = 0;
    bool failed = false;
};

class Measurer {
  public:
    Measurer(const Platform& platform, FolderListing& listing)
        : platform_(platform), listing_(listing) {}

    Entry Measure(std::size_t index) {
        Entry entry{listing_.SubFolders()[index]};
        Outcome<ByteCount> size = listing_.Size(index);
        if (size.ok()) {
            entry.size = size.value();
            return entry;
        }
        if (size.error().number == errnum::kInterrupted) {
            throw StepFailure{size.error()};
        }
        entry.name = ScanningProblemName(entry.name, size.error().description);
        entry.failed = true;
        problems_ = true;
        platform_.messages.Notice(ShownEntryName(entry.name));
        return entry;
    }

    bool problems() const { return problems_; }

  private:
    const Platform& platform_;
    FolderListing& listing_;
    bool problems_ = false;
};

void WriteTextReport(const Platform& platform, Measurer& measurer, std::size_t count_of_entries,
                     OutputFile& file) {
    const LocaleSeparators& locale = platform.locale;
    WriteLines(file, {HeadLine(TargetDir, platform.clock.Now(), locale), ""});
    ByteCount total = 0;
    std::int32_t count = 0;
    for (std::size_t i = 0; i < count_of_entries; ++i) {
        ++count;
        const Entry entry = measurer.Measure(i);
        total += entry.size;
        const std::string field =
            entry.failed ? std::string(kFailedSizeField) : FormatGrouped(entry.size, locale);
        WriteLines(file, EntryLines(field, ShownEntryName(entry.name), locale));
    }
    WriteLines(file, {"", TotalsLine(total, count, locale), RuleLine(), ""});
}

void WriteCsvRows(const Platform& platform, Measurer& measurer, std::size_t count_of_entries,
                  OutputFile& file) {
    for (std::size_t i = 0; i < count_of_entries; ++i) {
        const Entry entry = measurer.Measure(i);
        Check(
            file.WriteLine(CsvRow(platform.clock.Now(), entry.size, entry.name, platform.locale)));
    }
}

// Whether the run completed with problems.
bool Run(const Platform& platform, const ProgressCallback& progress) {
    const int style = OutputStyle;
    if (style < 1 || style > 3) {
        throw StepFailure{MakeError(errnum::kInvalidArgument)};
    }
    std::unique_ptr<FolderListing> listing = Take(platform.folders.GetFolder(TargetDir, progress));

    const std::string path = TargetDir + TrackingFileName(style, platform.clock.Now());
    // Dropped on any failure below, the file goes back to what it was.
    std::unique_ptr<OutputFile> file =
        Take(platform.files.Open(path, style == 2 ? OpenMode::kReplace : OpenMode::kAppend));
    // Decided under the file's lock, so that of two first runs one writes it.
    if (style == 2 || (style == 1 && file->IsNew())) {
        WriteLines(*file, {TitleLine, RuleLine(), ""});
    }
    Measurer measurer(platform, *listing);
    const std::size_t count = listing->SubFolders().size();
    if (style == 3) {
        WriteCsvRows(platform, measurer, count, *file);
    } else {
        WriteTextReport(platform, measurer, count, *file);
    }
    if (platform.stop != nullptr && platform.stop->load() != 0) {
        throw StepFailure{Interrupted(platform.stop->load())};
    }
    Check(file->Commit());
    file.reset();
    if (CommandText.empty()) {
        Check(platform.editor.Open(path));
    }
    return measurer.problems();
}

}  // namespace

RunOutcome RunSizeTrack(const Platform& platform, const ProgressCallback& progress) {
    bool problems = false;
    const Status failure = Attempt([&] { problems = Run(platform, progress); });
    if (!failure) {
        return problems ? RunOutcome::kCompletedWithProblems : RunOutcome::kCompleted;
    }
    ShowErrorReport(platform.messages, *failure, 'B');
    return RunOutcome::kFatal;
}

}  // namespace sizewalk
