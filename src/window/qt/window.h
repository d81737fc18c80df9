// Form1's face in Qt Widgets: the controls as the layout places them, their
// notifications passed to Form1.
#pragma once

#include <QFont>
#include <QWidget>
#include <memory>

#include "window/controls.h"
#include "window/form1.h"
#include "window/layout.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace sizewalk {

class DirectoryList;
class DriveList;
class PathLabel;
class ProgressBar;

// The font the layout names: "MS Sans Serif", or the nearest sans-serif
// this system has (Liberation Sans has the metrics the sizes were chosen
// for); points 0 is `base`.
QFont FontOf(const FontSpec& wanted, const QFont& base);

class QtWindow final : public QWidget, public Form1Controls {
    Q_OBJECT
  public:
    explicit QtWindow(const WindowServices& services, QWidget* parent = nullptr);
    ~QtWindow() override;

    Form1& form() { return *form_; }

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

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    DriveList* cmbDrive = nullptr;
    DirectoryList* lstDir = nullptr;
    PathLabel* lblDir = nullptr;
    QRadioButton* optOutputStyle[3] = {};
    QPushButton* btnGo = nullptr;
    QLabel* lblWait = nullptr;
    ProgressBar* prgWait = nullptr;
    std::unique_ptr<Form1> form_;
};

}  // namespace sizewalk
