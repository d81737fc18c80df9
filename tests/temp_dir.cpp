#include "temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <system_error>

namespace sizewalk::testing {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "sizewalk-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
    // Reachable by the unprivileged user some tests run as.
    std::filesystem::permissions(path_, std::filesystem::perms::all);
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Directories a test made unreadable must be opened up to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(path_, ignored);
}

void TempDir::File(const std::string& relative, std::uintmax_t size) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream{file};
    std::filesystem::resize_file(file, size);
}

}  // namespace sizewalk::testing
