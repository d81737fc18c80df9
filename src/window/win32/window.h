// Form1's face in plain Win32 (user32 and gdi32): the classic controls as
// the layout places them, in twips at the DPI of the window's monitor, their
// notifications passed to Form1.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/win32/win.h"
#include "window/controls.h"
#include "window/form1.h"
#include "window/layout.h"
#include "window/win32/paint.h"

namespace sizewalk::win32 {

// Modal message boxes owned by the window, once it exists.
class WindowMessageBoxes final : public MessageBoxService {
  public:
    void SetOwner(HWND owner) { owner_ = owner; }
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;

  private:
    HWND owner_ = nullptr;
};

// The face in "MS Sans Serif" at 96 dpi; above that its TrueType successor.
std::wstring FontFace(int dpi);

class Win32Window final : public Form1Controls {
  public:
    // Creates the window, hidden, with its controls. A fatal failure of a
    // run closes it (`services.end_program` is told too).
    Win32Window(HINSTANCE instance, const WindowServices& services);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    Form1& form() { return *form_; }
    HWND hwnd() const { return hwnd_; }
    // A control by its name in the layout.
    HWND control(const std::string& name) const { return controls_.at(name); }
    int dpi() const { return dpi_; }
    // Paints with the window's own colours, or the system's under a
    // high-contrast theme; follows the system's setting from then on.
    void ApplyTheme(bool high_contrast);

    // Shows the window with the focus on the drive list (or where it was).
    void Show();
    // Shows the window and runs its messages until it closes; returns the
    // exit status.
    int Run();

    void SetCaption(const std::string& caption) override;
    void ShowDrives(const DriveListState& drives) override;
    void ShowDirectories(const DirectoryListState& directories) override;
    void SetDirLabel(const std::string& caption) override;
    bool StyleSelected(int index) override;
    void EnableGo(bool enabled) override;
    void FocusGo() override;
    void ShowWait(bool shown) override;
    void ShowProgress(std::size_t done, std::size_t total) override;
    void Repaint() override;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls(HINSTANCE instance);
    // Places and sizes the window and its controls, and makes their fonts,
    // at the window's DPI.
    void Layout();
    HFONT Font(const FontSpec& wanted);
    int Pixels(int twips) const;
    void Command(int id, int code, HWND from);
    void Draw(const DRAWITEMSTRUCT& item);
    ControlKind KindOf(HWND control) const;

    WindowServices services_;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    Palette palette_ = PaletteFor(false);
    HBRUSH background_ = nullptr;
    std::vector<HFONT> fonts_;
    std::map<std::string, HWND> controls_;
    std::map<HWND, const ControlSpec*> rows_;
    HWND cmbDrive = nullptr;
    HWND lstDir = nullptr;
    HWND lblDir = nullptr;
    HWND optOutputStyle[3] = {};
    HWND btnGo = nullptr;
    HWND lblWait = nullptr;
    HWND prgWait = nullptr;
    HWND focus_ = nullptr;  // kept while the window is inactive
    int item_height_ = 16;
    std::vector<Volume> drives_shown_;
    std::vector<DirectoryEntry> entries_shown_;
    double progress_ = 0;
    int exit_status_ = 0;
    bool quit_on_close_ = false;  // only the window that Run() runs ends the loop
    std::unique_ptr<Form1> form_;
};

}  // namespace sizewalk::win32
