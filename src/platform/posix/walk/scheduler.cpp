#include "platform/posix/walk/scheduler.h"

#include <utility>

namespace sizewalk::walk {

Scheduler::Scheduler(WalkTarget target, std::size_t walkers, std::size_t budget)
    : state_(std::move(target)) {
    for (std::size_t i = 0; i < walkers; ++i) {
        walkers_.push_back(std::make_unique<Walker>(state_, budget));
    }
}

void Scheduler::WorkerLoop(std::size_t worker) {
    Walker& self = *walkers_[worker];
    try {
        while (!state_.Stopping()) {
            if (TryWork(self)) {
                continue;
            }
            if (state_.AllDone()) {
                return;
            }
            state_.idle.Sleep([&] { return HasWork(self); },
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
// `best`, which becomes that tree; null when there is none.
Walker* Scheduler::Victim(const Walker& self, std::size_t& best) const {
    Walker* victim = nullptr;
    for (const auto& other : walkers_) {
        const std::size_t hint = other->stack().steal_hint();
        if (other.get() != &self && hint < best) {
            best = hint;
            victim = other.get();
        }
    }
    return victim;
}

bool Scheduler::HasWork(const Walker& self) {
    std::size_t best = kNoTree;
    return NextUnclaimed() != kNoTree || Victim(self, best) != nullptr;
}

// Runs one piece of work; false when there was none.
bool Scheduler::TryWork(Walker& self) {
    const std::size_t next = NextUnclaimed();
    std::size_t best = next;
    Walker* victim = Victim(self, best);
    if (victim == nullptr) {
        if (next == kNoTree) {
            return false;
        }
        if (Claim(next)) {
            self.RunTree(next);
        }
        return true;
    }
    if (std::optional<LentTask> task = victim->stack().Lend(*state_.calls)) {
        self.RunLent(std::move(*task));
    }
    return true;
}

}  // namespace sizewalk::walk
