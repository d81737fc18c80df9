#include "platform/win32/file_service.h"

#include <algorithm>
#include <utility>

#include "platform/win32/errors.h"
#include "platform/win32/long_path.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/reparse.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {
namespace {

class OpenedOutputFile final : public OutputFile {
  public:
    // Appending: `handle` is the file itself, shared with nobody; `kept` its
    // length then. Replacing: `handle` is the file `temporary`, renamed over
    // `target` on Commit. A handle that may have to delete its file
    // (`deletable`) was opened with DELETE access.
    OpenedOutputFile(HANDLE handle, std::string path, LONGLONG kept, bool is_new, bool deletable)
        : handle_(handle),
          path_(std::move(path)),
          kept_(kept),
          is_new_(is_new),
          deletable_(deletable) {
        // A last line without its line end (a run cut off by a power cut)
        // is ended before the new block.
        char last = '\n';
        DWORD read = 0;
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>((kept - 1) & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>((kept - 1) >> 32);
        torn_ = kept > 0 && ReadFile(handle, &last, 1, &read, &at) && read == 1 && last != '\n';
    }
    ~OpenedOutputFile() override {
        if (handle_ != INVALID_HANDLE_VALUE) {
            RollBack();
            CloseHandle(handle_);
        }
    }
    OpenedOutputFile(const OpenedOutputFile&) = delete;
    OpenedOutputFile& operator=(const OpenedOutputFile&) = delete;

    void Replace(std::wstring temporary, std::wstring target, std::chrono::milliseconds busy_wait) {
        temporary_ = std::move(temporary);
        target_ = std::move(target);
        busy_wait_ = busy_wait;
    }

    bool IsNew() const override { return is_new_; }

    Status Write(const std::vector<std::string>& lines) override {
        std::string block = torn_ ? "\r\n" : "";
        for (const std::string& line : lines) {
            block += line;
            block += "\r\n";
        }
        if (!SetFilePointerEx(handle_, LARGE_INTEGER{}, nullptr, FILE_END)) {
            return Failed(GetLastError());
        }
        for (std::size_t done = 0; done < block.size();) {
            DWORD written = 0;
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(block.size() - done, 1 << 20));
            if (!WriteFile(handle_, block.data() + done, chunk, &written, nullptr)) {
                return Failed(GetLastError());
            }
            done += written;
        }
        // Undoable until the data is on the disk.
        if (!FlushFileBuffers(handle_)) {
            return Failed(GetLastError());
        }
        // The data is on the disk: an error of CloseHandle changes nothing.
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        if (temporary_.empty()) {
            return std::nullopt;
        }
        // The earlier report may be open in another program for a while.
        const auto deadline = std::chrono::steady_clock::now() + busy_wait_;
        while (!MoveFileExW(temporary_.c_str(), target_.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = GetLastError();
            if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
                std::chrono::steady_clock::now() >= deadline) {
                DeleteFileW(temporary_.c_str());
                return error == ERROR_SHARING_VIOLATION ? HeldByAnotherProcess(path_)
                                                        : SystemError(error, path_);
            }
            SleepDispatchingAllButInput(std::chrono::milliseconds(200));
        }
        return std::nullopt;
    }

  private:
    // Rolls back and closes; the failure, saying so when the file could not
    // be restored.
    Error Failed(DWORD error) {
        Error failure = SystemError(error, path_);
        if (!RollBack()) {
            failure.description +=
                ", and the file could not be restored: it may hold an incomplete report";
        }
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        return failure;
    }

    bool RollBack() {
        // Deleted while still open, so that no other run opens it meanwhile.
        if (deletable_ && (!temporary_.empty() || kept_ == 0)) {
            FILE_DISPOSITION_INFO dispose{TRUE};
            if (SetFileInformationByHandle(handle_, FileDispositionInfo, &dispose,
                                           sizeof dispose)) {
                return true;
            }
        }
        LARGE_INTEGER length{};
        length.QuadPart = kept_;
        return SetFilePointerEx(handle_, length, nullptr, FILE_BEGIN) && SetEndOfFile(handle_);
    }

    HANDLE handle_;
    std::string path_;
    LONGLONG kept_;
    bool is_new_;
    bool deletable_;
    bool torn_ = false;
    std::wstring temporary_;
    std::wstring target_;
    std::chrono::milliseconds busy_wait_{0};
};

Error NotAPlainFile(const std::string& path, const char* what) {
    return ErrorAt(errnum::kPathFileAccess, what, path);
}

}  // namespace

std::string ToCodePage(std::string_view utf8, unsigned code_page) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) {
        return {};
    }
    // UTF-8 (a system set to it) takes no flags.
    const unsigned actual = code_page == CP_ACP ? GetACP() : code_page;
    const DWORD flags = actual == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int wide_length = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(actual, flags, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    if (length > 0) {
        WideCharToMultiByte(actual, flags, wide.data(), wide_length, text.data(), length, nullptr,
                            nullptr);
    }
    return text;
}

std::string FromCodePage(std::string_view bytes, unsigned code_page) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0) {
        MultiByteToWideChar(code_page, 0, bytes.data(), size, wide.data(), length);
    }
    return Narrow(wide);
}

