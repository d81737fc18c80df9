// Everything the core needs from the operating system, in one bundle so that
// tests can hand in replacements.
#pragma once

#include <memory>

#include "platform/clock_locale.h"
#include "platform/file_service.h"
#include "platform/folder_service.h"
#include "platform/message_box.h"
#include "platform/stop_flag.h"
#include "platform/text_editor.h"

namespace sizewalk {

struct Platform {
    FolderService& folders;
    FileService& files;
    MessageBoxService& messages;
    Clock& clock;
    TextEditor& editor;
    LocaleSeparators locale;
    // Set when the run is asked to stop; none where nothing can ask.
    const StopFlag* stop = nullptr;
};

// The real services of this operating system, owned together.
class SystemPlatform {
  public:
    SystemPlatform();
    ~SystemPlatform();
    SystemPlatform(const SystemPlatform&) = delete;
    SystemPlatform& operator=(const SystemPlatform&) = delete;

    // Replaces the message boxes (the window brings modal ones).
    void SetMessageBoxes(MessageBoxService* messages);
    // Replaces the text editor (the window opens files through the desktop).
    void SetTextEditor(TextEditor* editor);
    // From now on SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl+C, Ctrl+Break
    // and the console closing) ask the run to stop (it rolls the tracking
    // file back) instead of ending the program at once. For the unattended
    // run.
    void CatchStopSignals();

    Platform Get();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// First thing in a program: opens the null device on any of the standard
// descriptors 0, 1 and 2 that is closed, so that no file the program opens
// becomes its standard output or error; and makes a closed pipe and a file
// size limit (SIGPIPE, SIGXFSZ) failed writes instead of the program's end:
// a message then goes missing, and a tracking file is rolled back. Nothing
// on Windows.
void PrepareProcess();

// Reads the separators of the current locale (after setlocale).
LocaleSeparators ReadLocaleSeparators();

}  // namespace sizewalk
