// The window's own controls: the drive list, the directory list, the labels
// that act as links and the label that shows a path.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/volumes.h"

namespace sizewalk {

// Texts from the file system are bytes; Qt shows them as UTF-8 where they are.
QString FromBytes(const std::string& bytes);

// The mounted volumes. The current one changes at once when the user picks
// one; every change, by the user or the program, emits currentIndexChanged
// before it returns, and setting the current one again emits nothing.
class DriveList final : public QComboBox {
    Q_OBJECT
  public:
    DriveList(VolumeService& volumes, QWidget* parent);

    // Rereads the volumes, keeping the current one listed and current.
    void Refresh();
    const std::vector<Volume>& volumes() const { return volumes_; }
    std::string CurrentRoot() const;
    // Makes the volume with this root current; false when it is not listed.
    bool SetCurrentRoot(const std::string& root);

  protected:
    void showPopup() override;

  private:
    VolumeService& service_;
    std::vector<Volume> volumes_;
};

// A directory's parents down from its volume's root, the directory itself
// and its immediate subdirectories. Opening an entry (double click or Enter)
// asks for it with openRequested; highlighting one changes nothing.
class DirectoryList final : public QTreeWidget {
    Q_OBJECT
  public:
    DirectoryList(VolumeService& volumes, QWidget* parent);

    // The current path: a volume root ends with the separator, any other
    // directory does not.
    const std::string& path() const { return path_; }
    // Lists `path` and makes it current; when that is a change, pathChanged
    // is emitted before this returns. A path ending with the separator is a
    // volume root and becomes the top of the tree.
    Status SetPath(const std::string& path);
    // The path at creation, set without notification; on a failure it stays
    // current with nothing listed.
    void SetInitialPath(const std::string& path, const std::string& root);

  signals:
    void pathChanged();
    void openRequested(const QByteArray& path);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Nothing folds here: every level is open, so no branch marks.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

  private:
    void Show(const std::vector<std::string>& subdirectories);

    VolumeService& volumes_;
    std::string path_;
    std::string root_;
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

}  // namespace sizewalk
