#include "platform/posix/walk/growth_meter.h"

#include <dirent.h>
#include <fcntl.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/posix/descriptor.h"

namespace sizewalk::posix::walk {
namespace {

// Adds up the nanoseconds each thread of the process ran and waited to run
// (/proc/self/task/*/schedstat). False when they cannot be read.
bool ReadSchedstat(double& cpu_seconds, double& queued_seconds) {
    Descriptor tasks{open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    DIR* dir = tasks ? fdopendir(tasks.get()) : nullptr;
    if (dir == nullptr) {
        return false;
    }
    tasks.Release();  // the stream's now
    unsigned long long ran = 0, queued = 0;
    bool any = false;
    while (const dirent* entry = readdir(dir)) {
        const std::string path = std::string(entry->d_name) + "/schedstat";
        Descriptor fd{openat(dirfd(dir), path.c_str(), O_RDONLY | O_CLOEXEC)};
        char text[128];
        const ssize_t length = fd ? read(fd.get(), text, sizeof text - 1) : -1;
        if (length <= 0) {
            continue;  // "." and "..", or a thread that ended
        }
        text[length] = '\0';
        char* rest = nullptr;
        ran += std::strtoull(text, &rest, 10);
        queued += std::strtoull(rest, nullptr, 10);
        any = true;
    }
    closedir(dir);
    cpu_seconds = static_cast<double>(ran) * 1e-9;
    queued_seconds = static_cast<double>(queued) * 1e-9;
    return any;
}

}  // namespace

GrowthMeter::GrowthMeter(const WalkState& state) : state_(state), last_(Read()) {}

GrowthMeter::Reading GrowthMeter::Read() const {
    Reading now;
    now.wall = std::chrono::steady_clock::now();
    timespec cpu{};
    if (!ReadSchedstat(now.cpu_seconds, now.queued_seconds) &&
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu) == 0) {
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
    // Threads that ended took their time with them: never below 0.
    sample.cpu_seconds = std::max(0.0, now.cpu_seconds - last_.cpu_seconds);
    sample.queued_seconds = std::max(0.0, now.queued_seconds - last_.queued_seconds);
    sample.files = now.files - last_.files;
    sample.all_busy = now.naps == last_.naps && !state_.idle.HasSleepers();
    last_ = now;
    return sample;
}

}  // namespace sizewalk::posix::walk
