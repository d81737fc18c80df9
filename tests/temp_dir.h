// A temporary directory tree for tests, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace sizewalk::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, ending with the separator.
    std::string path() const { return path_.string() + "/"; }
    const std::filesystem::path& fs() const { return path_; }

    // A file of `size` bytes (sparse) at `relative`, its directories made.
    void File(const std::string& relative, std::uintmax_t size) const;

  private:
    std::filesystem::path path_;
};

}  // namespace sizewalk::testing
