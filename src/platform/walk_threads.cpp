#include "platform/walk_threads.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

namespace sizewalk {

unsigned LocalWalkThreads() {
    return std::clamp(2 * std::thread::hardware_concurrency(), 4u, 32u);
}

unsigned ParseWalkThreads(const char* text) {
    if (text == nullptr || *text < '0' || *text > '9') {
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > kMaxWalkThreads) {
        return 0;
    }
    return static_cast<unsigned>(value);
}

WorkerGrowth NextGrowth(WorkerGrowth growth, const WalkSample& sample, unsigned cores) {
    if (growth.stopped || growth.workers >= kNetworkWalkThreads || sample.seconds <= 0) {
        return growth;
    }
    const double rate = static_cast<double>(sample.files) / sample.seconds;
    if (growth.judging) {
        growth.judging = false;
        if (rate < growth.rate_before * kWorthwhileSpeedup) {
            growth.stopped = true;
            return growth;
        }
    }
    const double could_use = sample.seconds * std::min(std::max(cores, 1u), growth.workers);
    const bool computing = sample.cpu_seconds >= kWaitingCpuShare * could_use ||
                           sample.cpu_seconds + sample.queued_seconds >=
                               kWaitingRunShare * sample.seconds * growth.workers;
    if (!sample.all_busy || computing) {
        return growth;
    }
    growth.workers = std::min(2 * growth.workers, kNetworkWalkThreads);
    growth.judging = true;
    growth.rate_before = rate;
    return growth;
}

}  // namespace sizewalk
