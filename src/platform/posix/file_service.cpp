#include "platform/posix/file_service.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errors.h"

namespace sizewalk {
namespace {

class PosixOutputFile final : public OutputFile {
  public:
    PosixOutputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    PosixOutputFile(const PosixOutputFile&) = delete;
    PosixOutputFile& operator=(const PosixOutputFile&) = delete;

    Status WriteLine(std::string_view line) override {
        std::string buffer;
        buffer.reserve(line.size() + 2);
        buffer.append(line);
        buffer.append("\r\n");
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = write(fd_, buffer.data() + done, buffer.size() - done);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return ErrorFromErrno(errno, path_);
            }
            done += static_cast<std::size_t>(n);
        }
        return std::nullopt;
    }

    Status Close() override {
        const int fd = fd_;
        fd_ = -1;
        // close() is where a network file system reports a failed write.
        if (close(fd) != 0 && errno != EINTR) {
            return ErrorFromErrno(errno, path_);
        }
        return std::nullopt;
    }

  private:
    int fd_;
    std::string path_;
};

Error NotARegularFile(const std::string& path) {
    return Error{errnum::kPathFileAccess,
                 RuntimeErrorText(errnum::kPathFileAccess) + ": not a regular file: " + path};
}

}  // namespace

Outcome<bool> PosixFileService::Exists(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        return true;
    }
    if (errno == ENOENT) {
        return false;
    }
    return ErrorFromErrno(errno, path);
}

Outcome<std::unique_ptr<OutputFile>> PosixFileService::Open(const std::string& path,
                                                            OpenMode mode) {
    // O_NONBLOCK keeps a planted FIFO from hanging the run; it is refused below.
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    if (mode == OpenMode::kAppend) {
        flags |= O_APPEND;
    }
    const int fd = open(path.c_str(), flags, 0644);
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        if (err == ENXIO && lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            return NotARegularFile(path);  // a FIFO without a reader
        }
        if (err == ELOOP) {
            return Error{errnum::kPathFileAccess, RuntimeErrorText(errnum::kPathFileAccess) +
                                                      ": refusing a symbolic link: " + path};
        }
        return ErrorFromErrno(err, path);
    }
    std::unique_ptr<OutputFile> file = std::make_unique<PosixOutputFile>(fd, path);
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        return ErrorFromErrno(errno, path);
    }
    if (!S_ISREG(st.st_mode)) {
        return NotARegularFile(path);
    }
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        return ErrorFromErrno(errno, path);
    }
    // Another run on the same directory finishes its block first.
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return ErrorFromErrno(errno, path);
        }
    }
    // Emptied only under the lock, so a running writer's file is not cut.
    if (mode == OpenMode::kOutput && ftruncate(fd, 0) != 0) {
        return ErrorFromErrno(errno, path);
    }
    return file;
}

}  // namespace sizewalk
