#include "platform/posix/file_service.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <thread>
#include <utility>

#include "platform/posix/directory.h"
#include "platform/posix/errors.h"

namespace sizewalk::posix {

// The file to open and the directory it lies in.
struct FileService::Target {
    int dir_fd;
    struct stat dir;
    std::string name;
    std::string path;  // for messages
    std::chrono::steady_clock::time_point deadline;
};

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr const char* kNotRestored =
    ", and the file could not be restored: it may hold an incomplete report";

// The failure of a run asked to stop, once it is.
Status StopRequested(const StopFlag* stop) {
    const int signal = stop != nullptr ? stop->load() : 0;
    return signal != 0 ? Status(Interrupted(signal)) : std::nullopt;
}

Error Refused(const std::string& path, const char* what) {
    return ErrorAt(errnum::kPathFileAccess, what, path);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why root must not write into `file` in `dir`, if it must not: a name
// linked to another file (a hard link to /etc/passwd, say) or, where others
// may plant files, a file of a third user (the kernel's protected_regular).
std::optional<Error> Refusal(const struct stat& file, const struct stat& dir,
                             const std::string& path) {
    if (S_ISLNK(file.st_mode)) {
        return Refused(path, "Refusing a symbolic link");
    }
    if (!S_ISREG(file.st_mode)) {
        return Refused(path, "Not a regular file");
    }
    if (file.st_nlink > 1) {
        return Refused(path, "Refusing a file with several hard links");
    }
    const bool shared = (dir.st_mode & (S_IWOTH | S_ISVTX)) != 0;
    if (shared && file.st_uid != geteuid() && file.st_uid != dir.st_uid) {
        return Refused(path, "Refusing a file of another user in a shared directory");
    }
    return std::nullopt;
}

// Data that reached the disk, as far as the file system can tell; with
// `metadata` also the mode and owner a replacement was given.
bool Synced(int fd, bool metadata = false) {
    return (metadata ? fsync(fd) : fdatasync(fd)) == 0 || errno == EINVAL || errno == ENOSYS;
}

// A created or renamed entry that reached the disk; where the directory
// cannot be synced the data is safe all the same.
void SyncDirectory(int dir_fd) {
    fsync(dir_fd);
}

std::string Block(const std::vector<std::string>& lines, bool after_torn_line) {
    std::size_t size = after_torn_line ? 2 : 0;
    for (const std::string& line : lines) {
        size += line.size() + 2;
    }
    std::string block;
    block.reserve(size);
    if (after_torn_line) {
        block += "\r\n";
    }
    for (const std::string& line : lines) {
        block.append(line).append("\r\n");
    }
    return block;
}

// The file open on `fd` by a path of its own, which names that inode
// whatever becomes of its name.
std::string ProcPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// The file keeps a directory descriptor of its own: it may outlive the
// Directory it was opened in.
Descriptor Duplicate(int fd) {
    return Descriptor{fcntl(fd, F_DUPFD_CLOEXEC, 0)};
}

class AppendedFile final : public OutputFile {
  public:
    // `fd` is the file itself, locked; `kept` its length then.
    AppendedFile(Descriptor fd, Descriptor dir_fd, std::string name, std::string path, off_t kept,
                 bool created, bool torn)
        : fd_(std::move(fd)),
          dir_fd_(std::move(dir_fd)),
          name_(std::move(name)),
          path_(std::move(path)),
          kept_(kept),
          created_(created),
          torn_(torn) {}
    ~AppendedFile() override {
        if (fd_) {
            RollBack();
        }
    }
    AppendedFile(const AppendedFile&) = delete;
    AppendedFile& operator=(const AppendedFile&) = delete;

    bool IsNew() const override { return kept_ == 0; }

    Status Write(const std::vector<std::string>& lines) override {
        int error = WriteAll(fd_.get(), Block(lines, torn_));
        if (error == 0 && !Synced(fd_.get())) {
            error = errno;
        }
        if (error != 0) {
            Error failure = SystemError(error, path_);
            if (!RollBack()) {
                failure.description += kNotRestored;
            }
            fd_.Reset();
            return failure;
        }
        if (created_) {
            SyncDirectory(dir_fd_.get());
        }
        // The data is on the disk: an error of close changes nothing.
        fd_.Close();
        return std::nullopt;
    }

  private:
    // Called with the lock still held, so no other run sees the cut.
    bool RollBack() {
        struct stat mine {};
        struct stat there {};
        // A file this run made and nobody else wrote to goes again; a run
        // waiting for it then finds it gone and makes its own.
        if (created_ && kept_ == 0 && fstat(fd_.get(), &mine) == 0 &&
            fstatat(dir_fd_.get(), name_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(mine, there) && unlinkat(dir_fd_.get(), name_.c_str(), 0) == 0) {
            return true;
        }
        while (ftruncate(fd_.get(), kept_) != 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return true;
    }

    Descriptor fd_;
    Descriptor dir_fd_;
    std::string name_;
    std::string path_;
    off_t kept_;
    bool created_;
    bool torn_;
};

class ReplacingFile final : public OutputFile {
  public:
    // `fd` is a new file, unnamed (O_TMPFILE) or named `temporary`.
    ReplacingFile(Descriptor fd, const struct stat& dir, Descriptor dir_fd, std::string name,
                  std::string path, std::string temporary)
        : fd_(std::move(fd)),
          dir_owner_(dir.st_uid),
          dir_fd_(std::move(dir_fd)),
          name_(std::move(name)),
          path_(std::move(path)),
          temporary_(std::move(temporary)) {}
    ~ReplacingFile() override { Discard(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool IsNew() const override { return true; }

    Status Write(const std::vector<std::string>& lines) override {
        int error = WriteAll(fd_.get(), Block(lines, false));
        if (error == 0) {
            KeepModeAndOwner();
            error = Synced(fd_.get(), true) ? Name() : errno;
        }
        if (error == 0 &&
            renameat(dir_fd_.get(), temporary_.c_str(), dir_fd_.get(), name_.c_str()) != 0) {
            error = errno;
        }
        if (error != 0) {
            Discard();
            return SystemError(error, path_);
        }
        temporary_.clear();
        SyncDirectory(dir_fd_.get());
        fd_.Close();  // the data is on the disk
        return std::nullopt;
    }

  private:
    // The day's earlier report keeps its mode, and its owner where a user
    // with a say over the directory owns it.
    void KeepModeAndOwner() {
        struct stat earlier {};
        if (fstatat(dir_fd_.get(), name_.c_str(), &earlier, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(earlier.st_mode)) {
            return;
        }
        // Best effort: a user may not give the file to a group they are not
        // in; it then keeps this user's group.
        const bool keep_owner = earlier.st_uid == geteuid() || earlier.st_uid == dir_owner_;
        [[maybe_unused]] const bool kept =
            keep_owner && fchown(fd_.get(), earlier.st_uid, earlier.st_gid) == 0;
        fchmod(fd_.get(), earlier.st_mode & 0777);
    }

    // Gives the unnamed file a unique name; 0 or the errno.
    int Name() {
        if (!temporary_.empty()) {
            return 0;
        }
        const std::string self = ProcPath(fd_.get());
        const unsigned long long seed = TemporaryNameSeed();
        for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            std::string temporary = TemporaryName(name_, seed + attempt * kTemporaryNameStep);
            // Through /proc needs no privilege; AT_EMPTY_PATH works without it.
            if (linkat(AT_FDCWD, self.c_str(), dir_fd_.get(), temporary.c_str(),
                       AT_SYMLINK_FOLLOW) == 0 ||
                (errno == ENOENT &&
                 linkat(fd_.get(), "", dir_fd_.get(), temporary.c_str(), AT_EMPTY_PATH) == 0)) {
                temporary_ = std::move(temporary);
                return 0;
            }
            if (errno != EEXIST) {
                return errno;
            }
        }
        return EEXIST;
    }

    void Discard() {
        if (!temporary_.empty()) {
            unlinkat(dir_fd_.get(), temporary_.c_str(), 0);
            temporary_.clear();
        }
    }

    Descriptor fd_;
    uid_t dir_owner_;
    Descriptor dir_fd_;
    std::string name_;
    std::string path_;
    std::string temporary_;
};

// Removes this user's temporaries of `name`'s kind older than
// kStaleTemporaryAge, left by killed runs: plain files only, never through
// a link. Nothing here may fail the run.
void RemoveStaleTemporaries(int dir_fd, const std::string& name) {
    const int fd = openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* stream = fd >= 0 ? fdopendir(fd) : nullptr;
    if (stream == nullptr) {
        if (fd >= 0) {
            close(fd);
        }
        return;
    }
    const std::time_t limit =
        std::time(nullptr) -
        std::chrono::duration_cast<std::chrono::seconds>(kStaleTemporaryAge).count();
    while (const dirent* entry = readdir(stream)) {
        struct stat st {};
        if (IsTemporaryOfKind(entry->d_name, name) &&
            fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == geteuid() && st.st_mtime < limit) {
            unlinkat(dir_fd, entry->d_name, 0);
        }
    }
    closedir(stream);
}

}  // namespace

unsigned long long TemporaryNameSeed() {
    return static_cast<unsigned long long>(
               std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (static_cast<unsigned long long>(getpid()) << 20);
}

Status FileService::Pause(const Target& target) const {
    if (Status stop = StopRequested(options_.stop)) {
        return stop;
    }
    if (std::chrono::steady_clock::now() >= target.deadline) {
        return HeldByAnotherProcess(target.path);
    }
    std::this_thread::sleep_for(kPoll);
    return std::nullopt;
}

// An existing regular file, opened for reading and writing without ever
// blocking on a planted FIFO; a lease another process holds on it (a Samba
// oplock, an NFS delegation) is waited for until it is given up or broken.
Outcome<Descriptor> FileService::OpenExisting(const Target& target, struct stat& st) const {
    Descriptor handle{openat(target.dir_fd, target.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC)};
    if (!handle) {
        return SystemError(errno, target.path);
    }
    if (fstat(handle.get(), &st) != 0) {
        return SystemError(errno, target.path);
    }
    if (std::optional<Error> refusal = Refusal(st, target.dir, target.path)) {
        return *refusal;
    }
    // The same inode again, now for writing: nothing can be swapped in. Read
    // access too, to see whether the last line is complete.
    const std::string same = ProcPath(handle.get());
    int access = O_RDWR;
    for (;;) {
        Descriptor fd{open(same.c_str(), access | O_APPEND | O_CLOEXEC | O_NONBLOCK)};
        if (!fd && errno == ENOENT) {
            // No /proc: check that it is still the same file.
            struct stat now {};
            fd.Reset(openat(target.dir_fd, target.name.c_str(),
                            access | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
            if (fd && (fstat(fd.get(), &now) != 0 || !SameFile(st, now))) {
                return SystemError(EAGAIN, target.path);
            }
        }
        if (fd) {
            if (fcntl(fd.get(), F_SETFL, O_APPEND) != 0) {
                return SystemError(errno, target.path);
            }
            return fd;
        }
        if (errno == EACCES && access == O_RDWR) {
            access = O_WRONLY;  // a file this user may write but not read
            continue;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return SystemError(errno, target.path);
        }
        if (Status paused = Pause(target)) {
            return *paused;
        }
    }
}

Status FileService::Lock(const Target& target, int fd) const {
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return SystemError(errno, target.path);
        }
        if (Status paused = Pause(target)) {
            return paused;
        }
    }
    return std::nullopt;
}

Status FileService::CheckWritable(const Directory& directory, const std::string& name) {
    const int dir_fd = DescriptorOf(directory);
    const std::string path = directory.path() + name;
    if (!name.empty() &&
        faccessat(dir_fd, name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0) {
        return std::nullopt;
    }
    if ((name.empty() || errno == ENOENT) && faccessat(dir_fd, ".", W_OK, AT_EACCESS) == 0) {
        return std::nullopt;
    }
    return SystemError(errno, path);
}

Outcome<std::unique_ptr<OutputFile>> FileService::Open(const Directory& directory,
                                                       const std::string& name, OpenMode mode) {
    Target target{DescriptorOf(directory),
                  {},
                  name,
                  directory.path() + name,
                  std::chrono::steady_clock::now() + options_.busy_wait};
    if (fstat(target.dir_fd, &target.dir) != 0) {
        return SystemError(errno, target.path);
    }
    // A request to stop that came before is not kept waiting.
    if (Status stop = StopRequested(options_.stop)) {
        return *stop;
    }
    return mode == OpenMode::kAppend ? OpenForAppend(target) : OpenForReplace(target);
}

Outcome<std::unique_ptr<OutputFile>> FileService::OpenForAppend(const Target& target) {
    for (;;) {
        bool created = false;
        struct stat st {};
        Outcome<Descriptor> opened = OpenExisting(target, st);
        if (!opened.ok() && opened.error().number == errnum::kPathNotFound) {
            Descriptor fd{openat(target.dir_fd, target.name.c_str(),
                                 O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                 0644)};
            if (!fd && errno == EEXIST) {
                continue;  // made by another run meanwhile
            }
            opened = fd ? Outcome<Descriptor>(std::move(fd))
                        : Outcome<Descriptor>(SystemError(errno, target.path));
            created = true;
        }
        if (!opened.ok()) {
            return opened.error();
        }
        Descriptor fd = std::move(opened.value());
        // Another run on the same directory finishes its write first.
        if (Status locked = Lock(target, fd.get())) {
            return *locked;
        }
        struct stat mine {};
        struct stat there {};
        if (fstat(fd.get(), &mine) != 0) {
            return SystemError(errno, target.path);
        }
        if (fstatat(target.dir_fd, target.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                return SystemError(errno, target.path);
            }
            continue;
        }
        // That run may have removed or replaced the file meanwhile (its
        // rollback); then this lock guards nothing.
        if (!SameFile(mine, there)) {
            continue;
        }
        if (std::optional<Error> refusal = Refusal(mine, target.dir, target.path)) {
            return *refusal;  // linked elsewhere while this run waited
        }
        // The length is taken only now, so that whether the file is new is
        // decided by one run at a time.
        char last = '\n';
        const bool torn =
            mine.st_size > 0 && pread(fd.get(), &last, 1, mine.st_size - 1) == 1 && last != '\n';
        return std::unique_ptr<OutputFile>(
            std::make_unique<AppendedFile>(std::move(fd), Duplicate(target.dir_fd), target.name,
                                           target.path, mine.st_size, created, torn));
    }
}

Outcome<std::unique_ptr<OutputFile>> FileService::OpenForReplace(const Target& target) {
    struct stat st {};
    if (fstatat(target.dir_fd, target.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (std::optional<Error> refusal = Refusal(st, target.dir, target.path)) {
            return *refusal;
        }
    } else if (errno != ENOENT) {
        return SystemError(errno, target.path);
    }
    RemoveStaleTemporaries(target.dir_fd, target.name);
    // The day's report is written aside and renamed over it when complete:
    // the earlier report of the day stays until then. Unnamed, a killed run
    // leaves nothing behind.
    if (options_.unnamed_temporaries) {
        Descriptor fd{openat(target.dir_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644)};
        if (fd) {
            return std::unique_ptr<OutputFile>(std::make_unique<ReplacingFile>(
                std::move(fd), target.dir, Duplicate(target.dir_fd), target.name, target.path, ""));
        }
    }
    const unsigned long long seed = TemporaryNameSeed();
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::string temporary = TemporaryName(target.name, seed + attempt * kTemporaryNameStep);
        Descriptor fd{openat(target.dir_fd, temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)};
        if (fd) {
            return std::unique_ptr<OutputFile>(
                std::make_unique<ReplacingFile>(std::move(fd), target.dir, Duplicate(target.dir_fd),
                                                target.name, target.path, std::move(temporary)));
        }
        if (errno != EEXIST) {
            return SystemError(errno, target.path);
        }
    }
    return SystemError(EEXIST, target.path);
}

}  // namespace sizewalk::posix
