#include "platform/win32/folder_service.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/win32/errors.h"
#include "platform/win32/long_path.h"
#include "platform/win32/reparse.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {
namespace {

// Closes a search handle on every way out.
class FindHandle {
  public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            FindClose(handle_);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

bool IsDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

bool IsDirectory(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Calls `visit` for each entry of `dir` but "." and ".."; returns the
// Windows error that stopped the listing, or ERROR_SUCCESS.
template <typename Visit>
DWORD ForEachEntry(const std::wstring& dir, Visit visit) {
    WIN32_FIND_DATAW entry{};
    FindHandle find(FindFirstFileExW(JoinPath(dir, L"*").c_str(), FindExInfoBasic, &entry,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A directory without even "." (an empty drive root) has no entries.
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    do {
        if (!IsDotOrDotDot(entry.cFileName)) {
            visit(entry);
        }
    } while (FindNextFileW(find.get(), &entry));
    const DWORD error = GetLastError();
    return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
}

class Win32Listing final : public FolderListing {
  public:
    // `display_dir` is the directory as the caller named it, for messages;
    // `dir` its long form.
    Win32Listing(std::string display_dir, std::wstring dir, std::vector<std::string> names,
                 std::vector<std::wstring> wide_names, ProgressCallback progress,
                 std::chrono::milliseconds report_interval)
        : display_dir_(std::move(display_dir)),
          dir_(std::move(dir)),
          names_(std::move(names)),
          wide_names_(std::move(wide_names)),
          progress_(std::move(progress)),
          report_interval_(static_cast<ULONGLONG>(report_interval.count())) {}

    const std::vector<std::string>& SubFolders() const override { return names_; }

    Outcome<ByteCount> Size(std::size_t index) override {
        Outcome<ByteCount> size = MeasureTree(JoinPath(dir_, wide_names_.at(index)));
        ++progress_state_.entries_done;
        if (progress_) {
            progress_(progress_state_);
        }
        return size;
    }

  private:
    // Sums one immediate subdirectory's tree. Directories that vanish while
    // it is walked no longer count; any other failure fails the whole tree.
    Outcome<ByteCount> MeasureTree(const std::wstring& root) {
        ByteCount total = 0;
        std::vector<std::wstring> stack{root};
        bool at_root = true;
        while (!stack.empty()) {
            const std::wstring current = std::move(stack.back());
            stack.pop_back();
            const DWORD error = ForEachEntry(current, [&](const WIN32_FIND_DATAW& entry) {
                if (IsLink(entry)) {
                    return;
                }
                if (IsDirectory(entry)) {
                    stack.push_back(JoinPath(current, entry.cFileName));
                    return;
                }
                ++progress_state_.files_seen;
                total +=
                    (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
            });
            if (error == ERROR_PATH_NOT_FOUND && !at_root) {
                continue;
            }
            if (error != ERROR_SUCCESS) {
                return ErrorFromWin32(error, Display(current));
            }
            at_root = false;
            ReportNowAndThen();
        }
        return total;
    }

    // While one subdirectory's tree is walked too: a window repaints at
    // each report.
    void ReportNowAndThen() {
        const ULONGLONG now = GetTickCount64();
        if (progress_ && now - last_report_ >= report_interval_) {
            last_report_ = now;
            progress_(progress_state_);
        }
    }

    // A long path below dir_ as the caller would write it.
    std::string Display(const std::wstring& path) const {
        return display_dir_ + Narrow(std::wstring_view(path).substr(
                                  std::min(path.size(), dir_.size() + (dir_.back() != L'\\'))));
    }

    std::string display_dir_;
    std::wstring dir_;
    std::vector<std::string> names_;
    std::vector<std::wstring> wide_names_;
    ProgressCallback progress_;
    ScanProgress progress_state_;
    ULONGLONG report_interval_;
    ULONGLONG last_report_ = GetTickCount64();
};

}  // namespace

namespace {

class Win32Directory final : public Directory {
  public:
    Win32Directory(HANDLE handle, std::string path, std::wstring long_path)
        : handle_(handle), path_(std::move(path)), long_path_(std::move(long_path)) {}
    ~Win32Directory() override { CloseHandle(handle_); }
    Win32Directory(const Win32Directory&) = delete;
    Win32Directory& operator=(const Win32Directory&) = delete;
    const std::string& path() const override { return path_; }
    const std::wstring& long_path() const { return long_path_; }

  private:
    HANDLE handle_;
    std::string path_;
    std::wstring long_path_;
};

}  // namespace

Outcome<std::unique_ptr<Directory>> Win32FolderService::OpenDirectory(const std::string& path) {
    Outcome<std::wstring> dir = LongPath(path);
    if (!dir.ok()) {
        return dir.error();
    }
    const DWORD attributes = GetFileAttributesW(dir.value().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return ErrorFromWin32(GetLastError(), path);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return ErrorFromWin32(ERROR_DIRECTORY, path);
    }
    const HANDLE handle =
        CreateFileW(dir.value().c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return ErrorFromWin32(GetLastError(), path);
    }
    return std::unique_ptr<Directory>(
        std::make_unique<Win32Directory>(handle, path, std::move(dir.value())));
}

Outcome<std::unique_ptr<FolderListing>> Win32FolderService::GetFolder(const Directory& directory,
                                                                      ProgressCallback progress) {
    const std::string& path = directory.path();
    const auto* opened = dynamic_cast<const Win32Directory*>(&directory);
    if (opened == nullptr) {
        return ErrorFromWin32(ERROR_INVALID_HANDLE, path);
    }
    std::wstring dir = opened->long_path();
    std::vector<std::pair<std::string, std::wstring>> entries;
    const DWORD error = ForEachEntry(dir, [&](const WIN32_FIND_DATAW& entry) {
        if (IsDirectory(entry) && !IsLink(entry)) {
            entries.emplace_back(Narrow(entry.cFileName), entry.cFileName);
        }
    });
    if (error != ERROR_SUCCESS) {
        return ErrorFromWin32(error, path);
    }
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> names;
    std::vector<std::wstring> wide_names;
    for (auto& [name, wide_name] : entries) {
        names.push_back(std::move(name));
        wide_names.push_back(std::move(wide_name));
    }
    std::string display_dir = path;
    if (display_dir.back() != '\\' && display_dir.back() != '/') {
        display_dir += '\\';
    }
    return std::unique_ptr<FolderListing>(std::make_unique<Win32Listing>(
        std::move(display_dir), std::move(dir), std::move(names), std::move(wide_names),
        std::move(progress), report_interval_));
}

}  // namespace sizewalk::win32
