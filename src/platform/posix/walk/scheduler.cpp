#include "platform/posix/walk/scheduler.h"

#include <utility>

namespace sizewalk::posix::walk {

Scheduler::Scheduler(WalkTarget target, std::size_t walkers, std::size_t spare_frames)
    : state_(std::move(target)), pool_(spare_frames) {
    for (std::size_t i = 0; i < walkers; ++i) {
        walkers_.push_back(std::make_unique<Walker>(state_, pool_));
    }
}

void Scheduler::WorkerLoop(std::size_t worker) {
    try {
        while (!state_.Stopping()) {
            if (TryWork(worker)) {
                continue;
            }
            if (state_.AllDone()) {
                return;
            }
            state_.idle.Sleep([&] { return HasWork(worker); },
                              [&] { return state_.Stopping() || state_.AllDone(); });
        }
    } catch (...) {
        state_.Abort(std::current_exception());  // for Size() to throw on its thread
    }
}

// The first tree nobody has claimed yet, or kNoTree.
std::size_t Scheduler::NextUnclaimed() {
    std::size_t next = next_tree_.load();
    while (next < state_.names.size() && state_.trees[next].claimed.load()) {
        ++next;
    }
    next_tree_.store(next);
    return next < state_.names.size() ? next : kNoTree;
}

// The walker other than `self` with spare work in the lowest tree below
// `best`, which becomes that tree; of several, the first after `self`. Null
// when there is none.
Walker* Scheduler::Victim(std::size_t self, std::size_t& best) const {
    Walker* victim = nullptr;
    for (std::size_t k = 1; k < walkers_.size(); ++k) {
        Walker* other = walkers_[(self + k) % walkers_.size()].get();
        const std::size_t hint = other->stack().steal_hint();
        if (hint < best) {
            best = hint;
            victim = other;
        }
    }
    return victim;
}

bool Scheduler::HasWork(std::size_t self) {
    std::size_t best = kNoTree;
    return NextUnclaimed() != kNoTree || Victim(self, best) != nullptr;
}

// Runs one piece of work; false when there was none.
bool Scheduler::TryWork(std::size_t self) {
    const std::size_t next = NextUnclaimed();
    std::size_t best = next;
    Walker* victim = Victim(self, best);
    if (victim == nullptr) {
        if (next == kNoTree) {
            return false;
        }
        if (Claim(next)) {
            walkers_[self]->RunTree(next);
        }
        return true;
    }
    if (std::optional<LentTask> task = victim->stack().Lend(kFilesPerLoan)) {
        walkers_[self]->RunLent(std::move(*task));
    }
    return true;
}

}  // namespace sizewalk::posix::walk
