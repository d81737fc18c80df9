// What is known of one immediate subdirectory's tree while walkers measure
// it: its total, the hard-linked files already counted, and its failure.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

#include "platform/folder_service.h"

namespace sizewalk::posix::walk {

// No tree: the index of none.
inline constexpr std::size_t kNoTree = std::numeric_limits<std::size_t>::max();

// Recorded in place of an errno for a directory that is its own ancestor (a
// bind mount of an ancestor, a loop on a network share or a FUSE mount).
inline constexpr int kDirectoryCycle = -1;

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<ino_t>()(id.inode) * 31 + std::hash<dev_t>()(id.device);
    }
};

class TreeTally {
  public:
    std::atomic<bool> claimed{false};
    std::atomic<int> outstanding{0};  // tasks still walking parts of the tree

    void Add(ByteCount bytes);
    // Whether the file `id` (with more than one link) is met for the first time.
    bool FirstLink(FileId id);
    // Frees the memory of the links once the whole tree is walked.
    void ForgetLinks();
    // Records that `path` could not be read, for `error` (an errno or
    // kDirectoryCycle). Of all
    // failures the one with the smallest path is kept, so that the report
    // does not depend on which thread got where first.
    void Fail(std::string path, int error);
    // The total, or the failure kept.
    Outcome<ByteCount> Result() const;

  private:
    mutable std::mutex mu_;
    ByteCount total_ = 0;
    std::unordered_set<FileId, FileIdHash> linked_;
    std::optional<std::pair<std::string, int>> failure_;
};

}  // namespace sizewalk::posix::walk
