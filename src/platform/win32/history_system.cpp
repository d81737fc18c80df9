// Reading the size history on Windows.
#include "platform/history_system.h"

#include <aclapi.h>

#include <chrono>
#include <utility>

#include "platform/file_service.h"
#include "platform/win32/errors.h"
#include "platform/win32/file_service.h"
#include "platform/win32/long_path.h"
#include "platform/win32/reparse.h"
#include "platform/win32/walk/directory_reader.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {
namespace {

class LockedInput final : public InputFile {
  public:
    LockedInput(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~LockedInput() override { CloseHandle(handle_); }
    LockedInput(const LockedInput&) = delete;
    LockedInput& operator=(const LockedInput&) = delete;

    void Limit(LONGLONG size, bool trusted) {
        left_ = size;
        trusted_ = trusted;
    }

    Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
        DWORD got = 0;
        const auto chunk = static_cast<DWORD>(
            std::min<LONGLONG>(left_, static_cast<LONGLONG>(std::min<std::size_t>(size, 1 << 30))));
        if (chunk > 0 && !ReadFile(handle_, buffer, chunk, &got, nullptr)) {
            return SystemError(GetLastError(), path_);
        }
        left_ -= got;
        return static_cast<std::size_t>(got);
    }

    bool TrustedOwner() const override { return trusted_; }

  private:
    HANDLE handle_;
    std::string path_;
    LONGLONG left_ = 0;
    bool trusted_ = true;
};

// The owner of a file or directory; nothing where the file system keeps none (FAT).
std::unique_ptr<BYTE[]> OwnerOf(HANDLE handle) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return nullptr;
    }
    std::unique_ptr<BYTE[]> copy;
    if (owner != nullptr && IsValidSid(owner)) {
        const DWORD length = GetLengthSid(owner);
        copy = std::make_unique<BYTE[]>(length);
        CopySid(length, copy.get(), owner);
    }
    LocalFree(descriptor);
    return copy;
}

// Whether `file` belongs to this user, to the Administrators or the system
// (where an administrator's files belong), or to the owner of `dir`.
bool TrustedOwner(HANDLE file, const std::wstring& dir) {
    const std::unique_ptr<BYTE[]> owner = OwnerOf(file);
    if (!owner) {
        return true;
    }
    if (IsWellKnownSid(owner.get(), WinBuiltinAdministratorsSid) ||
        IsWellKnownSid(owner.get(), WinLocalSystemSid)) {
        return true;
    }
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD length = 0;
        const bool mine = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) &&
                          EqualSid(owner.get(), reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
        CloseHandle(token);
        if (mine) {
            return true;
        }
    }
    const HANDLE directory = CreateFileW(
        dir.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::unique_ptr<BYTE[]> dir_owner = OwnerOf(directory);
    CloseHandle(directory);
    return dir_owner && EqualSid(owner.get(), dir_owner.get());
}

class Replacement final : public ReplacementFile {
  public:
    Replacement(HANDLE handle, std::wstring temporary, std::wstring target, std::string path)
        : handle_(handle),
          temporary_(std::move(temporary)),
          target_(std::move(target)),
          path_(std::move(path)) {}
    ~Replacement() override {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
            DeleteFileW(temporary_.c_str());
        }
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    Status Write(std::string_view bytes) override;

    Status Commit() override {
        if (!FlushFileBuffers(handle_)) {
            return SystemError(GetLastError(), path_);
        }
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        if (!MoveFileExW(temporary_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = GetLastError();
            DeleteFileW(temporary_.c_str());
            return SystemError(error, path_);
        }
        return std::nullopt;
    }

  private:
    HANDLE handle_;
    std::wstring temporary_;
    std::wstring target_;
    std::string path_;
};

Status WriteAll(HANDLE handle, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr)) {
            return SystemError(GetLastError(), path);
        }
        bytes.remove_prefix(written);
    }
    return std::nullopt;
}

Status Replacement::Write(std::string_view bytes) {
    return WriteAll(handle_, bytes, path_);
}

class HistorySystem final : public sizewalk::HistorySystem {
  public:
    Outcome<std::vector<ListedFile>> ListFiles(const std::string& dir) override {
        Outcome<std::wstring> long_dir = LongPath(dir);
        if (!long_dir.ok()) {
            return long_dir.error();
        }
        std::vector<ListedFile> names;
        const DWORD error =
            walk::ForEachEntry(long_dir.value(), [&names](const WIN32_FIND_DATAW& entry) {
                names.push_back({Narrow(entry.cFileName), IsLink(entry) ? FileKind::kLink
                                                          : walk::IsDirectory(entry)
                                                              ? FileKind::kDirectory
                                                              : FileKind::kRegular});
            });
        if (error != ERROR_SUCCESS) {
            return SystemError(error, dir);
        }
        return names;
    }

