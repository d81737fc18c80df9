#include "platform/posix/walk/parallel_listing.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

#include "platform/posix/walk/descriptor_budget.h"
#include "platform/posix/walk/growth_meter.h"
#include "platform/posix/walk/progress.h"
#include "platform/posix/walk/scheduler.h"
#include "platform/posix/walk/worker_threads.h"

namespace sizewalk::posix::walk {
namespace {

class ParallelListing final : public FolderListing {
  public:
    ParallelListing(WalkTarget target, ProgressCallback progress, unsigned requested)
        : progress_(std::move(progress)), requested_(requested) {
        const bool network =
            target.calls->FileSystemOf(target.dir.get()) == FileSystemKind::kNetwork;
        const unsigned starting = requested != 0 ? requested
                                  : network      ? kNetworkWalkThreads
                                                 : LocalWalkThreads();
        // Walkers for as many workers as the walk may grow to.
        const std::size_t usable = UsableDescriptors();
        const std::size_t walkers = WalkerCount(
            usable, requested != 0 ? requested : std::max(starting, kNetworkWalkThreads));
        scheduler_ =
            std::make_shared<Scheduler>(std::move(target), walkers, SpareFrames(usable, walkers));
        meter_.emplace(scheduler_->state());
        if (!scheduler_->state().names.empty()) {
            TakeOn(starting);
        }
        growth_.workers = static_cast<unsigned>(workers_.size());
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
            Grow();
            ticker.Report();
        }
        ticker.Report();
        if (const int signal = state.StopSignal(); signal != 0) {
            return Interrupted(signal);  // the total is only part of the tree
        }
        return state.trees[index].Result();
    }

  private:
    // Takes on workers up to `count` in all, as far as there are walkers.
    void TakeOn(unsigned count) {
        const std::size_t most = std::min<std::size_t>(count, scheduler_->walkers() - 1);
        if (most > workers_.size()) {
            workers_.Add(most - workers_.size(),
                         [scheduler = scheduler_](std::size_t i) { scheduler->WorkerLoop(i); });
        }
    }

    // More workers once the walk has met a network file system, or while it
    // waits on its disk and more workers pay; not when SIZEWALK_THREADS
    // fixed their number, nor when none could be started.
    void Grow() {
        if (requested_ != 0 || workers_.size() == 0 || growth_.workers >= kNetworkWalkThreads) {
            return;
        }
        if (scheduler_->state().network_met()) {
            growth_.workers = kNetworkWalkThreads;
        } else if (const std::optional<WalkSample> sample = meter_->Sample()) {
            growth_ = NextGrowth(growth_, *sample, cores_);
        }
        TakeOn(growth_.workers);
    }

    const ProgressCallback progress_;
    const unsigned requested_;
    const unsigned cores_ = std::thread::hardware_concurrency();
    std::shared_ptr<Scheduler> scheduler_;
    std::optional<GrowthMeter> meter_;
    WorkerGrowth growth_;
    WorkerThreads workers_;  // ended (or left behind) before the scheduler is let go
};

}  // namespace

std::unique_ptr<FolderListing> MakeParallelListing(int dir_fd, std::string path, FileId id,
                                                   std::vector<std::string> names,
                                                   ProgressCallback progress,
                                                   const WalkOptions& options) {
    WalkTarget target{Descriptor(dir_fd), std::move(path), id,
                      std::move(names),   options.calls,   options.stop};
    return std::make_unique<ParallelListing>(std::move(target), std::move(progress),
                                             options.threads);
}

}  // namespace sizewalk::posix::walk
