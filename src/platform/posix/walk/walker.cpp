#include "platform/posix/walk/walker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <string>
#include <utility>

namespace sizewalk::posix::walk {
namespace {

// The device and inode of the directory open on `fd`; 0 or an errno. They
// never change, so nothing is asked of a network file system's server.
int IdentityOf(int fd, FileId& id) {
    struct statx sx {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO, &sx) == 0) {
        id = FileId{makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino};
        return 0;
    }
    struct stat st {};
    if (errno != ENOSYS || fstat(fd, &st) != 0) {
        return errno;
    }
    id = FileId{st.st_dev, st.st_ino};
    return 0;
}

}  // namespace

void Walker::RunTree(std::size_t index) {
    TreeTally& tally = state_.trees[index];
    tally.outstanding.store(1);
    std::string base = state_.path;
    AppendComponent(base, state_.names[index]);
    stack_.Begin(index, tally, std::move(base), {state_.dir_id});
    const int fd = state_.calls->OpenDirectory(state_.dir.get(), state_.names[index].c_str());
    if (fd < 0) {
        const int error = errno;
        tally.Fail(stack_.PathOf({}), error);  // even when it vanished: it was listed
        Finish();
        return;
    }
    RunTask(Descriptor(fd), state_.dir_id.device);
}

void Walker::RunLent(LentTask task) {
    if (task.name.empty()) {
        CountLentFiles(task);
        TaskDone(task.tree);
        return;
    }
    stack_.Begin(task.tree, *task.tally, std::move(task.path), std::move(task.ancestors));
    // Outside the owner's lock: on a network this waits for a round trip.
    const int fd = state_.calls->OpenDirectory(task.parent.get(), task.name.c_str());
    const int error = errno;
    task.parent.Reset();
    if (fd < 0) {
        if (error != ENOENT) {
            task.tally->Fail(stack_.PathOf({}), error);
        }
        Finish();
        return;
    }
    RunTask(Descriptor(fd), task.parent_device);
}

void Walker::RunTask(Descriptor fd, dev_t parent_device) {
    Enter(std::move(fd), std::string(), parent_device);
    Walk();
}

// Walks the stack down to the last frame, then finishes the task.
void Walker::Walk() {
    while (!stack_.empty()) {
        if (state_.Stopping()) {
            stack_.Unwind();
            break;
        }
        const Frame& top = stack_.top();
        std::string name = stack_.TakeNext();
        if (name.empty()) {
            if (const int error = stack_.Pop(); error != 0) {
                stack_.tally().Fail(stack_.PathOf({}), error);
                stack_.Unwind();
            }
            continue;
        }
        const int fd = state_.calls->OpenDirectory(top.fd.get(), name.c_str());
        if (fd < 0) {
            const int error = errno;
            if (error != ENOENT) {
                stack_.tally().Fail(stack_.PathOf({name}), error);
            }
            continue;
        }
        Enter(Descriptor(fd), std::move(name), top.id.device);
        if (ticker_ != nullptr) {
            ticker_->Tick();
        }
    }
    Finish();
}

// Pushes the directory open on `fd`, `name` in the top frame (empty for a
// task's first), and reads it; pops it again when it cannot be read or is
// not to be descended into (a pseudo file system, a cycle).
void Walker::Enter(Descriptor fd, std::string name, dev_t parent_device) {
    TreeTally& tally = stack_.tally();
    FileId id;
    if (const int error = IdentityOf(fd.get(), id); error != 0) {
        tally.Fail(stack_.PathOf({name}), error);
        return;
    }
    if (id.device != parent_device) {
        const FileSystemKind kind = state_.calls->FileSystemOf(fd.get());
        if (kind == FileSystemKind::kKernelView) {
            return;
        }
        if (kind == FileSystemKind::kNetwork) {
            state_.NetworkMet();
        }
    }
    if (stack_.OnPath(id)) {
        tally.Fail(stack_.PathOf({name}), kDirectoryCycle);  // as du: not descended into
        return;
    }
    Frame frame;
    frame.name = std::move(name);
    frame.fd = std::move(fd);
    frame.id = id;
    if (stack_.Push(std::move(frame))) {
        Announce(false);
    }
    if (!ReadTop()) {
        if (const int error = stack_.Pop(); error != 0) {
            tally.Fail(stack_.PathOf({}), error);
            stack_.Unwind();
        }
    }
}

