#include "platform/win32/folder_service.h"

#include <algorithm>
#include <utility>

#include "platform/win32/errors.h"
#include "platform/win32/long_path.h"
#include "platform/win32/reparse.h"
#include "platform/win32/walk/parallel_listing.h"
#include "platform/win32/walk/thread_choice.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {
namespace {

class OpenedDirectory final : public Directory {
  public:
    OpenedDirectory(HANDLE handle, std::string path, std::wstring long_path)
        : handle_(handle), path_(std::move(path)), long_path_(std::move(long_path)) {}
    ~OpenedDirectory() override { CloseHandle(handle_); }
    OpenedDirectory(const OpenedDirectory&) = delete;
    OpenedDirectory& operator=(const OpenedDirectory&) = delete;
    const std::string& path() const override { return path_; }
    const std::wstring& long_path() const { return long_path_; }

  private:
    HANDLE handle_;
    std::string path_;
    std::wstring long_path_;
};

}  // namespace

FolderService::FolderService(WalkOptions options) : options_(std::move(options)) {
    if (!options_.reader) {
        options_.reader = walk::MakeFindFileReader();
    }
}

Outcome<std::unique_ptr<Directory>> FolderService::OpenDirectory(const std::string& path) {
    Outcome<std::wstring> dir = LongPath(path);
    if (!dir.ok()) {
        return dir.error();
    }
    const DWORD attributes = GetFileAttributesW(dir.value().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return SystemError(GetLastError(), path);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return SystemError(ERROR_DIRECTORY, path);
    }
    const HANDLE handle =
        CreateFileW(dir.value().c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return SystemError(GetLastError(), path);
    }
    return std::unique_ptr<Directory>(
        std::make_unique<OpenedDirectory>(handle, path, std::move(dir.value())));
}

Outcome<std::unique_ptr<FolderListing>> FolderService::GetFolder(const Directory& directory,
                                                                 ProgressCallback progress) {
    const std::string& path = directory.path();
    const auto* opened = dynamic_cast<const OpenedDirectory*>(&directory);
    if (opened == nullptr) {
        return SystemError(ERROR_INVALID_HANDLE, path);
    }
    std::wstring dir = opened->long_path();
    std::vector<std::pair<std::string, std::wstring>> entries;
    const DWORD error = options_.reader->Read(dir, [&](const WIN32_FIND_DATAW& entry) {
        if (walk::IsDirectory(entry) && !IsLink(entry)) {
            entries.emplace_back(Narrow(entry.cFileName), entry.cFileName);
        }
    });
    if (error != ERROR_SUCCESS) {
        return SystemError(error, path);
    }
    std::sort(entries.begin(), entries.end());
    walk::ListedDirectory listed{path, std::move(dir), {}, {}};
    for (auto& [name, wide_name] : entries) {
        listed.names.push_back(std::move(name));
        listed.wide_names.push_back(std::move(wide_name));
    }
    if (listed.display_dir.back() != '\\' && listed.display_dir.back() != '/') {
        listed.display_dir += '\\';
    }
    const unsigned threads =
        options_.threads != 0
            ? options_.threads
            : walk::WalkThreadsFor(listed.dir, walk::RequestedWalkThreads().c_str());
    return walk::MakeParallelListing(std::move(listed), options_.reader, threads,
                                     std::move(progress), options_.report_interval, options_.stop);
}

}  // namespace sizewalk::win32
