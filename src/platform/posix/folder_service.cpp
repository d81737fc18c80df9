#include "platform/posix/folder_service.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/posix/directory.h"
#include "platform/posix/errors.h"

namespace sizewalk::posix {

FolderService::FolderService(walk::WalkOptions options) : options_(std::move(options)) {
    if (!options_.calls) {
        options_.calls = std::make_shared<walk::DirectoryCalls>();
    }
}

Outcome<std::unique_ptr<Directory>> FolderService::OpenDirectory(const std::string& path) {
    Descriptor fd{open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (!fd) {
        return SystemError(errno, path);
    }
    return std::unique_ptr<Directory>(std::make_unique<OpenedDirectory>(std::move(fd), path));
}

Outcome<std::unique_ptr<FolderListing>> FolderService::GetFolder(const Directory& directory,
                                                                 ProgressCallback progress) {
    const std::string& path = directory.path();
    // "." names the directory itself, whatever became of its path.
    const int fd = openat(DescriptorOf(directory), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return SystemError(errno, path);
    }
    struct stat self {};
    std::vector<std::string> names;
    auto buffer = std::make_unique<char[]>(walk::kEntryBufferSize);
    int error = fstat(fd, &self) != 0 ? errno : 0;
    if (error == 0) {
        error = walk::ForEachEntry(
            *options_.calls, fd, buffer.get(), [&](const char* name, unsigned char type) {
                struct stat st {};
                // A link to a directory is not a subdirectory.
                if (type == DT_DIR ||
                    (type == DT_UNKNOWN && options_.calls->StatEntry(fd, name, &st) == 0 &&
                     S_ISDIR(st.st_mode))) {
                    names.emplace_back(name);
                }
                return true;
            });
    }
    if (error != 0) {
        close(fd);
        return SystemError(error, path);
    }
    std::sort(names.begin(), names.end());
    return walk::MakeParallelListing(fd, path, walk::FileId{self.st_dev, self.st_ino},
                                     std::move(names), std::move(progress), options_);
}

}  // namespace sizewalk::posix
