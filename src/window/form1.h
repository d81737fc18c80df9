// The main window's behaviour, whatever toolkit draws it: the choice of
// volume, directory and output style, and the commands Go, About, Help, the
// size history and the web-site link. Each handler reports its own failures
// with its letter (common/failure_places.h).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <thread>

#include "platform/desktop.h"
#include "platform/history_system.h"
#include "platform/platform.h"
#include "platform/volumes.h"
#include "window/controls.h"
#include "window/lists.h"

namespace sizewalk {

// What the window works with; tests hand in replacements.
struct WindowServices {
    Platform platform;  // for the tracking run and every message
    VolumeService& volumes;
    Beeper& beeper;
    UrlOpener& urls;  // the web site, and the history page in the browser
    HistorySystem& history;
    // Ends the program with this exit status once the handler returns.
    std::function<void(int)> end_program;
};

class Form1 {
  public:
    // Puts the lists on the volume and the directory of the process's
    // current directory, without notifications.
    Form1(Form1Controls& controls, const WindowServices& services);

    // Runs once, before the window is shown.
    void Form_Load();
    void cmbDrive_Change();
    void lstDir_Change();
    void btnGo_Click();
    void lblWebSite_Click();
    void lblAbout_Click();
    void lblHelp_Click();
    void lblHistory_Click();

    // What the user does in the lists: the drive list drops down (it is
    // read anew), an entry is chosen there, an entry of the directory list
    // is opened (double click or Enter).
    void DriveListOpening();
    void DriveChosen(std::size_t index);
    void DirectoryOpened(std::size_t index);

    const DriveListState& drives() const { return drives_; }
    const DirectoryListState& directories() const { return directories_; }
    const std::string& dir_caption() const { return dir_caption_; }
    // While Go's run lasts the window must not close: the file would be cut short.
    bool running() const { return running_; }

  private:
    // Program changes of the lists, each notifying as a user's change does.
    Status SetDirectory(const std::string& path);
    void SetDriveHolding(const std::string& path);
    void SetDirLabel(const std::string& caption);
    void Progress(std::size_t done);
    MessageBoxService& messages() { return services_.platform.messages; }

    Form1Controls& controls_;
    WindowServices services_;
    DriveListState drives_;
    DirectoryListState directories_;
    std::string dir_caption_;
    bool running_ = false;
    std::size_t run_total_ = 0;
    std::size_t run_done_ = 0;
    std::thread::id window_thread_;
};

}  // namespace sizewalk
