#include "window/form1.h"

#include <algorithm>
#include <thread>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "common/steps.h"
#include "common/tracking_file/layout.h"
#include "history/history.h"
#include "platform/paths.h"
#include "tracking/run_size_track.h"

namespace sizewalk {
namespace {

// Hands the run's folder service through, telling how many subdirectories
// the run is about to measure and each one measured.
class CountingFolders final : public FolderService {
  public:
    using Count = std::function<void(std::size_t)>;
    CountingFolders(FolderService& inner, Count listed, Count measured)
        : inner_(inner), listed_(std::move(listed)), measured_(std::move(measured)) {}

    Outcome<std::unique_ptr<Directory>> OpenDirectory(const std::string& path) override {
        return inner_.OpenDirectory(path);
    }
    Outcome<std::unique_ptr<FolderListing>> GetFolder(const Directory& directory,
                                                      ProgressCallback progress) override {
        Outcome<std::unique_ptr<FolderListing>> listing =
            inner_.GetFolder(directory, std::move(progress));
        if (!listing.ok()) {
            return listing;
        }
        listed_(listing.value()->SubFolders().size());
        return std::unique_ptr<FolderListing>(
            std::make_unique<Counted>(std::move(listing.value()), measured_));
    }

  private:
    class Counted final : public FolderListing {
      public:
        Counted(std::unique_ptr<FolderListing> inner, Count measured)
            : inner_(std::move(inner)), measured_(std::move(measured)) {}
        const std::vector<std::string>& SubFolders() const override { return inner_->SubFolders(); }
        Outcome<ByteCount> Size(std::size_t index) override {
            Outcome<ByteCount> size = inner_->Size(index);
            measured_(index + 1);
            return size;
        }

      private:
        std::unique_ptr<FolderListing> inner_;
        Count measured_;
    };

