// The system calls a walk makes on directories, one virtual call each so that
// tests can make any of them fail or race with a change to the tree.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>

namespace sizewalk::posix::walk {

enum class FileSystemKind { kLocal, kKernelView, kNetwork };

class DirectoryCalls {
  public:
    virtual ~DirectoryCalls() = default;
    // openat(parent, name) for reading a directory without following a link;
    // -1 and errno on failure.
    virtual int OpenDirectory(int parent, const char* name);
    // getdents64: bytes of entries read into `buffer`, 0 at the end, -1 and
    // errno on failure.
    virtual long ReadEntries(int fd, void* buffer, std::size_t size);
    // fstatat(dir, name) without following a link; 0, or -1 and errno.
    virtual int StatEntry(int dir, const char* name, struct stat* st);
    // The kind of file system the directory open on `fd` lies on (fstatfs);
    // local when it cannot be told.
    virtual FileSystemKind FileSystemOf(int fd);
};

// The batch size for ReadEntries: a few hundred entries a call.
inline constexpr std::size_t kEntryBufferSize = 64 * 1024;

// Calls visit(name, d_type) for every entry of one batch, `length` bytes
// read into `buffer` by ReadEntries, except "." and "..", until visit
// returns false. Whether it went through.
template <typename Visit>
bool ForEachInBatch(const char* buffer, long length, Visit&& visit) {
    for (long pos = 0; pos < length;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer + pos);
        pos += entry->d_reclen;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        if (!visit(name, entry->d_type)) {
            return false;
        }
    }
    return true;
}

// Calls visit(name, d_type) for every entry of the directory open on `fd`
// except "." and "..", until visit returns false. `buffer` holds
// kEntryBufferSize bytes, aligned for dirent64. Returns 0, or the errno of a
// failed read.
template <typename Visit>
int ForEachEntry(DirectoryCalls& calls, int fd, char* buffer, Visit&& visit) {
    for (;;) {
        const long length = calls.ReadEntries(fd, buffer, kEntryBufferSize);
        if (length < 0) {
            return errno;
        }
        if (length == 0 || !ForEachInBatch(buffer, length, visit)) {
            return 0;
        }
    }
}

}  // namespace sizewalk::posix::walk
