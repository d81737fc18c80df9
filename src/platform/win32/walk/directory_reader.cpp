#include "platform/win32/walk/directory_reader.h"

#include "platform/win32/long_path.h"

namespace sizewalk::win32::walk {
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

class FindFileReader final : public DirectoryReader {
  public:
    DWORD Read(const std::wstring& dir, const EntryVisitor& visit) override {
        return ForEachEntry(dir, visit);
    }
};

}  // namespace

DWORD ForEachEntry(const std::wstring& dir, const EntryVisitor& visit) {
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

std::shared_ptr<DirectoryReader> MakeFindFileReader() {
    return std::make_shared<FindFileReader>();
}

bool IsDirectory(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace sizewalk::win32::walk
