#include "platform/win32/file_service.h"

#include <thread>

#include "platform/win32/errors.h"
#include "platform/win32/long_path.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {
namespace {

class Win32OutputFile final : public OutputFile {
  public:
    Win32OutputFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~Win32OutputFile() override {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Win32OutputFile(const Win32OutputFile&) = delete;
    Win32OutputFile& operator=(const Win32OutputFile&) = delete;

    Status WriteLine(std::string_view line) override {
        std::string buffer = ToCodePage(line, CP_ACP);
        buffer += "\r\n";
        std::size_t done = 0;
        while (done < buffer.size()) {
            DWORD written = 0;
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1 << 20));
            if (!WriteFile(handle_, buffer.data() + done, chunk, &written, nullptr)) {
                return ErrorFromWin32(GetLastError(), path_);
            }
            done += written;
        }
        return std::nullopt;
    }

    Status Close() override {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(handle)) {
            return ErrorFromWin32(GetLastError(), path_);
        }
        return std::nullopt;
    }

  private:
    HANDLE handle_;
    std::string path_;
};

Error NotAPlainFile(const std::string& path, const char* what) {
    return Error{errnum::kPathFileAccess,
                 RuntimeErrorText(errnum::kPathFileAccess) + ": " + what + ": " + path};
}

}  // namespace

std::string ToCodePage(std::string_view utf8, unsigned code_page) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) {
        return {};
    }
    const int wide_length = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(code_page, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    if (length > 0) {
        WideCharToMultiByte(code_page, 0, wide.data(), wide_length, text.data(), length, nullptr,
                            nullptr);
    }
    return text;
}

Outcome<bool> Win32FileService::Exists(const std::string& path) {
    Outcome<std::wstring> file = LongPath(path);
    if (!file.ok()) {
        return file.error();
    }
    const DWORD attributes = GetFileAttributesW(file.value().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return false;
        }
        return ErrorFromWin32(error, path);
    }
    return (attributes &
            (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

Outcome<std::unique_ptr<OutputFile>> Win32FileService::Open(const std::string& path,
                                                            OpenMode mode) {
    Outcome<std::wstring> file = LongPath(path);
    if (!file.ok()) {
        return file.error();
    }
    // No sharing: neither another run nor anyone else writes (or reads half
    // a block) while this run writes. The reparse point itself is opened, so
    // that a link is seen and refused rather than followed.
    const auto deadline = std::chrono::steady_clock::now() + busy_wait_;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (;;) {
        handle = CreateFileW(file.value().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            break;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION || std::chrono::steady_clock::now() >= deadline) {
            return ErrorFromWin32(error, path);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::unique_ptr<OutputFile> output = std::make_unique<Win32OutputFile>(handle, path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        return ErrorFromWin32(GetLastError(), path);
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return NotAPlainFile(path, "refusing a reparse point");
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return NotAPlainFile(path, "not a regular file");
    }
    // Emptied or positioned only now that the file is this run's alone.
    const BOOL positioned = mode == OpenMode::kOutput
                                ? SetEndOfFile(handle)
                                : SetFilePointerEx(handle, LARGE_INTEGER{}, nullptr, FILE_END);
    if (!positioned) {
        return ErrorFromWin32(GetLastError(), path);
    }
    return output;
}

}  // namespace sizewalk::win32
