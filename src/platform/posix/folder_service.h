// The folder service on POSIX systems: lists the directory and hands the
// measuring to the parallel walk (platform/posix/walk/).
#pragma once

#include "platform/folder_service.h"
#include "platform/posix/walk/parallel_listing.h"

namespace sizewalk::posix {

class FolderService final : public sizewalk::FolderService {
  public:
    explicit FolderService(walk::WalkOptions options = {});

    Outcome<std::unique_ptr<Directory>> OpenDirectory(const std::string& path) override;
    // Lists and walks through a descriptor of its own, opened relative to
    // the directory's (its reading position is the listing's alone).
    Outcome<std::unique_ptr<FolderListing>> GetFolder(const Directory& directory,
                                                      ProgressCallback progress) override;

  private:
    walk::WalkOptions options_;
};

}  // namespace sizewalk::posix
