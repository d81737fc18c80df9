#include "platform/posix/file_service.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "platform/posix/descriptor.h"
#include "platform/posix/errors.h"

namespace sizewalk {
namespace {

Error Refused(const std::string& path, const char* what) {
    return Error{errnum::kPathFileAccess, std::string(what) + ": " + ShownPath(path)};
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Data that reached the disk, as far as the file system can tell.
bool Synced(int fd) {
    return fdatasync(fd) == 0 || errno == EINVAL || errno == ENOSYS;
}

class PosixOutputFile final : public OutputFile {
  public:
    // Appending: `fd` is the file itself, locked; `kept` its length then.
    // Replacing: `fd` is `temporary`, to be renamed over `path`.
    PosixOutputFile(int fd, std::string path, off_t kept, bool created, std::string temporary)
        : fd_(fd),
          path_(std::move(path)),
          kept_(kept),
          created_(created),
          temporary_(std::move(temporary)) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) {
            RollBack();
            close(fd_);
        }
    }
    PosixOutputFile(const PosixOutputFile&) = delete;
    PosixOutputFile& operator=(const PosixOutputFile&) = delete;

    bool IsNew() const override { return kept_ == 0; }

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

    Status Commit() override {
        // Still locked and undoable until the data is on the disk.
        if (!Synced(fd_)) {
            return ErrorFromErrno(errno, path_);
        }
        const int fd = fd_;
        fd_ = -1;
        const bool closed = close(fd) == 0 || errno == EINTR;
        const int close_error = errno;
        if (!temporary_.empty()) {
            if (!closed || rename(temporary_.c_str(), path_.c_str()) != 0) {
                const int error = closed ? errno : close_error;
                unlink(temporary_.c_str());
                return ErrorFromErrno(error, path_);
            }
        } else if (!closed) {
            return ErrorFromErrno(close_error, path_);
        }
        return std::nullopt;
    }

  private:
    // Called with the lock still held, so no other run sees the cut.
    void RollBack() {
        if (!temporary_.empty()) {
            unlink(temporary_.c_str());
            return;
        }
        struct stat mine {};
        struct stat there {};
        // A file this run made and nobody else wrote to goes again; a run
        // waiting for it then finds it gone and makes its own.
        if (created_ && kept_ == 0 && fstat(fd_, &mine) == 0 && lstat(path_.c_str(), &there) == 0 &&
            SameFile(mine, there) && unlink(path_.c_str()) == 0) {
            return;
        }
        while (ftruncate(fd_, kept_) != 0 && errno == EINTR) {
        }
    }

    int fd_;
    std::string path_;
    off_t kept_;
    bool created_;
    std::string temporary_;
};

}  // namespace

Error PosixFileService::Stopped() const {
    return Interrupted(stop_ != nullptr ? stop_->load() : 0);
}

bool PosixFileService::StopRequested() const {
    return stop_ != nullptr && stop_->load() != 0;
}

// An existing regular file, opened for writing without ever blocking on a
// planted FIFO, but waiting, as an ordinary open does, until another
// process's lease on it (a Samba oplock, an NFS delegation) is given up.
Outcome<int> PosixFileService::OpenExisting(const std::string& path) const {
    const int handle = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0) {
        return ErrorFromErrno(errno, path);
    }
    struct stat st {};
    std::optional<Error> refusal;
    if (fstat(handle, &st) != 0) {
        refusal = ErrorFromErrno(errno, path);
    } else if (S_ISLNK(st.st_mode)) {
        refusal = Refused(path, "Refusing a symbolic link");
    } else if (!S_ISREG(st.st_mode)) {
        refusal = Refused(path, "Not a regular file");
    }
    if (refusal) {
        close(handle);
        return *refusal;
    }
    // The same inode again, now for writing: nothing can be swapped in.
    const std::string same = "/proc/self/fd/" + std::to_string(handle);
    int fd = -1;
    while ((fd = open(same.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC)) < 0 && errno == EINTR &&
           !StopRequested()) {
    }
    int error = errno;
    if (fd < 0 && error == ENOENT) {
        // No /proc: never block, and check that it is still the same file.
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        error = errno;
        struct stat now {};
        if (fd >= 0 &&
            (fstat(fd, &now) != 0 || !SameFile(st, now) || fcntl(fd, F_SETFL, O_APPEND) != 0)) {
            close(fd);
            fd = -1;
            error = EAGAIN;
        }
    }
    close(handle);
    if (fd < 0) {
        return error == EINTR ? Stopped() : ErrorFromErrno(error, path);
    }
    return fd;
}

Outcome<std::unique_ptr<OutputFile>> PosixFileService::Open(const std::string& path,
                                                            OpenMode mode) {
    return mode == OpenMode::kAppend ? OpenForAppend(path) : OpenForReplace(path);
}

Outcome<std::unique_ptr<OutputFile>> PosixFileService::OpenForAppend(const std::string& path) {
    for (;;) {
        bool created = false;
        Outcome<int> opened = OpenExisting(path);
        if (!opened.ok() && opened.error().number == errnum::kPathNotFound) {
            const int fd =
                open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     0644);
            if (fd < 0 && errno == EEXIST) {
                continue;  // made by another run meanwhile
            }
            opened = fd >= 0 ? Outcome<int>(fd) : Outcome<int>(ErrorFromErrno(errno, path));
            created = fd >= 0;
        }
        if (!opened.ok()) {
            return opened.error();
        }
        Descriptor fd{opened.value()};
        // Another run on the same directory finishes its block first.
        while (flock(fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                return ErrorFromErrno(errno, path);
            }
            if (StopRequested()) {
                return Stopped();
            }
        }
        struct stat mine {};
        struct stat there {};
        if (fstat(fd.get(), &mine) != 0) {
            return ErrorFromErrno(errno, path);
        }
        if (lstat(path.c_str(), &there) != 0) {
            if (errno != ENOENT) {
                return ErrorFromErrno(errno, path);
            }
            continue;
        }
        // That run may have removed or replaced the file meanwhile (its
        // rollback); then this lock guards nothing.
        if (!SameFile(mine, there)) {
            continue;
        }
        // The length is taken only now, so that whether the file is new is
        // decided by one run at a time.
        return std::unique_ptr<OutputFile>(
            std::make_unique<PosixOutputFile>(fd.Release(), path, mine.st_size, created, ""));
    }
}

Outcome<std::unique_ptr<OutputFile>> PosixFileService::OpenForReplace(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            return Refused(path, "Refusing a symbolic link");
        }
        if (!S_ISREG(st.st_mode)) {
            return Refused(path, "Not a regular file");
        }
    } else if (errno != ENOENT) {
        return ErrorFromErrno(errno, path);
    }
    // The day's report is written beside it and renamed over it when
    // complete: the earlier report of the day stays until then.
    const auto seed = static_cast<unsigned long long>(
                          std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (static_cast<unsigned long long>(getpid()) << 20);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = TemporarySibling(path, seed + attempt * 7919ull);
        const int fd =
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            return std::unique_ptr<OutputFile>(
                std::make_unique<PosixOutputFile>(fd, path, 0, true, std::move(temporary)));
        }
        if (errno != EEXIST) {
            return ErrorFromErrno(errno, path);
        }
    }
    return ErrorFromErrno(EEXIST, path);
}

}  // namespace sizewalk
