#include "platform/posix/walk/parallel_listing.h"

#include <exception>
#include <utility>

#include "platform/posix/walk/descriptor_budget.h"
#include "platform/posix/walk/progress.h"
#include "platform/posix/walk/scheduler.h"
#include "platform/posix/walk/worker_threads.h"

namespace sizewalk::walk {
namespace {

class ParallelListing final : public FolderListing {
  public:
    ParallelListing(WalkTarget target, ProgressCallback progress, unsigned threads)
        : progress_(std::move(progress)) {
        const std::size_t usable = UsableDescriptors();
        const std::size_t walkers =
            WalkerCount(usable, threads == 0 ? DefaultThreadCount() : threads);
        scheduler_ = std::make_shared<Scheduler>(std::move(target), walkers,
                                                 FramesPerWalker(usable, walkers));
        if (!scheduler_->state().names.empty()) {
            // Each worker holds the scheduler, and so all it touches, for as
            // long as it runs: it may wake after the listing is gone.
            workers_.Start(walkers - 1,
                           [scheduler = scheduler_](std::size_t i) { scheduler->WorkerLoop(i); });
        }
    }

    ~ParallelListing() override { scheduler_->state().Cancel(); }

    ParallelListing(const ParallelListing&) = delete;
    ParallelListing& operator=(const ParallelListing&) = delete;

    const std::vector<std::string>& SubFolders() const override {
        return scheduler_->state().names;
    }

    Outcome<ByteCount> Size(std::size_t index) override {
        WalkState& state = scheduler_->state();
        if (index >= state.names.size()) {
            return MakeError(errnum::kInvalidArgument);
        }
        ProgressTicker ticker(progress_, state);
        if (workers_.size() == 0 && state.StopSignal() == 0 && scheduler_->Claim(index)) {
            // No worker could be started: the caller walks (and a read that
            // hangs holds it too).
            Walker& caller = scheduler_->caller();
            caller.set_ticker(&ticker);
            try {
                caller.RunTree(index);
            } catch (...) {
                state.Abort(std::current_exception());
            }
            caller.set_ticker(nullptr);
        }
        // In slices, so that a stop is acted on while a worker is held in the
        // kernel (a read on a dead network mount).
        for (;;) {
            if (const int signal = state.StopSignal(); signal != 0) {
                return Interrupted(signal);
            }
            state.RethrowFailure();
            if (state.WaitForTree(index, kReportInterval)) {
                break;
            }
            ticker.Report();
        }
        ticker.Report();
        if (const int signal = state.StopSignal(); signal != 0) {
            return Interrupted(signal);  // the total is only part of the tree
        }
        return state.trees[index].Result();
    }

  private:
    const ProgressCallback progress_;
    std::shared_ptr<Scheduler> scheduler_;
    WorkerThreads workers_;  // ended (or left behind) before the scheduler is let go
};

}  // namespace

std::unique_ptr<FolderListing> MakeParallelListing(int dir_fd, std::string path, dev_t device,
                                                   std::vector<std::string> names,
                                                   ProgressCallback progress,
                                                   const WalkOptions& options) {
    WalkTarget target{Descriptor(dir_fd), std::move(path), device,
                      std::move(names),   options.calls,   options.stop};
    return std::make_unique<ParallelListing>(std::move(target), std::move(progress),
                                             options.threads);
}

}  // namespace sizewalk::walk
