// What all walkers of one listing share: the directory listed, the system
// calls, every tree's tally, the counters, and how they stop and wake.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/folder_service.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/walk/directory_calls.h"
#include "platform/posix/walk/tree_tally.h"
#include "platform/stop_flag.h"

namespace sizewalk::posix::walk {

// An idle worker looks for work again at least this often, even when no one
// announced any.
inline constexpr auto kIdleRecheck = std::chrono::milliseconds(50);

// The directory listed and what the walk calls on it.
struct WalkTarget {
    Descriptor dir;
    std::string path;
    FileId id;                       // its device and inode
    std::vector<std::string> names;  // its immediate subdirectories
    std::shared_ptr<DirectoryCalls> calls;
    const StopFlag* stop = nullptr;
};

// Where idle workers sleep until a walker announces work.
class Doorbell {
  public:
    // Wakes one sleeper, or all of them.
    void Ring(bool all);
    bool HasSleepers() const { return sleepers_.load() > 0; }
    // How often a worker found no work and slept, so far.
    std::uint64_t naps() const { return naps_.load(std::memory_order_relaxed); }
    // Sleeps unless `has_work()`, until rung, `done()` or kIdleRecheck.
    template <typename HasWork, typename Done>
    void Sleep(HasWork&& has_work, Done&& done) {
        // Read the epoch before announcing, so that a ring after the check
        // wakes us.
        const std::uint64_t seen = epoch_.load();
        sleepers_.fetch_add(1);
        if (!has_work()) {
            naps_.fetch_add(1, std::memory_order_relaxed);
            std::unique_lock lock(mu_);
            cv_.wait_for(lock, kIdleRecheck, [&] { return epoch_.load() != seen || done(); });
        }
        sleepers_.fetch_sub(1);
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::atomic<std::uint64_t> epoch_{0};  // changed at every ring
    std::atomic<int> sleepers_{0};
    std::atomic<std::uint64_t> naps_{0};
};

class WalkState {
  public:
    explicit WalkState(WalkTarget target);

    const Descriptor dir;
    const std::string path;
    const FileId dir_id;  // the first ancestor of every tree
    const std::vector<std::string> names;
    const std::shared_ptr<DirectoryCalls> calls;
    std::vector<TreeTally> trees;  // one for each of names
    std::atomic<std::uint64_t> files_seen{0};
    Doorbell idle;

    // Cancelled, or the run asked to stop.
    bool Stopping() const { return cancel_.load(std::memory_order_relaxed) || StopSignal() != 0; }
    // The signal that asked the run to stop, or 0.
    int StopSignal() const { return stop_ != nullptr ? stop_->load(std::memory_order_relaxed) : 0; }
    // Stops all walkers (the listing is going away).
    void Cancel();
    // Stops all walkers after `failure`, an exception that ended one (out of
    // memory): the walk cannot be trusted any more.
    void Abort(std::exception_ptr failure);
    // Throws the exception that aborted the walk, if one did.
    void RethrowFailure();

    // A walker crossed into a network file system: wakes the caller of
    // Size(), which takes on more workers.
    void NetworkMet();
    bool network_met() const { return network_met_.load(); }

    bool AllDone() const { return trees_done_.load() == names.size(); }
    // The last task in tree `index` has ended.
    void TreeDone(std::size_t index);
    // Waits until tree `index` is done, for at most `timeout` (less when
    // the walk is aborted or a network met). Whether it is done.
    bool WaitForTree(std::size_t index, std::chrono::milliseconds timeout);
    ScanProgress Progress() const { return ScanProgress{trees_done_.load(), files_seen.load()}; }

  private:
    const StopFlag* const stop_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> network_met_{false};
    std::atomic<std::size_t> trees_done_{0};
    std::mutex done_mu_;  // guards done_, failure_ and news_
    std::condition_variable done_cv_;
    std::vector<bool> done_;
    std::exception_ptr failure_;
    bool news_ = false;  // for the waiter in WaitForTree
};

}  // namespace sizewalk::posix::walk