// Reads the top frame's directory batch by batch, each batch's
// subdirectories handed to the stack (for others to take) before its files
// are stat'ed; when stats are slow and others idle, the files too. Stats
// follow each read, which keeps NFS and FUSE sending attributes with the
// entries. False after a failure (recorded) or a stop.
bool Walker::ReadTop() {
    const int fd = stack_.top().fd.get();
    TreeTally& tally = stack_.tally();
    char* const batch = buffer();
    for (;;) {
        const long length = state_.calls->ReadEntries(fd, batch, kEntryBufferSize);
        if (length < 0) {
            const int error = errno;
            tally.Fail(stack_.PathOf({}), error);
            return false;
        }
        if (length == 0) {
            return true;
        }
        const bool share = slow_stats_ && state_.idle.HasSleepers();
        ForEachInBatch(batch, length, [&](const char* name, unsigned char type) {
            if (type == DT_DIR) {
                subdirs_.emplace_back(name);
            } else if (share && type == DT_REG) {
                files_.emplace_back(name);
            }
            return true;
        });
        const bool shared = !files_.empty();
        if (stack_.Publish(subdirs_, files_)) {
            Announce(shared);
        }
        FileCount count;
        const auto start = std::chrono::steady_clock::now();
        const bool went_through = StatBatch(fd, batch, length, shared, count);
        if (count.stats > 0) {
            slow_stats_ = std::chrono::steady_clock::now() - start > kSlowStat * count.stats;
        }
        tally.Add(count.bytes);
        state_.files_seen.fetch_add(count.files, std::memory_order_relaxed);
        if (!went_through) {
            return false;
        }
    }
}

// Stats the entries of one batch that may be regular files: those not
// shared, then shares of those shared until none is left. False after a
// failure (recorded) or a stop.
bool Walker::StatBatch(int fd, const char* batch, long length, bool shared, FileCount& count) {
    TreeTally& tally = stack_.tally();
    const char* failed = nullptr;
    int failure = 0;
    const bool went_through =
        ForEachInBatch(batch, length, [&](const char* name, unsigned char type) {
            if (type != DT_UNKNOWN && (type != DT_REG || shared)) {
                return true;  // directories, links, devices, ...: nothing to count
            }
            failure = CountFile(fd, name, tally, count, type == DT_UNKNOWN ? &subdirs_ : nullptr);
            failed = name;
            return failure == 0 && !state_.Stopping();
        });
    if (!subdirs_.empty() && stack_.Publish(subdirs_, files_)) {
        Announce(false);  // entries of unknown type that are directories
    }
    if (failure != 0) {
        tally.Fail(stack_.PathOf({failed}), failure);
        return false;
    }
    while (went_through && shared && stack_.TakeFiles(kFilesPerLoan, loan_)) {
        for (const std::string& name : loan_) {
            if (const int error = CountFile(fd, name.c_str(), tally, count, nullptr); error != 0) {
                tally.Fail(stack_.PathOf({name}), error);
                return false;
            }
        }
        if (state_.Stopping()) {
            return false;
        }
    }
    return went_through;
}

// Stats `name` in the directory open on `dir` and counts it when it is a
// regular file; puts it in `subdirs`, when given, if it is a directory. 0,
// or the errno of the failed stat (a file removed meanwhile is no failure).
int Walker::CountFile(int dir, const char* name, TreeTally& tally, FileCount& count,
                      std::vector<std::string>* subdirs) {
    struct stat st {};
    ++count.stats;
    if (state_.calls->StatEntry(dir, name, &st) != 0) {
        return errno == ENOENT ? 0 : errno;
    }
    if (S_ISDIR(st.st_mode) && subdirs != nullptr) {
        subdirs->emplace_back(name);
    } else if (S_ISREG(st.st_mode)) {
        ++count.files;
        if (st.st_nlink <= 1 || tally.FirstLink(FileId{st.st_dev, st.st_ino})) {
            count.bytes += static_cast<std::uint64_t>(st.st_size);
        }
    }
    return 0;
}

void Walker::CountLentFiles(const LentTask& task) {
    FileCount count;
    for (const std::string& name : task.files) {
        if (state_.Stopping()) {
            break;
        }
        if (const int error =
                CountFile(task.parent.get(), name.c_str(), *task.tally, count, nullptr);
            error != 0) {
            std::string path = task.path;
            AppendComponent(path, name);
            task.tally->Fail(std::move(path), error);
            break;
        }
    }
    task.tally->Add(count.bytes);
    state_.files_seen.fetch_add(count.files, std::memory_order_relaxed);
}

// Wakes one idle worker, or all of them, for the work just put on the stack.
void Walker::Announce(bool all) {
    if (state_.idle.HasSleepers()) {
        state_.idle.Ring(all);
    }
}

void Walker::Finish() {
    TaskDone(stack_.End());
}

void Walker::TaskDone(std::size_t tree) {
    TreeTally& tally = state_.trees[tree];
    if (tally.outstanding.fetch_sub(1) != 1) {
        return;
    }
    tally.ForgetLinks();
    state_.TreeDone(tree);
}

char* Walker::buffer() {
    if (!buffer_) {
        buffer_.reset(new char[kEntryBufferSize]);
    }
    return buffer_.get();
}

}  // namespace sizewalk::posix::walk
