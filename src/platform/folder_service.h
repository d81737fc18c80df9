// Measuring the immediate subdirectories of one directory. Kept small so that
// the walk behind it can be replaced (and faked in tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_count.h"
#include "platform/error.h"

namespace sizewalk {

struct ScanProgress {
    std::size_t entries_done = 0;  // immediate subdirectories fully measured
    std::uint64_t files_seen = 0;  // regular files counted so far
};
// Called only on the thread that is inside FolderListing::Size() (the window's
// own thread), now and then while it waits and once before it returns. An
// empty callback costs nothing.
using ProgressCallback = std::function<void(const ScanProgress&)>;

// One directory's immediate subdirectories, sorted by name (byte order), and
// the size of each one's whole tree. An implementation may measure ahead (on
// other threads); destroying the listing stops that. Not for use by several
// threads at once.
class FolderListing {
  public:
    virtual ~FolderListing() = default;
    virtual const std::vector<std::string>& SubFolders() const = 0;
    // Sum of the sizes of the regular files below SubFolders()[index]; waits
    // until that entry is measured. Fails when any part of its tree cannot be
    // read; the description then names the path that failed. Fails with
    // errnum::kInterrupted once the run is asked to stop.
    virtual Outcome<ByteCount> Size(std::size_t index) = 0;
};

// The processed directory, opened once by its path. The listing, the walk
// and the tracking file all go through this one handle, so that a component
// of the path swapped for a link meanwhile changes nothing: the directory
// measured is the directory written.
class Directory {
  public:
    virtual ~Directory() = default;
    // The path it was opened by, for messages.
    virtual const std::string& path() const = 0;
};

class FolderService {
  public:
    virtual ~FolderService() = default;
    // Opens `path` (which may end with the separator). Fails when it does not
    // exist or is not a directory that can be read.
    virtual Outcome<std::unique_ptr<Directory>> OpenDirectory(const std::string& path) = 0;
    // Lists `directory`, opened by this service; the listing does not need
    // it to stay open. `progress` may be empty.
    virtual Outcome<std::unique_ptr<FolderListing>> GetFolder(const Directory& directory,
                                                              ProgressCallback progress) = 0;
};

}  // namespace sizewalk
