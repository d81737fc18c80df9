#include "platform/posix/walk/growth_meter.h"

#include <time.h>

namespace sizewalk::walk {

GrowthMeter::GrowthMeter(const WalkState& state) : state_(state), last_(Read()) {}

GrowthMeter::Reading GrowthMeter::Read() const {
    Reading now;
    now.wall = std::chrono::steady_clock::now();
    timespec cpu{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu) == 0) {
        now.cpu_seconds = static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9;
    }
    now.files = state_.files_seen.load(std::memory_order_relaxed);
    now.naps = state_.idle.naps();
    return now;
}

std::optional<WalkSample> GrowthMeter::Sample() {
    const Reading now = Read();
    if (now.wall - last_.wall < kGrowthInterval) {
        return std::nullopt;
    }
    WalkSample sample;
    sample.seconds = std::chrono::duration<double>(now.wall - last_.wall).count();
    sample.cpu_seconds = now.cpu_seconds - last_.cpu_seconds;
    sample.files = now.files - last_.files;
    sample.all_busy = now.naps == last_.naps && !state_.idle.HasSleepers();
    last_ = now;
    return sample;
}

}  // namespace sizewalk::walk
