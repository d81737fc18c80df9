#include "platform/posix/walk/walker.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

namespace sizewalk::walk {

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
    RunTask(Descriptor(fd), state_.device);
}

void Walker::RunLent(LentTask task) {
    stack_.Begin(task.tree, *task.tally, std::move(task.path), std::move(task.ancestors));
    if (!task.fd) {
        if (task.error != ENOENT) {
            task.tally->Fail(stack_.PathOf({}), task.error);
        }
        Finish();
        return;
    }
    RunTask(std::move(task.fd), task.parent_device);
}

void Walker::RunTask(Descriptor fd, dev_t parent_device) {
    Frame first;
    first.fd = std::move(fd);
    if (ReadDirectory(first, parent_device)) {
        Push(std::move(first));
    } else {
        first.fd.Reset();
    }
    Walk();
}

// Walks the stack down to the last frame, then finishes the task.
void Walker::Walk() {
    while (!stack_.empty()) {
        if (state_.Stopping()) {
            stack_.Unwind();
            break;
        }
        Frame& top = stack_.top();
        Frame child;
        child.name = stack_.TakeNext();
        if (child.name.empty()) {
            if (const int error = stack_.Pop(); error != 0) {
                stack_.tally().Fail(stack_.PathOf({}), error);
                stack_.Unwind();
            }
            continue;
        }
        const int fd = state_.calls->OpenDirectory(top.fd.get(), child.name.c_str());
        if (fd < 0) {
            const int error = errno;
            if (error != ENOENT) {
                stack_.tally().Fail(stack_.PathOf({child.name}), error);
            }
            continue;
        }
        child.fd.Reset(fd);
        if (ReadDirectory(child, top.id.device)) {
            Push(std::move(child));
        }
        if (ticker_ != nullptr) {
            ticker_->Tick();
        }
    }
    Finish();
}

void Walker::Push(Frame frame) {
    if (stack_.Push(std::move(frame)) && state_.idle.HasSleepers()) {
        state_.idle.Ring(false);
    }
}

// Adds the files of `frame`'s directory to the task's tree and collects its
// subdirectories into `frame`. False when there is nothing to descend into:
// no subdirectories, a pseudo file system, a failure (recorded) or a stop.
bool Walker::ReadDirectory(Frame& frame, dev_t parent_device) {
    const int fd = frame.fd.get();
    TreeTally& tally = stack_.tally();
    struct stat self_stat {};
    if (fstat(fd, &self_stat) != 0) {
        const int error = errno;
        tally.Fail(stack_.PathOf({frame.name}), error);
        return false;
    }
    if (self_stat.st_dev != parent_device && OnPseudoFileSystem(fd)) {
        return false;
    }
    frame.id = FileId{self_stat.st_dev, self_stat.st_ino};
    if (stack_.OnPath(frame.id)) {
        tally.Fail(stack_.PathOf({frame.name}), kDirectoryCycle);  // as du: not descended into
        return false;
    }
    ByteCount total = 0;
    std::uint64_t files = 0;
    bool stopped = false;
    DirectoryCalls& calls = *state_.calls;
    const int error =
        ForEachEntry(calls, fd, buffer_.get(), [&](const char* name, unsigned char type) {
            if (type == DT_DIR) {
                frame.subdirs.emplace_back(name);
                return true;
            }
            if (type != DT_REG && type != DT_UNKNOWN) {
                return true;  // links, devices, sockets, ...: nothing to count
            }
            struct stat st {};
            if (calls.StatEntry(fd, name, &st) != 0) {
                const int failure = errno;
                if (failure == ENOENT) {
                    return true;  // removed meanwhile
                }
                tally.Fail(stack_.PathOf({frame.name, name}), failure);
                stopped = true;
                return false;
            }
            if (S_ISDIR(st.st_mode)) {
                frame.subdirs.emplace_back(name);
            } else if (S_ISREG(st.st_mode)) {
                ++files;
                if (st.st_nlink <= 1 || tally.FirstLink(FileId{st.st_dev, st.st_ino})) {
                    total += static_cast<std::uint64_t>(st.st_size);
                }
            }
            if (state_.Stopping()) {
                stopped = true;
                return false;
            }
            return true;
        });
    if (error != 0) {
        tally.Fail(stack_.PathOf({frame.name}), error);
        return false;
    }
    if (stopped) {
        return false;
    }
    tally.Add(total);
    state_.files_seen.fetch_add(files, std::memory_order_relaxed);
    frame.hi = frame.subdirs.size();
    return frame.hi > 0;
}

void Walker::Finish() {
    const std::size_t index = stack_.End();
    TreeTally& tally = state_.trees[index];
    if (tally.outstanding.fetch_sub(1) != 1) {
        return;
    }
    tally.ForgetLinks();
    state_.TreeDone(index);
}

}  // namespace sizewalk::walk
