#include "window/lists.h"

#include <algorithm>
#include <cctype>

#include "platform/paths.h"

namespace sizewalk {
namespace {

bool IsDriveRoot(const std::string& root) {
    return root.size() == 3 && root[1] == ':' && root[2] == '\\';
}

// The classic lists write drive letters in lower case.
std::string RootText(const std::string& root) {
    if (!IsDriveRoot(root)) {
        return root;
    }
    std::string text = root;
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

bool IsWithin(const std::string& path, const std::string& root) {
    return !root.empty() && path.compare(0, root.size(), root) == 0;
}

std::string Child(const std::string& dir, const std::string& name) {
    return dir.back() == kPathSeparator ? dir + name : dir + kPathSeparator + name;
}

}  // namespace

std::string DriveText(const Volume& volume) {
    if (IsDriveRoot(volume.root)) {
        const std::string drive = RootText(volume.root).substr(0, 2);
        return volume.label.empty() ? drive : drive + " [" + volume.label + "]";
    }
    return volume.label.empty() ? volume.root : volume.root + "  [" + volume.label + "]";
}

void DriveListState::Refresh() {
    const std::string current = CurrentRoot();
    std::vector<Volume> fresh = service_.Volumes();
    const auto listed = [&](const std::string& root) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [&](const Volume& v) { return v.root == root; });
    };
    if (!current.empty() && !listed(current)) {
        fresh.push_back(volumes_[current_]);
    }
    std::sort(fresh.begin(), fresh.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    volumes_ = std::move(fresh);
    current_ = kNoEntry;
    for (std::size_t i = 0; i < volumes_.size(); ++i) {
        if (volumes_[i].root == current) {
            current_ = i;
        }
    }
}

std::string DriveListState::CurrentRoot() const {
    return current_ < volumes_.size() ? volumes_[current_].root : std::string();
}

bool DriveListState::Select(std::size_t index) {
    if (index >= volumes_.size() || index == current_) {
        return false;
    }
    current_ = index;
    return true;
}

bool DriveListState::SelectHolding(const std::string& path) {
    const std::string root = VolumeRootOf(volumes_, path);
    for (std::size_t i = 0; i < volumes_.size(); ++i) {
        if (!root.empty() && volumes_[i].root == root) {
            return Select(i);
        }
    }
    return false;
}

Status DirectoryListState::SetPath(const std::string& path) {
    Outcome<std::vector<std::string>> subdirectories = volumes_.Subdirectories(path);
    if (!subdirectories.ok()) {
        return subdirectories.error();
    }
    if (!path.empty() && path.back() == kPathSeparator) {
        root_ = path;
    } else if (!IsWithin(path, root_)) {
        root_ = path.size() > 1 && path[1] == ':' ? path.substr(0, 2) + kPathSeparator
                                                  : std::string(1, kPathSeparator);
    }
    path_ = path;
    Show(subdirectories.value());
    return std::nullopt;
}

void DirectoryListState::SetInitialPath(const std::string& path, const std::string& root) {
    path_ = path;
    root_ = IsWithin(path, root) ? root : std::string(1, kPathSeparator);
    Outcome<std::vector<std::string>> subdirectories = volumes_.Subdirectories(path);
    Show(subdirectories.ok() ? subdirectories.value() : std::vector<std::string>{});
}

void DirectoryListState::Show(const std::vector<std::string>& subdirectories) {
    entries_.clear();
    entries_.push_back({RootText(root_), root_, 0, true});
    std::string walked = root_;
    for (std::size_t pos = root_.size(); pos < path_.size();) {
        const std::size_t end = std::min(path_.find(kPathSeparator, pos), path_.size());
        const std::string name = path_.substr(pos, end - pos);
        pos = end + 1;
        if (!name.empty()) {
            walked = Child(walked, name);
            entries_.push_back({name, walked, entries_.size(), true});
        }
    }
    current_ = entries_.size() - 1;
    for (const std::string& name : subdirectories) {
        entries_.push_back({name, Child(path_, name), current_ + 1, false});
    }
}

}  // namespace sizewalk
