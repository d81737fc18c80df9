// What reading the size history needs of the operating system: the files of
// one directory read in large blocks, a temporary file for a page, a report
// file replaced whole, the free space and which file system holds what,
// local time, and the console.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_count.h"
#include "platform/clock_locale.h"
#include "platform/error.h"

namespace sizewalk {

class InputFile {
  public:
    virtual ~InputFile() = default;
    // Up to `size` bytes into `buffer`; 0 at the end of the file as it was
    // when opened: what a run appends meanwhile is not read.
    virtual Outcome<std::size_t> Read(char* buffer, std::size_t size) = 0;
    // Whether the file belongs to the user running the program, to the owner
    // of its directory or to the system (root); where a file system keeps no
    // owners, true.
    virtual bool TrustedOwner() const = 0;
};

enum class FileKind { kRegular, kLink, kDirectory, kOther };

struct ListedFile {
    std::string name;
    FileKind kind = FileKind::kRegular;
};

// A file written under a temporary name beside its place and put there
// whole by Commit; dropped without Commit, it leaves nothing behind.
class ReplacementFile {
  public:
    virtual ~ReplacementFile() = default;
    virtual Status Write(std::string_view bytes) = 0;
    // On the disk, then renamed over the file.
    virtual Status Commit() = 0;
};

// The description of an Error from OpenForReading when a run went on
// writing the file for the whole wait.
inline constexpr std::string_view kFileBusy = "being written by a run";
// How often OpenForReading looks again at a file that a run is writing.
inline constexpr std::chrono::milliseconds kBusyRetry{50};

// Which file system holds a file: its device and, where the system tells it,
// its mount (a btrfs subvolume has a device of its own on its parent's
// mount, a bind mount of the same file system the device of its source).
struct FileSystemKey {
    std::uint64_t device = 0;
    std::uint64_t mount = 0;  // 0: not told
};

inline bool SameFileSystem(const FileSystemKey& a, const FileSystemKey& b) {
    return a.device == b.device || (a.mount != 0 && a.mount == b.mount);
}

class HistorySystem {
  public:
    virtual ~HistorySystem() = default;
    // The entries of `dir`, each with its kind (a symbolic link as a link).
    virtual Outcome<std::vector<ListedFile>> ListFiles(const std::string& dir) = 0;
    // A regular file for reading, never through a symbolic link, never a
    // FIFO; read while no run writes it (a shared lock, or on Windows a
    // sharing mode that shuts writers out), waiting up to `wait` for a run
    // that writes it; then an Error that ends with kFileBusy.
    virtual Outcome<std::unique_ptr<InputFile>> OpenForReading(const std::string& path,
                                                               std::chrono::milliseconds wait) = 0;
    // `content` in a new file of the user's temporary directory whose name
    // ends with `suffix`; its path.
    virtual Outcome<std::string> WriteTemporaryFile(std::string_view suffix,
                                                    std::string_view content) = 0;
    // A new file that replaces `path` once committed; never through a
    // symbolic link at its temporary name.
    virtual Outcome<std::unique_ptr<ReplacementFile>> Replace(const std::string& path) = 0;
    // The space this user may still fill on the file system that holds
    // `dir`; nothing where the file system gives no figures at all (no
    // blocks: a pseudo or some network file systems).
    virtual Outcome<std::optional<ByteCount>> FreeSpace(const std::string& dir) = 0;
    // The file system of `path`, a directory or an entry of one: a folder a
    // volume is mounted on is that volume's; on POSIX a symbolic link is not
    // followed and an automount point not mounted. Nothing where it cannot
    // be told.
    virtual std::optional<FileSystemKey> FileSystemOf(const std::string& path) = 0;
    // Seconds since 1970-01-01 UTC of a local date and time of this machine.
    virtual std::int64_t EpochSeconds(const LocalTime& local) = 0;
    // The local date and time now.
    virtual LocalTime Now() = 0;
};

// Standard output and standard error.
class Console {
  public:
    virtual ~Console() = default;
    virtual bool OutputIsTerminal() = 0;
    // Whether what is written shows as UTF-8 (else the report keeps to ASCII
    // where it has a choice).
    virtual bool OutputIsUtf8() = 0;
    virtual Status Write(std::string_view bytes) = 0;
    // One message line on standard error; the line end is added.
    virtual void WriteError(std::string_view line) = 0;
};

std::unique_ptr<HistorySystem> MakeSystemHistory();
std::unique_ptr<Console> MakeSystemConsole();

}  // namespace sizewalk