    Outcome<std::unique_ptr<InputFile>> OpenForReading(const std::string& path,
                                                       std::chrono::milliseconds wait) override {
        Outcome<std::wstring> file = LongPath(path);
        if (!file.ok()) {
            return file.error();
        }
        // Shared with readers only: a run, which opens the file shared with
        // nobody, waits until it is read, and one that writes is waited for.
        const auto deadline = std::chrono::steady_clock::now() + wait;
        HANDLE handle = INVALID_HANDLE_VALUE;
        for (;;) {
            handle = CreateFileW(file.value().c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                break;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_SHARING_VIOLATION) {
                return SystemError(error, path);
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return Error{errnum::kPathFileAccess,
                             ShownPath(path) + ": " + std::string(kFileBusy)};
            }
            Sleep(static_cast<DWORD>(kBusyRetry.count()));
        }
        const Opened opened = ThroughFilters(handle, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ);
        if (opened == Opened::kFailed) {
            return SystemError(GetLastError(), path);
        }
        auto input = std::make_unique<LockedInput>(handle, path);
        BY_HANDLE_FILE_INFORMATION info{};
        LARGE_INTEGER size{};
        if (!GetFileInformationByHandle(handle, &info) || !GetFileSizeEx(handle, &size)) {
            return SystemError(GetLastError(), path);
        }
        if (opened == Opened::kLink || GetFileType(handle) != FILE_TYPE_DISK) {
            return ErrorAt(errnum::kPathFileAccess,
                           RuntimeErrorText(errnum::kPathFileAccess) + ": not a regular file",
                           path);
        }
        const std::wstring& name = file.value();
        input->Limit(size.QuadPart,
                     TrustedOwner(handle, name.substr(0, name.find_last_of(L'\\') + 1)));
        // The files are written in the system's code page; where that is
        // UTF-8, a line that is not keeps its bytes.
        if (GetACP() == CP_UTF8) {
            return std::unique_ptr<InputFile>(std::move(input));
        }
        return std::unique_ptr<InputFile>(std::make_unique<Utf8Lines>(
            std::move(input), [](std::string_view line) { return FromCodePage(line, CP_ACP); }));
    }

    Outcome<std::unique_ptr<ReplacementFile>> Replace(const std::string& path) override {
        Outcome<std::wstring> target = LongPath(path);
        if (!target.ok()) {
            return target.error();
        }
        Outcome<std::pair<HANDLE, std::wstring>> temporary =
            CreateTemporarySibling(target.value(), GENERIC_WRITE, path);
        if (!temporary.ok()) {
            return temporary.error();
        }
        return std::unique_ptr<ReplacementFile>(std::make_unique<Replacement>(
            temporary.value().first, std::move(temporary.value().second), target.value(), path));
    }

