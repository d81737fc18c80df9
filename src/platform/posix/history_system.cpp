// Reading the size history on POSIX systems.
#include "platform/history_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/posix/descriptor.h"
#include "platform/posix/errors.h"

namespace sizewalk {
namespace {

class PosixInputFile final : public InputFile {
  public:
    PosixInputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = read(fd_.get(), buffer, size);
            if (n >= 0) {
                return static_cast<std::size_t>(n);
            }
            if (errno != EINTR) {
                return ErrorFromErrno(errno, path_);
            }
        }
    }

  private:
    Descriptor fd_;
    std::string path_;
};

class PosixHistorySystem final : public HistorySystem {
  public:
    Outcome<std::vector<std::string>> ListFiles(const std::string& dir) override {
        DIR* stream = opendir(dir.c_str());
        if (stream == nullptr) {
            return ErrorFromErrno(errno, dir);
        }
        std::vector<std::string> names;
        errno = 0;
        while (const dirent* entry = readdir(stream)) {
            bool regular = entry->d_type == DT_REG;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat st {};
                regular = fstatat(dirfd(stream), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISREG(st.st_mode);
            }
            if (regular) {
                names.emplace_back(entry->d_name);
            }
            errno = 0;
        }
        const int err = errno;
        closedir(stream);
        if (err != 0) {
            return ErrorFromErrno(err, dir);
        }
        return names;
    }

    Outcome<std::unique_ptr<InputFile>> OpenForReading(const std::string& path) override {
        // O_NONBLOCK: a FIFO planted under a tracking file's name must not hang the report.
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return ErrorFromErrno(errno, path);
        }
        std::unique_ptr<InputFile> file = std::make_unique<PosixInputFile>(fd, path);
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            return ErrorFromErrno(errno, path);
        }
        if (!S_ISREG(st.st_mode)) {
            return Error{errnum::kPathFileAccess, RuntimeErrorText(errnum::kPathFileAccess) +
                                                      ": not a regular file: " + path};
        }
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        return file;
    }

    Outcome<std::string> WriteTemporaryFile(std::string_view suffix,
                                            std::string_view content) override {
        const char* tmp = std::getenv("TMPDIR");
        std::string path = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
        if (path.back() != '/') {
            path += '/';
        }
        path += "sizewalk-history-XXXXXX";
        path += suffix;
        const int fd = mkostemps(path.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
        if (fd < 0) {
            return ErrorFromErrno(errno, path);
        }
        int error = WriteAll(fd, content);
        if (close(fd) != 0 && error == 0) {
            error = errno;
        }
        if (error != 0) {
            unlink(path.c_str());
            return ErrorFromErrno(error, path);
        }
        return path;
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

class PosixConsole final : public Console {
  public:
    bool OutputIsTerminal() override { return isatty(STDOUT_FILENO) == 1; }
    bool OutputIsUtf8() override { return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0; }
    Status Write(std::string_view bytes) override {
        const int error = WriteAll(STDOUT_FILENO, bytes);
        return error != 0 ? Status(ErrorFromErrno(error, "standard output")) : std::nullopt;
    }
    void WriteError(std::string_view line) override {
        std::string text(line);
        text += '\n';
        WriteAll(STDERR_FILENO, text);
    }
};

}  // namespace

std::unique_ptr<HistorySystem> MakeSystemHistory() {
    return std::make_unique<PosixHistorySystem>();
}

std::unique_ptr<Console> MakeSystemConsole() {
    return std::make_unique<PosixConsole>();
}

}  // namespace sizewalk
