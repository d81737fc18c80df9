#include "platform/win32/walk/parallel_listing.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/win32/errors.h"
#include "platform/win32/walk/walk_queue.h"

namespace sizewalk::win32::walk {
namespace {

class ParallelListing final : public FolderListing {
  public:
    ParallelListing(ListedDirectory listed, std::shared_ptr<DirectoryReader> reader,
                    unsigned threads, ProgressCallback progress,
                    std::chrono::milliseconds report_interval, const StopFlag* stop)
        : display_dir_(std::move(listed.display_dir)),
          dir_(listed.dir),
          names_(std::move(listed.names)),
          progress_(std::move(progress)),
          report_interval_(report_interval),
          stop_(stop),
          queue_(std::make_shared<WalkQueue>(std::move(listed.dir), std::move(listed.wide_names),
                                             std::move(reader))) {
        if (threads > 1 && !names_.empty()) {
            StartWorkers(threads);
        }
    }

    ~ParallelListing() override {
        queue_->Cancel();
        const bool ended = queue_->WaitForWorkers(kStuckWorkerWait);
        for (std::thread& worker : workers_) {
            // A thread left behind holds the queue, and so all it uses.
            if (ended) {
                worker.join();
            } else {
                worker.detach();
            }
        }
    }

    ParallelListing(const ParallelListing&) = delete;
    ParallelListing& operator=(const ParallelListing&) = delete;

    const std::vector<std::string>& SubFolders() const override { return names_; }

    Outcome<ByteCount> Size(std::size_t index) override {
        if (index >= names_.size()) {
            return MakeError(errnum::kInvalidArgument);
        }
        if (workers_.empty()) {
            queue_->WalkTree(index, [&] {
                if (StopSignal() != 0) {
                    queue_->Cancel();  // the walk ends after this directory
                }
                const auto now = std::chrono::steady_clock::now();
                if (now - last_report_ >= report_interval_) {
                    Report();
                }
            });
        }
        // In slices, so that a window repaints while a share is slow.
        const auto slice = std::max(report_interval_, std::chrono::milliseconds(1));
        while (StopSignal() == 0 && !queue_->WaitForTree(index, slice)) {
            Report();
        }
        Report();
        if (const int signal = StopSignal(); signal != 0) {
            return Interrupted(signal);  // going away cancels the workers
        }
        std::variant<ByteCount, TreeFailure> result = queue_->Result(index);
        if (const TreeFailure* failure = std::get_if<TreeFailure>(&result)) {
            return SystemError(failure->error, Display(failure->path));
        }
        return std::get<ByteCount>(result);
    }

  private:
    int StopSignal() const { return stop_ != nullptr ? stop_->load() : 0; }

    void StartWorkers(unsigned count) {
        workers_.reserve(count);
        queue_->WorkerStarting(static_cast<int>(count));
        for (unsigned i = 0; i < count; ++i) {
            try {
                workers_.emplace_back([queue = queue_] { queue->WorkerLoop(); });
            } catch (const std::system_error&) {
                queue_->WorkerStarting(-static_cast<int>(count - i));  // fewer threads
                break;
            }
        }
    }

    void Report() {
        last_report_ = std::chrono::steady_clock::now();
        if (progress_) {
            progress_(queue_->Progress());
        }
    }

    // A long path below dir_ as the caller would write it.
    std::string Display(const std::wstring& path) const {
        return display_dir_ + Narrow(std::wstring_view(path).substr(
                                  std::min(path.size(), dir_.size() + (dir_.back() != L'\\'))));
    }

    const std::string display_dir_;
    const std::wstring dir_;
    const std::vector<std::string> names_;
    const ProgressCallback progress_;
    const std::chrono::milliseconds report_interval_;
    const StopFlag* const stop_;
    std::chrono::steady_clock::time_point last_report_ = std::chrono::steady_clock::now();
    std::shared_ptr<WalkQueue> queue_;
    std::vector<std::thread> workers_;
};

}  // namespace

std::unique_ptr<FolderListing> MakeParallelListing(ListedDirectory listed,
                                                   std::shared_ptr<DirectoryReader> reader,
                                                   unsigned threads, ProgressCallback progress,
                                                   std::chrono::milliseconds report_interval,
                                                   const StopFlag* stop) {
    return std::make_unique<ParallelListing>(std::move(listed), std::move(reader), threads,
                                             std::move(progress), report_interval, stop);
}

}  // namespace sizewalk::win32::walk
