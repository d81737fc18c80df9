// A fresh directory for the Windows tests, and what the folder service
// measures in a directory.
#pragma once

#include <filesystem>
#include <fstream>

#include "platform/win32/folder_service.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {

// A fresh directory under the temporary directory, removed afterwards.
class TempDir {
  public:
    TempDir() {
        static int counter = 0;
        while (!std::filesystem::create_directory(path_ = std::filesystem::temp_directory_path() /
                                                          ("sizewalk-test-" +
                                                           std::to_string(GetCurrentProcessId()) +
                                                           "-" + std::to_string(++counter)))) {
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(LR"(\\?\)" + path_.wstring()), ignored);
    }
    // The directory in UTF-8, ending with a backslash.
    std::string path() const { return Narrow(path_.wstring()) + "\\"; }
    const std::filesystem::path& fs() const { return path_; }
    // Also deeper than the old 260-character limit.
    void File(const std::filesystem::path& relative, std::size_t size) const {
        const std::filesystem::path full(LR"(\\?\)" +
                                         (path_ / relative).make_preferred().wstring());
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << std::string(size, 'x');
    }

  private:
    std::filesystem::path path_;
};

inline Outcome<std::unique_ptr<FolderListing>> List(FolderService& service, const std::string& dir,
                                                    ProgressCallback progress = {}) {
    auto directory = service.OpenDirectory(dir);
    if (!directory.ok()) {
        return directory.error();
    }
    return service.GetFolder(*directory.value(), std::move(progress));
}

// "name=size " for each subdirectory; after a failure "name=!" and the path
// below `dir` that could not be read.
inline std::string Sizes(FolderListing& listing, const std::string& dir = "") {
    std::string sizes;
    for (std::size_t i = 0; i < listing.SubFolders().size(); ++i) {
        const Outcome<ByteCount> size = listing.Size(i);
        std::string text = size.ok() ? std::to_string(static_cast<std::uint64_t>(size.value()))
                                     : size.error().description;
        if (!size.ok()) {
            text = std::string("!").append(text, text.find(dir) + dir.size());
        }
        sizes += listing.SubFolders()[i] + "=" + text + " ";
    }
    return sizes;
}

}  // namespace sizewalk::win32
