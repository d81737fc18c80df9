#include "window/qt/controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QTextOption>
#include <algorithm>

#include "platform/paths.h"

namespace sizewalk {
namespace {

constexpr int kPathRole = Qt::UserRole;

QByteArray ToBytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string PathOf(const QTreeWidgetItem* item) {
    const QByteArray bytes = item->data(0, kPathRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool IsWithin(const std::string& path, const std::string& root) {
    return path.compare(0, root.size(), root) == 0;
}

std::string Child(const std::string& dir, const std::string& name) {
    return dir.back() == kPathSeparator ? dir + name : dir + kPathSeparator + name;
}

}  // namespace

QString FromBytes(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

DriveList::DriveList(VolumeService& volumes, QWidget* parent)
    : QComboBox(parent), service_(volumes) {
    Refresh();
}

void DriveList::Refresh() {
    const std::string current = CurrentRoot();
    std::vector<Volume> fresh = service_.Volumes();
    const auto listed = [&](const std::string& root) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [&](const Volume& v) { return v.root == root; });
    };
    // A volume that went away stays while it is current: the user chose it.
    for (const Volume& old : volumes_) {
        if (old.root == current && !listed(current)) {
            fresh.push_back(old);
        }
    }
    std::sort(fresh.begin(), fresh.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    const QSignalBlocker quiet(this);
    clear();
    volumes_ = std::move(fresh);
    for (const Volume& volume : volumes_) {
        QString text = FromBytes(volume.root);
        if (!volume.label.empty()) {
            text += QStringLiteral("  [") + FromBytes(volume.label) + QStringLiteral("]");
        }
        addItem(text, ToBytes(volume.root));
    }
    if (!current.empty()) {
        setCurrentIndex(findData(ToBytes(current)));
    }
}

std::string DriveList::CurrentRoot() const {
    const QByteArray root = currentData().toByteArray();
    return std::string(root.constData(), static_cast<std::size_t>(root.size()));
}

bool DriveList::SetCurrentRoot(const std::string& root) {
    const int index = findData(ToBytes(root));
    if (index < 0) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}

void DriveList::showPopup() {
    Refresh();
    QComboBox::showPopup();
}

DirectoryList::DirectoryList(VolumeService& volumes, QWidget* parent)
    : QTreeWidget(parent), volumes_(volumes) {
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { emit openRequested(ToBytes(PathOf(item))); });
}

Status DirectoryList::SetPath(const std::string& path) {
    Outcome<std::vector<std::string>> subdirectories = volumes_.Subdirectories(path);
    if (!subdirectories.ok()) {
        return subdirectories.error();
    }
    if (!path.empty() && path.back() == kPathSeparator) {
        root_ = path;
    } else if (!IsWithin(path, root_)) {
        root_ = std::string(1, kPathSeparator);
    }
    const bool changed = path != path_;
    path_ = path;
    Show(subdirectories.value());
    if (changed) {
        emit pathChanged();
    }
    return std::nullopt;
}

void DirectoryList::SetInitialPath(const std::string& path, const std::string& root) {
    path_ = path;
    root_ = IsWithin(path, root) ? root : std::string(1, kPathSeparator);
    Outcome<std::vector<std::string>> subdirectories = volumes_.Subdirectories(path);
    Show(subdirectories.ok() ? subdirectories.value() : std::vector<std::string>{});
}

void DirectoryList::Show(const std::vector<std::string>& subdirectories) {
    clear();
    const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto add = [&](QTreeWidgetItem* parent, const std::string& path, const QString& text,
                         const QIcon& icon) {
        auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, text);
        item->setIcon(0, icon);
        item->setData(0, kPathRole, ToBytes(path));
        return item;
    };
    // The parents: the root, then one entry per component down to the path.
    QTreeWidgetItem* current = add(nullptr, root_, FromBytes(root_), open_icon);
    std::string walked = root_;
    std::size_t pos = root_.size();
    while (pos < path_.size()) {
        const std::size_t end = std::min(path_.find(kPathSeparator, pos), path_.size());
        const std::string name = path_.substr(pos, end - pos);
        pos = end + 1;
        if (name.empty()) {
            continue;
        }
        walked = Child(walked, name);
        current = add(current, walked, FromBytes(name), open_icon);
    }
    for (const std::string& name : subdirectories) {
        add(current, Child(path_, name), FromBytes(name), closed_icon);
    }
    expandAll();
    setCurrentItem(current);
    // The parents stay in sight unless the path is too deep for them all.
    scrollToTop();
    scrollToItem(current);
}

void DirectoryList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentItem() != nullptr) {
        emit openRequested(ToBytes(PathOf(currentItem())));
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void PathLabel::SetCaption(const std::string& caption) {
    caption_ = caption;
    update();
}

void PathLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.drawText(QRectF(rect()), FromBytes(caption_), option);
}

}  // namespace sizewalk
