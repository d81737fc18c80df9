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

}  // namespace sizewalk
