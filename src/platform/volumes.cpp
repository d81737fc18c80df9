#include "platform/volumes.h"

#include "platform/paths.h"

namespace sizewalk {

bool IsAtOrBelow(std::string_view path, std::string_view dir) {
    return path.substr(0, dir.size()) == dir &&
           (path.size() == dir.size() || path[dir.size()] == kPathSeparator);
}

std::string VolumeRootOf(const std::vector<Volume>& volumes, const std::string& path) {
    const Volume* best = nullptr;
    for (const Volume& volume : volumes) {
        const std::string_view dir(volume.root.data(), volume.root.size() - 1);
        const bool holds = volume.root.size() == 1 ? (!path.empty() && path[0] == kPathSeparator)
                                                   : IsAtOrBelow(path, dir);
        if (holds && (best == nullptr || volume.root.size() > best->root.size())) {
            best = &volume;
        }
    }
    return best != nullptr ? best->root : std::string();
}

}  // namespace sizewalk
