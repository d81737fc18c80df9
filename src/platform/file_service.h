// The files the program writes: one tracking file per run, line by line,
// final only when the whole block is written.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace sizewalk {

enum class OpenMode {
    kAppend,   // created when missing, added to at the end
    kReplace,  // written aside; replaces the file (or becomes it) on Commit
};

// A tracking file being written. Dropped without a successful Commit (a
// failure, an interruption), it leaves the file exactly as it was before
// Open: cut back to its length then, removed when this run created it, or,
// when it was to be replaced, untouched.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Whether the file holds no history yet: appended to, it was empty when
    // this run got it to itself.
    virtual bool IsNew() const = 0;
    // Writes `line` and the line end (CR LF), all of it or a failure.
    virtual Status WriteLine(std::string_view line) = 0;
    // Makes the lines final; a failure leaves the file as it was.
    virtual Status Commit() = 0;
};

class FileService {
  public:
    virtual ~FileService() = default;
    // Opens `path` for writing, held exclusively against other runs of this
    // program until committed or dropped. Never writes through a symbolic
    // link.
    virtual Outcome<std::unique_ptr<OutputFile>> Open(const std::string& path, OpenMode mode) = 0;
};

// The name of a temporary file beside `path` (".<name>.<six characters>"),
// different for each `seed`.
std::string TemporarySibling(const std::string& path, unsigned long long seed);

}  // namespace sizewalk