    LocalTime Now() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    }

    Outcome<std::string> WriteTemporaryFile(std::string_view suffix,
                                            std::string_view content) override {
        std::wstring dir(MAX_PATH + 1, L'\0');
        dir.resize(GetTempPathW(static_cast<DWORD>(dir.size()), dir.data()));
        if (dir.empty()) {
            return SystemError(GetLastError(), "%TEMP%");
        }
        RemoveOldPages(dir);
        for (int attempt = 0;; ++attempt) {
            const std::wstring name =
                L"sizewalk-history-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(pages_++) + Wide(suffix);
            const std::string path = Narrow(dir + name);
            HANDLE handle = CreateFileW((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle == INVALID_HANDLE_VALUE) {
                const DWORD error = GetLastError();
                if (error == ERROR_FILE_EXISTS && attempt < 100) {
                    continue;
                }
                return SystemError(error, path);
            }
            Status status = WriteAll(handle, content, path);
            if (!CloseHandle(handle) && !status) {
                status = SystemError(GetLastError(), path);
            }
            if (status) {
                DeleteFileW((dir + name).c_str());
                return *status;
            }
            return path;
        }
    }

    std::int64_t EpochSeconds(const LocalTime& local) override {
        SYSTEMTIME local_time{};
        local_time.wYear = static_cast<WORD>(local.year);
        local_time.wMonth = static_cast<WORD>(local.month);
        local_time.wDay = static_cast<WORD>(local.day);
        local_time.wHour = static_cast<WORD>(local.hour);
        local_time.wMinute = static_cast<WORD>(local.minute);
        local_time.wSecond = static_cast<WORD>(local.second);
        SYSTEMTIME utc{};
        FILETIME file_time{};
        if (!TzSpecificLocalTimeToSystemTime(nullptr, &local_time, &utc) ||
            !SystemTimeToFileTime(&utc, &file_time)) {
            return 0;
        }
        const std::int64_t ticks =
            (static_cast<std::int64_t>(file_time.dwHighDateTime) << 32) | file_time.dwLowDateTime;
        return (ticks - 116444736000000000LL) / 10000000;  // 100 ns since 1601
    }

    Outcome<std::optional<ByteCount>> FreeSpace(const std::string& dir) override {
        Outcome<std::wstring> long_dir = LongPath(dir);
        if (!long_dir.ok()) {
            return long_dir.error();
        }
        ULARGE_INTEGER available{};  // to this user, within a quota
        ULARGE_INTEGER total{};
        if (!GetDiskFreeSpaceExW(JoinPath(long_dir.value(), L"").c_str(), &available, &total,
                                 nullptr)) {
            return SystemError(GetLastError(), dir);
        }
        if (total.QuadPart == 0) {
            return std::optional<ByteCount>();
        }
        return std::optional<ByteCount>(ByteCount{available.QuadPart});
    }

    std::optional<FileSystemKey> FileSystemOf(const std::string& path) override {
        Outcome<std::wstring> long_path = LongPath(path);
        if (!long_path.ok()) {
            return std::nullopt;
        }
        // A volume mounted on a folder is followed to that volume.
        const HANDLE handle =
            CreateFileW(long_path.value().c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return std::nullopt;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = GetFileInformationByHandle(handle, &info);
        CloseHandle(handle);
        return known ? std::optional<FileSystemKey>(FileSystemKey{info.dwVolumeSerialNumber, 0})
                     : std::nullopt;
    }

  private:
    // The pages written more than a day ago, which the browser has long read:
    // nothing else cleans %TEMP% as Linux cleans /tmp.
    static void RemoveOldPages(const std::wstring& dir) {
        WIN32_FIND_DATAW entry{};
        const HANDLE find = FindFirstFileW((dir + L"sizewalk-history-*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) {
            return;
        }
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        const auto ticks = [](const FILETIME& time) {  // 100 ns
            return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        };
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !IsLink(entry) &&
                ticks(now) - ticks(entry.ftLastWriteTime) > 24ull * 3600 * 10'000'000) {
                DeleteFileW((dir + entry.cFileName).c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }

    unsigned pages_ = 0;  // this process's temporary pages, for unique names
};

// A program without a console of its own: output goes where it was sent,
// or, started from a console window, to that window.
class Console final : public sizewalk::Console {
  public:
    Console() {
        output_ = Usable(GetStdHandle(STD_OUTPUT_HANDLE));
        error_ = Usable(GetStdHandle(STD_ERROR_HANDLE));
        if ((output_ == nullptr || error_ == nullptr) && AttachConsole(ATTACH_PARENT_PROCESS)) {
            const HANDLE console =
                CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            if (console != INVALID_HANDLE_VALUE) {
                output_ = output_ != nullptr ? output_ : console;
                error_ = error_ != nullptr ? error_ : console;
            }
        }
    }

    bool OutputIsTerminal() override { return IsConsole(output_); }
    // A console shows any character through WriteConsoleW.
    bool OutputIsUtf8() override { return IsConsole(output_); }

    Status Write(std::string_view bytes) override {
        if (output_ == nullptr) {
            return std::nullopt;  // nowhere to go, as for a program started without one
        }
        return Put(output_, bytes, "standard output");
    }

    void WriteError(std::string_view line) override {
        if (error_ != nullptr) {
            std::string text(line);
            text += "\r\n";
            Put(error_, text, "standard error");
        }
    }

  private:
    static HANDLE Usable(HANDLE handle) {
        return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }

    static bool IsConsole(HANDLE handle) {
        DWORD mode = 0;
        return handle != nullptr && GetConsoleMode(handle, &mode);
    }

    static Status Put(HANDLE handle, std::string_view bytes, const std::string& what) {
        if (!IsConsole(handle)) {
            return WriteAll(handle, bytes, what);
        }
        const std::wstring wide = Wide(bytes);
        DWORD written = 0;
        for (std::size_t done = 0; done < wide.size(); done += written) {
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
            if (!WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr)) {
                return SystemError(GetLastError(), what);
            }
        }
        return std::nullopt;
    }

    HANDLE output_ = nullptr;
    HANDLE error_ = nullptr;
};

}  // namespace
}  // namespace sizewalk::win32

namespace sizewalk {

std::unique_ptr<HistorySystem> MakeSystemHistory() {
    return std::make_unique<win32::HistorySystem>();
}

std::unique_ptr<Console> MakeSystemConsole() {
    return std::make_unique<win32::Console>();
}

}  // namespace sizewalk
