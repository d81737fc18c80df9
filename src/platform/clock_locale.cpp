#include "platform/clock_locale.h"

namespace sizewalk {

std::string SeparatorOfFormat(const std::string& format, const std::string& fallback) {
    // Composite conversions stand for fixed layouts.
    if (format.size() >= 2 && format[0] == '%') {
        switch (format[1]) {
            case 'D':
                return "/";
            case 'F':
                return "-";
            case 'T':
            case 'R':
                return ":";
            default:
                break;
        }
    }
    std::size_t i = 0;
    // Skip to the end of the first conversion, then take what stands before
    // the next one.
    i = format.find('%');
    if (i == std::string::npos) {
        return fallback;
    }
    i += 1;
    while (i < format.size() &&
           (format[i] == 'E' || format[i] == 'O' || format[i] == '-' || format[i] == '_' ||
            format[i] == '0' || format[i] == '^' || format[i] == '#')) {
        ++i;
    }
    if (i >= format.size()) {
        return fallback;
    }
    ++i;
    const std::size_t next = format.find('%', i);
    if (next == std::string::npos || next == i) {
        return fallback;
    }
    return format.substr(i, next - i);
}

}  // namespace sizewalk
