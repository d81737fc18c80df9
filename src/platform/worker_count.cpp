#include "platform/worker_count.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace sizewalk {

unsigned ParseThreadCount(const char* text) {
    if (text == nullptr || *text < '0' || *text > '9') {
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > kMaxThreads) {
        return 0;
    }
    return static_cast<unsigned>(value);
}

unsigned StartingThreadCount(unsigned requested, bool network, unsigned cores) {
    if (requested != 0) {
        return requested;
    }
    return network ? kNetworkThreads : std::clamp(2 * cores, 4u, 32u);
}

WorkerGrowth NextGrowth(WorkerGrowth growth, const WalkSample& sample, unsigned cores) {
    if (growth.stopped || growth.workers >= kNetworkThreads || sample.seconds <= 0) {
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
    const double wanted_cpu = sample.cpu_seconds + sample.queued_seconds;
    if (!sample.all_busy || wanted_cpu >= kWaitingCpuShare * could_use) {
        return growth;
    }
    growth.workers = std::min(2 * growth.workers, kNetworkThreads);
    growth.judging = true;
    growth.rate_before = rate;
    return growth;
}

}  // namespace sizewalk
