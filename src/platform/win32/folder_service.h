// The folder service on Windows.
#pragma once

#include <chrono>
#include <memory>

#include "platform/folder_service.h"
#include "platform/stop_flag.h"
#include "platform/win32/walk/directory_reader.h"

namespace sizewalk::win32 {

struct WalkOptions {
    // Threads that read directories; 0: SIZEWALK_THREADS, or as suits the
    // directory's drive (walk/thread_choice.h).
    unsigned threads = 0;
    // The reads: FindFirstFileExW unless a test puts another here.
    std::shared_ptr<walk::DirectoryReader> reader{};
    // How often progress is reported while a subdirectory is measured.
    std::chrono::milliseconds report_interval = std::chrono::milliseconds(100);
    // Set when the run is asked to stop (a console's Ctrl+C or closing).
    const StopFlag* stop = nullptr;
};

// Walks each subdirectory's tree on \\?\ paths, several directories at a
// time (walk/parallel_listing.h), summing the file sizes the directory
// entries carry. Junctions, directory symbolic links and other
// name-surrogate reparse points are neither listed nor followed; a file with
// several hard links counts once per name. Names are sorted by byte order of
// their UTF-8 form, not as Explorer sorts them.
class FolderService final : public sizewalk::FolderService {
  public:
    explicit FolderService(WalkOptions options = {});
    // Holds the directory open without delete sharing for as long as the
    // run lasts, so that it cannot be renamed or replaced meanwhile (Win32
    // has no calls relative to a directory handle: the rest goes by path).
    Outcome<std::unique_ptr<Directory>> OpenDirectory(const std::string& path) override;
    Outcome<std::unique_ptr<FolderListing>> GetFolder(const Directory& directory,
                                                      ProgressCallback progress) override;

  private:
    WalkOptions options_;
};

}  // namespace sizewalk::win32
