// The platform services that need Qt: modal message boxes, the desktop's
// opener and beep, and whether the display answers.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/desktop.h"
#include "platform/message_box.h"
#include "platform/text_editor.h"

namespace sizewalk {

// A modal QMessageBox with one OK button, over `parent` when there is one.
class QtMessageBoxes final : public MessageBoxService {
  public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;

  private:
    QPointer<QWidget> parent_;
};

class DesktopOpener final : public UrlOpener {
  public:
    Status OpenUrl(const std::string& url) override;
    Status OpenFile(const std::string& path) override;
};

// Opens files with the desktop's application for them. A path that Qt
// cannot carry unchanged (bytes that are not UTF-8) goes to `fallback`.
class DesktopTextEditor final : public TextEditor {
  public:
    explicit DesktopTextEditor(TextEditor& fallback) : fallback_(fallback) {}
    Status Open(const std::string& path) override;

  private:
    TextEditor& fallback_;
};

class QtBeeper final : public Beeper {
  public:
    void Beep() override;
};

// When QT_QPA_PLATFORM is not set, lets Qt fall back to the offscreen
// platform instead of aborting on a display that does not answer. Returns
// whether it did so.
bool AllowPlatformFallback();
// Whether the platform Qt settled on shows windows to a person.
bool ShowsWindows(const QString& platform_name);

}  // namespace sizewalk
