// The files the program writes: one tracking file per run, written once,
// when the report is complete.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/folder_service.h"

namespace sizewalk {

enum class OpenMode {
    kAppend,   // created when missing, added to at the end
    kReplace,  // written aside; replaces the file (or becomes it) when written
};

// How long a run waits for a tracking file that another process holds
// (locked, leased, open without sharing) before it gives up.
inline constexpr std::chrono::milliseconds kBusyWait = std::chrono::minutes(1);

// Temporary files older than this, left by a run that was killed, are
// removed by the next run that replaces a file in the directory.
inline constexpr std::chrono::hours kStaleTemporaryAge{24};

// A tracking file got for one write. Dropped without a successful Write, it
// is exactly as it was before Open (a file this run created is gone again).
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Whether the file holds no history yet: appended to, it is empty now
    // that this run holds it.
    virtual bool IsNew() const = 0;
    // Writes `lines` (as the files hold them: FileService::Encode), each
    // ended with CR LF, in one write (appended after a CR LF where the
    // file's last line has none, so that a torn line stays on its own) and
    // makes them final: the data on the disk, and the directory entry of a
    // file created or replaced. A failure leaves the file as it was, or its
    // description says that it could not be restored.
    virtual Status Write(const std::vector<std::string>& lines) = 0;
};

class FileService {
  public:
    virtual ~FileService() = default;
    // Fails at once where this user cannot write `name` in `directory` (an
    // existing file to append to, or, when `name` is empty or missing, a new
    // file): a read-only file system, no permission. Asked before a long
    // walk; Open still decides.
    virtual Status CheckWritable(const Directory& directory, const std::string& name) = 0;
    // Opens `name` in `directory` (opened by this system's folder service)
    // for one Write; an appended file is held against other runs of this
    // program until then. Waits at most kBusyWait for a file another process
    // holds, and not at all once the run is asked to stop. Never writes
    // through a symbolic link, into a file with several links, or, in a
    // directory others may write (world-writable or sticky), into a file
    // owned by neither this user nor the directory's owner.
    virtual Outcome<std::unique_ptr<OutputFile>> Open(const Directory& directory,
                                                      const std::string& name, OpenMode mode) = 0;

    // The files' characters: the program's own bytes (UTF-8, or a name's
    // bytes as they are) unless a platform writes them in an 8-bit code page.
    // Whether the files hold the one UTF-8 character `character`, or the
    // one byte that is not UTF-8, as it is; the writer escapes any other.
    virtual bool Holds(std::string_view character) const;
    // `text`, whose characters the files all hold, in the files' bytes.
    virtual std::string Encode(std::string_view text) const;
};

// The name of a temporary file for `name` (".<name>.<six characters>"),
// different for each `seed`.
std::string TemporaryName(std::string_view name, unsigned long long seed);
// How far the seed moves on between attempts at a free temporary name: a
// prime, so that one run's attempts do not walk onto another's.
inline constexpr unsigned long long kTemporaryNameStep = 7919;

// Whether `entry` is a temporary name for `name` or for a name that differs
// from it only in its digits (the day's file of another day).
bool IsTemporaryOfKind(std::string_view entry, std::string_view name);

// The failure of a run that waited kBusyWait for `path` in vain.
Error HeldByAnotherProcess(const std::string& path);

}  // namespace sizewalk
