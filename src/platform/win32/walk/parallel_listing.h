// Measuring the immediate subdirectories of one directory with several
// threads: each reads whole directories, of the first tree in the listing's
// order that has one waiting; the caller of Size() waits for its tree.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/folder_service.h"
#include "platform/stop_flag.h"
#include "platform/win32/walk/directory_reader.h"

namespace sizewalk::win32::walk {

// How long a listing that goes waits for its threads to end. A thread held
// in a read on a share that stopped answering is left to end on its own.
inline constexpr auto kStuckWorkerWait = std::chrono::seconds(1);

struct ListedDirectory {
    std::string display_dir;  // as the caller named it, ending with a separator
    std::wstring dir;         // its long form
    std::vector<std::string> names;
    std::vector<std::wstring> wide_names;
};

// With `threads` 1 (or when no thread can be started) the caller of Size(i)
// walks tree i itself and reports progress after a directory when
// `report_interval` has passed since the last report; otherwise `threads`
// threads measure the trees in order, ahead of the caller, who reports at
// that interval while it waits. Either way progress is also reported once
// before Size() returns. Once `stop` is set, Size() fails with the
// interruption within one report interval.
std::unique_ptr<FolderListing> MakeParallelListing(ListedDirectory listed,
                                                   std::shared_ptr<DirectoryReader> reader,
                                                   unsigned threads, ProgressCallback progress,
                                                   std::chrono::milliseconds report_interval,
                                                   const StopFlag* stop = nullptr);

}  // namespace sizewalk::win32::walk
