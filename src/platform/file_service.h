// The files the program writes: one tracking file per run, line by line.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace sizewalk {

enum class OpenMode {
    kAppend,  // created when missing, added to at the end
    kOutput,  // created, or emptied when present
};

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Writes `line` and the line end (CR LF), all of it or a failure.
    virtual Status WriteLine(std::string_view line) = 0;
    // Flushes and closes; a failure here means data may be lost.
    virtual Status Close() = 0;
};

class FileService {
  public:
    virtual ~FileService() = default;
    // Whether an ordinary directory search finds `path`.
    virtual Outcome<bool> Exists(const std::string& path) = 0;
    // Opens `path` for writing, held exclusively against other runs of this
    // program until closed. Never opens through a symbolic link.
    virtual Outcome<std::unique_ptr<OutputFile>> Open(const std::string& path, OpenMode mode) = 0;
};

}  // namespace sizewalk
