#include "platform/posix/walk/worker_count.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

namespace sizewalk::walk {

unsigned DefaultThreadCount() {
    return std::clamp(2 * std::thread::hardware_concurrency(), 4u, 32u);
}

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

}  // namespace sizewalk::walk
