// Starting programs on POSIX: execv and posix_spawn, never a shell.
#pragma once

#include <spawn.h>

#include "platform/program_launcher.h"

namespace sizewalk::posix {

// posix_spawn attributes that give a started program the default handling
// of the signals this one ignores (PrepareProcess).
class DefaultSignals {
  public:
    DefaultSignals();
    ~DefaultSignals() { posix_spawnattr_destroy(&attributes_); }
    DefaultSignals(const DefaultSignals&) = delete;
    DefaultSignals& operator=(const DefaultSignals&) = delete;
    const posix_spawnattr_t* get() const { return &attributes_; }

  private:
    posix_spawnattr_t attributes_;
};

class ProgramLauncher final : public sizewalk::ProgramLauncher {
  public:
    std::string OwnPath() override;
    Error Replace(const std::string& path, const std::vector<std::string>& arguments) override;
    Outcome<int> Run(const std::string& path, const std::vector<std::string>& arguments) override;
};

// Whether a graphical display is configured: DISPLAY or WAYLAND_DISPLAY set.
bool DisplayConfigured();
// Whether the environment variable `name` is set and not empty.
bool EnvironmentSet(const char* name);
// Whether an unattended run may show message boxes: a display is
// configured, standard error is not a terminal, and SIZEWALK_MESSAGES is
// not "stderr" (messages on standard error only: a script or a service).
bool MessageBoxesWanted();

}  // namespace sizewalk::posix