    FolderService& inner_;
    Count listed_;
    Count measured_;
};

}  // namespace

Form1::Form1(Form1Controls& controls, const WindowServices& services)
    : controls_(controls),
      services_(services),
      drives_(services.volumes),
      directories_(services.volumes) {
    const Outcome<std::string> cwd = services_.volumes.CurrentDirectory();
    const std::string start = cwd.ok() ? cwd.value() : std::string(1, kPathSeparator);
    drives_.Refresh();
    if (!drives_.SelectHolding(start)) {
        drives_.Select(0);  // a current directory on no listed volume
    }
    directories_.SetInitialPath(start, drives_.CurrentRoot());
    controls_.ShowDrives(drives_);
    controls_.ShowDirectories(directories_);
}

void Form1::Form_Load() {
    RunReported(messages(), kWindowLoad, [&] {
        controls_.SetCaption(TitleLine);
        Check(SetDirectory(drives_.CurrentRoot()));
        SetDirLabel(directories_.path());
    });
}

void Form1::cmbDrive_Change() {
    Status not_ready;
    RunReported(messages(), kDriveChange, [&] {
        Status failure = SetDirectory(drives_.CurrentRoot());
        // Said by its description alone, and undone, instead of reported.
        if (failure && failure->number == errnum::kDeviceUnavailable) {
            not_ready = std::move(failure);
            return;
        }
        Check(failure);
        SetDirLabel(directories_.path());
    });
    if (not_ready) {
        messages().Show(not_ready->description, MessageIcon::kWarning, MessageTitle);
        // Back to the volume of the directory shown before: a change, so
        // this handler runs again, nested, on that volume.
        SetDriveHolding(dir_caption_);
    }
}

void Form1::lstDir_Change() {
    RunReported(messages(), kDirectoryChange, [&] { SetDirLabel(directories_.path()); });
}

void Form1::DriveListOpening() {
    drives_.Refresh();
    controls_.ShowDrives(drives_);
}

void Form1::DriveChosen(std::size_t index) {
    if (drives_.Select(index)) {
        controls_.ShowDrives(drives_);
        cmbDrive_Change();
    }
}

void Form1::DirectoryOpened(std::size_t index) {
    if (index >= directories_.entries().size()) {
        return;
    }
    const std::string path = directories_.entries()[index].path;
    RunReported(messages(), kDirectoryChange, [&] { Check(SetDirectory(path)); });
}

Status Form1::SetDirectory(const std::string& path) {
    const std::string before = directories_.path();
    if (Status failure = directories_.SetPath(path)) {
        return failure;
    }
    controls_.ShowDirectories(directories_);
    if (directories_.path() != before) {
        lstDir_Change();
    }
    return std::nullopt;
}

void Form1::SetDriveHolding(const std::string& path) {
    if (drives_.SelectHolding(path)) {
        controls_.ShowDrives(drives_);
        cmbDrive_Change();
    }
}

void Form1::SetDirLabel(const std::string& caption) {
    dir_caption_ = caption;
    controls_.SetDirLabel(caption);
}

void Form1::btnGo_Click() {
    bool fatal = false;
    RunReported(messages(), kGo, [&] {
        for (std::size_t i = 0; i < std::size(kTrackingStyles); ++i) {
            if (controls_.StyleSelected(static_cast<int>(i))) {
                OutputStyle = StyleNumber(kTrackingStyles[i]);
            }
        }
        TargetDir = directories_.path();
        if (TargetDir.empty() || TargetDir.back() != kPathSeparator) {
            TargetDir += kPathSeparator;
        }
        controls_.ShowWait(true);
        controls_.EnableGo(false);
        controls_.Repaint();

        const auto listed = [this](std::size_t total) {
            run_total_ = total;
            run_done_ = 0;
            Progress(0);
        };
        const auto measured = [this](std::size_t done) { Progress(done); };
        CountingFolders folders(services_.platform.folders, listed, measured);
        const Platform& system = services_.platform;
        const Platform platform{folders,       system.files,  system.messages, system.clock,
                                system.editor, system.locale, system.stop};
        running_ = true;
        window_thread_ = std::this_thread::get_id();
        const RunOutcome outcome = RunSizeTrack(
            platform, [this](const ScanProgress& progress) { Progress(progress.entries_done); });
        running_ = false;
        if (outcome == RunOutcome::kFatal) {
            fatal = true;
            return;
        }
        controls_.ShowWait(false);
        controls_.EnableGo(true);
        // The run may have started from the keyboard: the next key is for Go.
        controls_.FocusGo();
        // Also throws away the clicks and keys given during the run: none
        // of them may start a second run.
        controls_.Repaint();
        for (int beep = 1; beep <= 3; ++beep) {
            services_.beeper.Beep();
        }
    });
    running_ = false;
    if (fatal) {
        // The run has reported it; the program ends as it stands.
        services_.end_program(kExitFatal);
    }
}

void Form1::Progress(std::size_t done) {
    // Only the window's thread may paint. Only forward: a walk that
    // measures ahead may report more entries than have been written, and
    // then fewer.
    if (std::this_thread::get_id() != window_thread_) {
        return;
    }
    run_done_ = std::max(run_done_, done);
    controls_.ShowProgress(run_done_, run_total_);
    // At every report, not only between subdirectories: a run whose bulk
    // is one subdirectory must not leave an uncovered window unpainted.
    controls_.Repaint();
}

void Form1::lblWebSite_Click() {
    RunReported(messages(), kWebSiteLink,
                [&] { Check(services_.urls.OpenUrl(BuiltInIdentity().website)); });
}

void Form1::lblAbout_Click() {
    RunReported(messages(), kAbout, [&] {
        const Identity& identity = BuiltInIdentity();
        messages().Show(AboutText(TitleLine, identity.contact), MessageIcon::kInformation,
                        "About " + identity.product_name);
    });
}

void Form1::lblHelp_Click() {
    RunReported(messages(), kHelp,
                [&] { messages().Show(HelpText(), MessageIcon::kNone, MessageTitle); });
}

void Form1::lblHistory_Click() {
    RunReported(messages(), kHistoryLink, [&] {
        // lblDir is empty only when Form_Load failed; the list still has a path.
        const std::string dir =
            history::WithSeparator(dir_caption_.empty() ? directories_.path() : dir_caption_);
        const std::optional<std::string> page =
            Take(history::WriteHistoryPage(dir, services_.history));
        if (!page) {
            messages().Show(history::NoHistoryText(dir), MessageIcon::kInformation, MessageTitle);
            return;
        }
        // The page stays in the temporary directory: the browser reads it
        // after this returns.
        Check(services_.urls.OpenFile(*page));
    });
}

}  // namespace sizewalk
