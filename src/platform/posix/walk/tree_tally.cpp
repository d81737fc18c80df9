#include "platform/posix/walk/tree_tally.h"

#include "platform/posix/errors.h"

namespace sizewalk::posix::walk {

void TreeTally::Add(ByteCount bytes) {
    std::lock_guard lock(mu_);
    total_ += bytes;
}

bool TreeTally::FirstLink(FileId id) {
    std::lock_guard lock(mu_);
    return linked_.insert(id).second;
}

void TreeTally::ForgetLinks() {
    std::lock_guard lock(mu_);
    std::unordered_set<FileId, FileIdHash>().swap(linked_);
}

void TreeTally::Fail(std::string path, int error) {
    std::lock_guard lock(mu_);
    if (!failure_ || path < failure_->first) {
        failure_.emplace(std::move(path), error);
    }
}

Outcome<ByteCount> TreeTally::Result() const {
    std::lock_guard lock(mu_);
    if (!failure_) {
        return total_;
    }
    const auto& [path, error] = *failure_;
    if (error == kDirectoryCycle) {
        return ErrorAt(errnum::kPathFileAccess, "Directory cycle", path);
    }
    return SystemError(error, path);
}

}  // namespace sizewalk::posix::walk
