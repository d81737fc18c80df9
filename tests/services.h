// Helpers for the tests of either system's services: a temporary directory
// tree, whole files, a listing, a tracking file opened in a directory.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "platform/file_service.h"
#include "platform/folder_service.h"
#include "platform/history_system.h"

namespace sizewalk::testing {

// A fresh directory under the temporary directory, removed afterwards;
// reachable by the unprivileged user some POSIX tests run as.
class TempDir {
  public:
    TempDir() {
        while (!std::filesystem::create_directory(
            path_ = std::filesystem::temp_directory_path() /
                    ("sizewalk-test-" + std::to_string(std::random_device{}())))) {
        }
        std::filesystem::permissions(path_, std::filesystem::perms::all);
    }
    ~TempDir() { std::filesystem::remove_all(Long(path_), ignored_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory in UTF-8, ending with the separator.
    std::string path() const {
        const std::u8string text = (path_ / "").u8string();
        return std::string(text.begin(), text.end());
    }
    const std::filesystem::path& fs() const { return path_; }

    // A file of `size` bytes (sparse where the file system can) at
    // `relative`, its directories made; also deeper than Windows' old limit
    // of 260 characters.
    void File(const std::filesystem::path& relative, std::uintmax_t size) const {
        const std::filesystem::path file = Long(path_ / relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream{file};
        std::filesystem::resize_file(file, size);
    }

  private:
    static std::filesystem::path Long(std::filesystem::path path) {
#ifdef _WIN32
        return LR"(\\?\)" + path.make_preferred().wstring();
#else
        return path;
#endif
    }
    std::filesystem::path path_;
    std::error_code ignored_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// All that `file` yields, in small reads.
inline std::string ReadAll(InputFile& file) {
    std::string text;
    char buffer[4096];
    for (std::size_t n = 1; n > 0; text.append(buffer, n)) {
        n = file.Read(buffer, sizeof buffer).value();
    }
    return text;
}

// Opens `dir` and lists it.
inline Outcome<std::unique_ptr<FolderListing>> List(FolderService& service, const std::string& dir,
                                                    ProgressCallback progress = {}) {
    auto directory = service.OpenDirectory(dir);
    if (!directory.ok()) {
        return directory.error();
    }
    return service.GetFolder(*directory.value(), std::move(progress));
}

// Opens `name` in `dir` with `files`, the directory opened by the system's
// `Folders`.
template <class Folders>
Outcome<std::unique_ptr<OutputFile>> OpenIn(FileService& files, const std::string& dir,
                                            const std::string& name, OpenMode mode) {
    Folders folders;
    auto directory = folders.OpenDirectory(dir);
    if (!directory.ok()) {
        return directory.error();
    }
    return files.Open(*directory.value(), name, mode);
}

}  // namespace sizewalk::testing
