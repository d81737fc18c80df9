// Progress for the thread inside Size(): about ten times a second while it
// waits or walks, and once before it returns.
#pragma once

#include <chrono>

#include "platform/folder_service.h"
#include "platform/posix/walk/walk_state.h"

namespace sizewalk::posix::walk {

inline constexpr auto kReportInterval = std::chrono::milliseconds(100);

class ProgressTicker {
  public:
    ProgressTicker(const ProgressCallback& callback, const WalkState& state)
        : callback_(callback), state_(state) {}

    // Reports now.
    void Report() {
        if (callback_) {
            callback_(state_.Progress());
        }
    }
    // Reports when kReportInterval has passed since the last Tick() did.
    void Tick() {
        if (callback_) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= next_) {
                next_ = now + kReportInterval;
                Report();
            }
        }
    }

  private:
    const ProgressCallback& callback_;
    const WalkState& state_;
    std::chrono::steady_clock::time_point next_{};
};

}  // namespace sizewalk::posix::walk
