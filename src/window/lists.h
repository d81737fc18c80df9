// The drive list and the directory list as Form1 needs them: what they hold
// and which entry is current. The faces only draw them and pass on what the
// user picks; Form1 raises the change notifications.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/volumes.h"

namespace sizewalk {

inline constexpr std::size_t kNoEntry = static_cast<std::size_t>(-1);

// "c: [SYSTEM]", "z: [\\server\share]" or "a:" for a drive letter; the
// mount point and the label for a POSIX volume.
std::string DriveText(const Volume& volume);

class DriveListState {
  public:
    explicit DriveListState(VolumeService& volumes) : service_(volumes) {}

    // Rereads the volumes. The current one stays current, and stays listed
    // while it is current even when it went away: the user chose it.
    void Refresh();
    const std::vector<Volume>& volumes() const { return volumes_; }
    std::size_t current() const { return current_; }
    // The root of the current volume; empty when none is current.
    std::string CurrentRoot() const;
    // Makes entry `index` current; returns whether that was a change.
    bool Select(std::size_t index);
    // Makes the volume holding `path` current (none: nothing changes).
    bool SelectHolding(const std::string& path);

  private:
    VolumeService& service_;
    std::vector<Volume> volumes_;
    std::size_t current_ = kNoEntry;
};

// One line of the directory list: the current path's folders from the root
// down (open), then its subdirectories (closed), each one level deeper.
struct DirectoryEntry {
    std::string text;
    std::string path;
    std::size_t depth = 0;
    bool open = false;
};

class DirectoryListState {
  public:
    explicit DirectoryListState(VolumeService& volumes) : volumes_(volumes) {}

    // A volume root ends with the separator, any other directory does not.
    const std::string& path() const { return path_; }
    const std::vector<DirectoryEntry>& entries() const { return entries_; }
    // The entry of path() itself.
    std::size_t current() const { return current_; }
    // Lists `path` and makes it current; on a failure nothing changes. A
    // path ending with the separator is a volume root, the top of the list.
    Status SetPath(const std::string& path);
    // The path at creation under the volume root `root`; when it cannot be
    // listed it is current all the same, without subdirectories.
    void SetInitialPath(const std::string& path, const std::string& root);

  private:
    void Show(const std::vector<std::string>& subdirectories);

    VolumeService& volumes_;
    std::string path_;
    std::string root_;
    std::vector<DirectoryEntry> entries_;
    std::size_t current_ = kNoEntry;
};

}  // namespace sizewalk