bool InCodePage(std::string_view utf8, unsigned code_page) {
    // Back and forth unchanged: no default character, no byte that is not
    // UTF-8, no lone surrogate.
    return FromCodePage(ToCodePage(utf8, code_page), code_page) == utf8;
}

std::string GroupSymbolFor(std::string symbol, unsigned code_page) {
    for (std::string candidate : {std::move(symbol), std::string("\u00A0")}) {
        if (InCodePage(candidate, code_page)) {
            return candidate;
        }
    }
    return " ";
}

Outcome<std::unique_ptr<OutputFile>> FileService::Open(const Directory& directory,
                                                       const std::string& name_in_directory,
                                                       OpenMode mode) {
    const std::string path = directory.path() + name_in_directory;
    Outcome<std::wstring> file = LongPath(path);
    if (!file.ok()) {
        return file.error();
    }
    const std::wstring& name = file.value();
    if (mode == OpenMode::kReplace) {
        return OpenForReplace(path, name);
    }
    // No sharing: neither another run nor anyone else writes (or reads half
    // a block) while this run writes. The reparse point itself is opened, so
    // that a link is seen and refused rather than followed.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    const auto deadline = std::chrono::steady_clock::now() + busy_wait_;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool created = false;
    for (;;) {
        handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             flags, nullptr);
        DWORD error = GetLastError();
        created = handle == INVALID_HANDLE_VALUE && error == ERROR_FILE_NOT_FOUND;
        if (created) {
            // Made by this run: it may have to go again.
            handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                 CREATE_NEW, flags, nullptr);
            error = GetLastError();
        }
        if (handle != INVALID_HANDLE_VALUE) {
            break;
        }
        const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_EXISTS;
        if (!busy || std::chrono::steady_clock::now() >= deadline) {
            return error == ERROR_SHARING_VIOLATION ? HeldByAnotherProcess(path)
                                                    : SystemError(error, path);
        }
        if (error == ERROR_SHARING_VIOLATION) {
            // The window that started the run keeps painting meanwhile.
            SleepDispatchingAllButInput(std::chrono::milliseconds(200));
        }
    }
    // A link is refused; a deduplicated or cloud file is written through its filter.
    const Opened opened = ThroughFilters(handle, GENERIC_READ | GENERIC_WRITE, 0);
    if (opened != Opened::kFile) {
        const DWORD error = GetLastError();
        if (opened == Opened::kLink) {
            CloseHandle(handle);
            return NotAPlainFile(path, "Refusing a link");
        }
        return SystemError(error, path);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER length{};
    if (!GetFileInformationByHandle(handle, &info) || !GetFileSizeEx(handle, &length)) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        return SystemError(error, path);
    }
    // A file an ordinary directory search does not show counts as new.
    const bool hidden =
        (info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    std::unique_ptr<OutputFile> output = std::make_unique<OpenedOutputFile>(
        handle, path, length.QuadPart, hidden || length.QuadPart == 0, created);
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return NotAPlainFile(path, "Not a regular file");
    }
    if (info.nNumberOfLinks > 1) {
        return NotAPlainFile(path, "Refusing a file with several hard links");
    }
    return output;
}

Outcome<std::unique_ptr<OutputFile>> FileService::OpenForReplace(const std::string& path,
                                                                 const std::wstring& name) {
    const HANDLE existing = CreateFileW(
        name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = GetFileInformationByHandle(existing, &info) && !IsLink(existing);
        CloseHandle(existing);
        if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return NotAPlainFile(path, "Not a regular file");
        }
        if (info.nNumberOfLinks > 1) {
            return NotAPlainFile(path, "Refusing a file with several hard links");
        }
    }
    // The day's report is written beside it and moved over it when complete:
    // the earlier report of the day stays until then.
    Outcome<std::pair<HANDLE, std::wstring>> temporary =
        CreateTemporarySibling(name, GENERIC_WRITE | DELETE, path);
    if (!temporary.ok()) {
        return temporary.error();
    }
    auto output = std::make_unique<OpenedOutputFile>(temporary.value().first, path, 0, true, true);
    output->Replace(std::move(temporary.value().second), name, busy_wait_);
    return std::unique_ptr<OutputFile>(std::move(output));
}

Outcome<std::pair<HANDLE, std::wstring>> CreateTemporarySibling(const std::wstring& target,
                                                                DWORD access,
                                                                const std::string& path) {
    const std::size_t cut = target.rfind(L'\\') + 1;
    const std::wstring dir = target.substr(0, cut);
    const std::string file_name = Narrow(target.substr(cut));
    const unsigned long long seed =
        (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::wstring temporary =
            dir + Wide(TemporaryName(file_name, seed + attempt * kTemporaryNameStep));
        const HANDLE handle = CreateFileW(temporary.c_str(), access, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return std::pair{handle, std::move(temporary)};
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return SystemError(GetLastError(), path);
        }
    }
    return SystemError(ERROR_FILE_EXISTS, path);
}

}  // namespace sizewalk::win32
