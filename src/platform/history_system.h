// What reading the size history needs of the operating system: the files of
// one directory read in large blocks, a temporary file for a page, local time
// as seconds since the epoch, and the console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock_locale.h"
#include "platform/error.h"

namespace sizewalk {

class InputFile {
  public:
    virtual ~InputFile() = default;
    // Up to `size` bytes into `buffer`; 0 at the end of the file.
    virtual Outcome<std::size_t> Read(char* buffer, std::size_t size) = 0;
};

class HistorySystem {
  public:
    virtual ~HistorySystem() = default;
    // The names of the regular files directly in `dir` (symbolic links left out).
    virtual Outcome<std::vector<std::string>> ListFiles(const std::string& dir) = 0;
    // A regular file for reading; never through a symbolic link, never a FIFO.
    virtual Outcome<std::unique_ptr<InputFile>> OpenForReading(const std::string& path) = 0;
    // `content` in a new file of the user's temporary directory whose name
    // ends with `suffix`; its path.
    virtual Outcome<std::string> WriteTemporaryFile(std::string_view suffix,
                                                    std::string_view content) = 0;
    // Seconds since 1970-01-01 UTC of a local date and time of this machine.
    virtual std::int64_t EpochSeconds(const LocalTime& local) = 0;
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
