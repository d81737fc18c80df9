// The folder service on Windows.
#pragma once

#include <chrono>

#include "platform/folder_service.h"

namespace sizewalk::win32 {

// Walks each subdirectory's tree with FindFirstFileExW (basic information,
// large fetches) on \\?\ paths, summing the file sizes the directory entries
// carry. Junctions, directory symbolic links and other name-surrogate
// reparse points are neither listed nor followed; a file with several hard
// links counts once per name. Names are sorted by byte order of their UTF-8
// form, not as Explorer sorts them.
// Progress is reported after each subdirectory and, while one is walked,
// after a directory when `report_interval` has passed since the last report.
class Win32FolderService final : public FolderService {
  public:
    explicit Win32FolderService(
        std::chrono::milliseconds report_interval = std::chrono::milliseconds(100))
        : report_interval_(report_interval) {}
    // Holds the directory open without delete sharing for as long as the
    // run lasts, so that it cannot be renamed or replaced meanwhile (Win32
    // has no calls relative to a directory handle: the rest goes by path).
    Outcome<std::unique_ptr<Directory>> OpenDirectory(const std::string& path) override;
    Outcome<std::unique_ptr<FolderListing>> GetFolder(const Directory& directory,
                                                      ProgressCallback progress) override;

  private:
    std::chrono::milliseconds report_interval_;
};

}  // namespace sizewalk::win32
