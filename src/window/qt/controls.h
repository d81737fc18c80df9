// The Qt controls of the window that Qt lacks as such: the drive list and
// the directory list drawn from Form1's state, links, and the path label.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>
#include <functional>
#include <string>

#include "window/lists.h"

namespace sizewalk {

// Texts from the file system are bytes; Qt shows them as UTF-8 where they are.
QString FromBytes(const std::string& bytes);

// The volumes. A choice of the user emits currentIndexChanged; showing the
// state emits nothing.
class DriveList final : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveList(QWidget* parent) : QComboBox(parent) {}
    void Show(const DriveListState& drives);
    // Called when the list is about to drop down.
    std::function<void()> opening;

  protected:
    void showPopup() override;
};

// A directory's parents down from its volume's root, the directory itself
// and its immediate subdirectories. Opening an entry (double click or
// Enter) emits openRequested; highlighting one changes nothing.
class DirectoryList final : public QTreeWidget {
    Q_OBJECT
  public:
    explicit DirectoryList(QWidget* parent);
    void Show(const DirectoryListState& directories);

  signals:
    void openRequested(int index);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Nothing folds here: every level is open, so no branch marks.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
};

// A label used as a link: blue, underlined, and clickable.
class LinkLabel final : public QLabel {
    Q_OBJECT
  public:
    LinkLabel(const QString& text, QWidget* parent);

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A path on up to as many lines as fit, broken anywhere, since paths seldom
// have blanks to break at. Shown exactly, never as rich text.
class PathLabel final : public QWidget {
    Q_OBJECT
  public:
    explicit PathLabel(QWidget* parent) : QWidget(parent) {}
    const std::string& caption() const { return caption_; }
    void SetCaption(const std::string& caption);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string caption_;
};

// A thin bar: how much of the run is done.
class ProgressBar final : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressBar(QWidget* parent) : QWidget(parent) {}
    double fraction() const { return fraction_; }
    void SetFraction(double fraction);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double fraction_ = 0;
};

}  // namespace sizewalk
