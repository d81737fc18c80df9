// Starting the package's other programs: by path and argument vector, never
// through a shell.
#pragma once

#include <string>
#include <vector>

#include "platform/error.h"

namespace sizewalk {

class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;
    // The running program's own file, or empty when it cannot be told.
    virtual std::string OwnPath() = 0;
    // Runs `path` with `arguments` (after its name) in place of this process;
    // returns only when that failed.
    virtual Error Replace(const std::string& path, const std::vector<std::string>& arguments) = 0;
    // Runs `path` with `arguments` and waits for it, its output and error
    // discarded: its exit status (128 plus the signal when one ended it), or
    // why it could not be started.
    virtual Outcome<int> Run(const std::string& path,
                             const std::vector<std::string>& arguments) = 0;
};

}  // namespace sizewalk
