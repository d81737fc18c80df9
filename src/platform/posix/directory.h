// The processed directory on POSIX systems: one descriptor, opened once.
#pragma once

#include <string>
#include <utility>

#include "platform/folder_service.h"
#include "platform/posix/descriptor.h"

namespace sizewalk::posix {

class OpenedDirectory final : public Directory {
  public:
    OpenedDirectory(Descriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    const std::string& path() const override { return path_; }
    int fd() const { return fd_.get(); }

  private:
    Descriptor fd_;
    std::string path_;
};

// The descriptor of `directory`, or -1 when it is not an OpenedDirectory.
inline int DescriptorOf(const Directory& directory) {
    const auto* posix = dynamic_cast<const OpenedDirectory*>(&directory);
    return posix != nullptr ? posix->fd() : -1;
}

}  // namespace sizewalk::posix
