// The main window: the choice of volume, directory and output style, and the
// commands Go, About, Help and the web-site link.
#pragma once

#include <QWidget>
#include <array>
#include <cstddef>
#include <functional>
#include <string>

#include "platform/desktop.h"
#include "platform/platform.h"
#include "platform/volumes.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace sizewalk {

class DirectoryList;
class DriveList;
class LinkLabel;
class PathLabel;

// What the window works with; tests hand in replacements.
struct WindowServices {
    Platform platform;  // for the tracking run and every message
    VolumeService& volumes;
    Beeper& beeper;
    UrlOpener& urls;
    // Ends the program with this exit status once the handler returns.
    std::function<void(int)> end_program;
};

inline constexpr char kWaitText[] = "Wait please! Processing...";

// Twips (1/1440 inch) to device-independent pixels: 15 twips a pixel at
// 96 dpi; Qt applies the screen's device-pixel ratio on top.
int TwipsToPixels(int twips, double logical_dpi);

class Form1 final : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(const WindowServices& services, QWidget* parent = nullptr);

    // Runs once, before the window is shown.
    void Form_Load();

  public slots:
    void cmbDrive_Change();
    void lstDir_Change();
    void btnGo_Click();
    void lblWebSite_Click();
    void lblAbout_Click();
    void lblHelp_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OpenEntry(const std::string& path);
    void ShowProgress(std::size_t done);

    WindowServices services_;
    DriveList* cmbDrive;
    DirectoryList* lstDir;
    PathLabel* lblDir;
    std::array<QRadioButton*, 3> optOutputStyle{};
    QPushButton* btnGo;
    QLabel* lblWait;
    LinkLabel* lblHelp;
    LinkLabel* lblAbout;
    LinkLabel* lblWebSite;
    QLabel* Label1;

    QFont wait_font_;
    bool running_ = false;
    std::size_t run_total_ = 0;
    static constexpr std::size_t kNothingShown = static_cast<std::size_t>(-1);
    std::size_t shown_done_ = kNothingShown;
};

}  // namespace sizewalk
