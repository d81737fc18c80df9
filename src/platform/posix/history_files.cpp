#include "platform/posix/history_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/file_service.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/errors.h"
#include "platform/posix/file_service.h"

namespace sizewalk::posix {
namespace {

class LockedInput final : public InputFile {
  public:
    LockedInput(Descriptor fd, std::string path, off_t size, bool trusted)
        : fd_(std::move(fd)), path_(std::move(path)), left_(size), trusted_(trusted) {}

    Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
        size = static_cast<std::size_t>(std::min<off_t>(left_, static_cast<off_t>(size)));
        if (size == 0) {
            return std::size_t{0};
        }
        for (;;) {
            const ssize_t n = read(fd_.get(), buffer, size);
            if (n >= 0) {
                left_ -= n;
                return static_cast<std::size_t>(n);
            }
            if (errno != EINTR) {
                return SystemError(errno, path_);
            }
        }
    }

    bool TrustedOwner() const override { return trusted_; }

  private:
    Descriptor fd_;
    std::string path_;
    off_t left_;
    bool trusted_;
};

// The directory `path` lies in, with its closing slash; "." for a bare name.
std::string DirectoryOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? "." : path.substr(0, cut + 1);
}

FileKind KindOf(mode_t mode) {
    return S_ISREG(mode)   ? FileKind::kRegular
           : S_ISLNK(mode) ? FileKind::kLink
           : S_ISDIR(mode) ? FileKind::kDirectory
                           : FileKind::kOther;
}

class Replacement final : public ReplacementFile {
  public:
    Replacement(Descriptor fd, std::string temporary, std::string path)
        : fd_(std::move(fd)), temporary_(std::move(temporary)), path_(std::move(path)) {}
    ~Replacement() override {
        if (!temporary_.empty()) {
            unlink(temporary_.c_str());
        }
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    Status Write(std::string_view bytes) override {
        const int error = WriteAll(fd_.get(), bytes);
        return error != 0 ? Status(SystemError(error, path_)) : std::nullopt;
    }

    Status Commit() override {
        if (fsync(fd_.get()) != 0 || !fd_.Close() ||
            rename(temporary_.c_str(), path_.c_str()) != 0) {
            return SystemError(errno, path_);
        }
        temporary_.clear();
        // The rename itself reaches the disk with its directory.
        const Descriptor dir(open(DirectoryOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir) {
            fsync(dir.get());
        }
        return std::nullopt;
    }

  private:
    Descriptor fd_;
    std::string temporary_;
    std::string path_;
};

}  // namespace

Outcome<std::vector<ListedFile>> ListDirectory(const std::string& dir) {
    DIR* stream = opendir(dir.c_str());
    if (stream == nullptr) {
        if (errno == ENOTDIR) {
            return ErrorAt(errnum::kPathNotFound, "Not a directory", dir);
        }
        return SystemError(errno, dir);
    }
    std::vector<ListedFile> entries;
    errno = 0;
    while (const dirent* entry = readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            errno = 0;
            continue;
        }
        mode_t mode = DTTOIF(entry->d_type);
        struct stat st {};
        if (entry->d_type == DT_UNKNOWN &&
            fstatat(dirfd(stream), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            mode = st.st_mode;
        }
        entries.push_back({entry->d_name, KindOf(mode)});
        errno = 0;
    }
    const int err = errno;
    closedir(stream);
    if (err != 0) {
        return SystemError(err, dir);
    }
    return entries;
}

Outcome<std::unique_ptr<InputFile>> OpenLocked(const std::string& path,
                                               std::chrono::milliseconds wait) {
    // O_NONBLOCK: a FIFO planted under a tracking file's name must not hang the report.
    Descriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        return SystemError(errno, path);
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        return SystemError(errno, path);
    }
    if (!S_ISREG(st.st_mode)) {
        return ErrorAt(errnum::kPathFileAccess,
                       RuntimeErrorText(errnum::kPathFileAccess) + ": not a regular file", path);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (flock(fd.get(), LOCK_SH | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return SystemError(errno, path);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Error{errnum::kPathFileAccess, ShownPath(path) + ": " + std::string(kFileBusy)};
        }
        std::this_thread::sleep_for(kBusyRetry);
    }
    // The size once the lock is held: the last write is whole.
    if (fstat(fd.get(), &st) != 0) {
        return SystemError(errno, path);
    }
    struct stat dir {};
    const bool dir_known = stat(DirectoryOf(path).c_str(), &dir) == 0;
    const bool trusted =
        st.st_uid == geteuid() || st.st_uid == 0 || (dir_known && st.st_uid == dir.st_uid);
    posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::unique_ptr<InputFile>(
        std::make_unique<LockedInput>(std::move(fd), path, st.st_size, trusted));
}

Outcome<std::unique_ptr<ReplacementFile>> ReplaceFile(const std::string& path) {
    const unsigned long long seed = TemporaryNameSeed();
    const std::size_t cut = path.rfind('/') + 1;  // 0 for a bare name
    const std::string dir = path.substr(0, cut);
    const std::string name = path.substr(cut);
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::string temporary = dir + TemporaryName(name, seed + attempt * kTemporaryNameStep);
        // O_EXCL: never a file or link that is there already.
        Descriptor fd(
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd) {
            return std::unique_ptr<ReplacementFile>(
                std::make_unique<Replacement>(std::move(fd), std::move(temporary), path));
        }
        if (errno != EEXIST) {
            return SystemError(errno, path);
        }
    }
    return SystemError(EEXIST, path);
}

std::string PageDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
}

void RemoveOldHistoryPages(std::time_t now) {
    DIR* stream = opendir(PageDirectory().c_str());
    if (stream == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(stream)) {
        struct stat st {};
        if (std::string_view(entry->d_name).starts_with(kPagePrefix) &&
            fstatat(dirfd(stream), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_mtime < now - 24 * 3600) {
            unlinkat(dirfd(stream), entry->d_name, 0);
        }
    }
    closedir(stream);
}

}  // namespace sizewalk::posix
