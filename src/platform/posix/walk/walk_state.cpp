#include "platform/posix/walk/walk_state.h"

#include <utility>

namespace sizewalk::posix::walk {

void Doorbell::Ring(bool all) {
    {
        std::lock_guard lock(mu_);
        epoch_.fetch_add(1);
    }
    if (all) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
}

WalkState::WalkState(WalkTarget target)
    : dir(std::move(target.dir)),
      path(std::move(target.path)),
      dir_id(target.id),
      names(std::move(target.names)),
      calls(std::move(target.calls)),
      trees(names.size()),
      stop_(target.stop),
      done_(names.size(), false) {}

void WalkState::Cancel() {
    cancel_ = true;
    idle.Ring(true);
}

void WalkState::Abort(std::exception_ptr failure) {
    {
        std::lock_guard lock(done_mu_);
        if (!failure_) {
            failure_ = std::move(failure);
        }
    }
    done_cv_.notify_all();
    Cancel();
}

void WalkState::RethrowFailure() {
    std::lock_guard lock(done_mu_);
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

void WalkState::TreeDone(std::size_t index) {
    {
        std::lock_guard lock(done_mu_);
        done_[index] = true;
        trees_done_.fetch_add(1);
    }
    done_cv_.notify_all();
    if (AllDone()) {
        idle.Ring(true);
    }
}

void WalkState::NetworkMet() {
    if (!network_met_.exchange(true)) {
        {
            std::lock_guard lock(done_mu_);
            news_ = true;
        }
        done_cv_.notify_all();
    }
}

bool WalkState::WaitForTree(std::size_t index, std::chrono::milliseconds timeout) {
    std::unique_lock lock(done_mu_);
    done_cv_.wait_for(lock, timeout, [&] { return done_[index] || failure_ || news_; });
    news_ = false;
    return done_[index];
}

}  // namespace sizewalk::posix::walk
