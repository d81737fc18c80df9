// Everything the core needs from the operating system, in one bundle so that
// tests can hand in replacements.
#pragma once

#include <memory>

#include "platform/clock_locale.h"
#include "platform/file_service.h"
#include "platform/folder_service.h"
#include "platform/message_box.h"
#include "platform/text_editor.h"

namespace sizewalk {

struct Platform {
    FolderService& folders;
    FileService& files;
    MessageBoxService& messages;
    Clock& clock;
    TextEditor& editor;
    LocaleSeparators locale;
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

    Platform Get();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads the separators of the current locale (after setlocale).
LocaleSeparators ReadLocaleSeparators();

}  // namespace sizewalk
