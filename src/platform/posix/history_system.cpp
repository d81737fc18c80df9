// Reading the size history on POSIX systems.
#include "platform/history_system.h"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/posix/descriptor.h"
#include "platform/posix/errors.h"
#include "platform/posix/history_files.h"

namespace sizewalk::posix {
namespace {

class HistorySystem final : public sizewalk::HistorySystem {
  public:
    Outcome<std::vector<ListedFile>> ListFiles(const std::string& dir) override {
        return ListDirectory(dir);
    }

    Outcome<std::unique_ptr<InputFile>> OpenForReading(const std::string& path,
                                                       std::chrono::milliseconds wait) override {
        return OpenLocked(path, wait);
    }

    Outcome<std::unique_ptr<ReplacementFile>> Replace(const std::string& path) override {
        return ReplaceFile(path);
    }

    LocalTime Now() override {
        const std::time_t now = std::time(nullptr);
        std::tm parts{};
        localtime_r(&now, &parts);
        return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    }

    Outcome<std::string> WriteTemporaryFile(std::string_view suffix,
                                            std::string_view content) override {
        std::string path = PageDirectory();
        if (path.back() != '/') {
            path += '/';
        }
        path += kPagePrefix;
        path += "XXXXXX";
        path += suffix;
        const int fd = mkostemps(path.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
        if (fd < 0) {
            return SystemError(errno, path);
        }
        int error = WriteAll(fd, content);
        if (close(fd) != 0 && error == 0) {
            error = errno;
        }
        if (error != 0) {
            unlink(path.c_str());
            return SystemError(error, path);
        }
        return path;
    }

    Outcome<std::optional<ByteCount>> FreeSpace(const std::string& dir) override {
        struct statvfs space {};
        if (statvfs(dir.c_str(), &space) != 0) {
            return SystemError(errno, dir);
        }
        if (space.f_blocks == 0) {
            return std::optional<ByteCount>();
        }
        return std::optional<ByteCount>(ByteCount{space.f_bavail} * space.f_frsize);
    }

    std::optional<FileSystemKey> FileSystemOf(const std::string& path) override {
        struct statx entry {};
        if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                  STATX_TYPE | STATX_MNT_ID, &entry) != 0) {
            return std::nullopt;
        }
        // The mount where the kernel tells it (5.8 on).
        return FileSystemKey{makedev(entry.stx_dev_major, entry.stx_dev_minor),
                             (entry.stx_mask & STATX_MNT_ID) != 0 ? entry.stx_mnt_id : 0};
    }

    std::int64_t EpochSeconds(const LocalTime& local) override {
        std::tm parts{};
        parts.tm_year = local.year - 1900;
        parts.tm_mon = local.month - 1;
        parts.tm_mday = local.day;
        parts.tm_hour = local.hour;
        parts.tm_min = local.minute;
        parts.tm_sec = local.second;
        parts.tm_isdst = -1;
        return static_cast<std::int64_t>(std::mktime(&parts));
    }
};

class Console final : public sizewalk::Console {
  public:
    bool OutputIsTerminal() override { return isatty(STDOUT_FILENO) == 1; }
    bool OutputIsUtf8() override { return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0; }
    Status Write(std::string_view bytes) override {
        const int error = WriteAll(STDOUT_FILENO, bytes);
        return error != 0 ? Status(SystemError(error, "standard output")) : std::nullopt;
    }
    void WriteError(std::string_view line) override {
        std::string text(line);
        text += '\n';
        WriteAll(STDERR_FILENO, text);
    }
};

}  // namespace
}  // namespace sizewalk::posix

namespace sizewalk {

std::unique_ptr<HistorySystem> MakeSystemHistory() {
    return std::make_unique<posix::HistorySystem>();
}

std::unique_ptr<Console> MakeSystemConsole() {
    return std::make_unique<posix::Console>();
}

}  // namespace sizewalk
