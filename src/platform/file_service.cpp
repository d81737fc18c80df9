#include "platform/file_service.h"

#include "platform/paths.h"

namespace sizewalk {

std::string TemporarySibling(const std::string& path, unsigned long long seed) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t cut = path.find_last_of(std::string{'/', kPathSeparator}) + 1;
    std::string name = path.substr(0, cut) + "." + path.substr(cut) + ".";
    for (int i = 0; i < 6; ++i) {
        name += kLetters[seed % 36];
        seed /= 36;
    }
    return name;
}

}  // namespace sizewalk
