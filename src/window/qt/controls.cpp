#include "window/qt/controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QTextOption>
#include <algorithm>
#include <vector>

#include "window/layout.h"

namespace sizewalk {
namespace {

constexpr int kIndexRole = Qt::UserRole;

}  // namespace

QString FromBytes(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void DriveList::Show(const DriveListState& drives) {
    const QSignalBlocker quiet(this);
    QStringList texts;
    for (const Volume& volume : drives.volumes()) {
        texts << FromBytes(DriveText(volume));
    }
    // Rebuilt only when the volumes changed: this may run inside the
    // combo box's own notification.
    bool same = count() == texts.size();
    for (int i = 0; same && i < count(); ++i) {
        same = itemText(i) == texts[i];
    }
    if (!same) {
        clear();
        addItems(texts);
    }
    setCurrentIndex(drives.current() == kNoEntry ? -1 : static_cast<int>(drives.current()));
}

void DriveList::showPopup() {
    if (opening) {
        opening();
    }
    QComboBox::showPopup();
}

DirectoryList::DirectoryList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(TwipsToPixels(kDirectoryIndentTwips, logicalDpiX()));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        emit openRequested(item->data(0, kIndexRole).toInt());
    });
}

void DirectoryList::Show(const DirectoryListState& directories) {
    clear();
    const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    std::vector<QTreeWidgetItem*> parents;  // the last item at each depth
    QTreeWidgetItem* current = nullptr;
    const std::vector<DirectoryEntry>& entries = directories.entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const DirectoryEntry& entry = entries[i];
        parents.resize(entry.depth);
        auto* item =
            parents.empty() ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parents.back());
        item->setText(0, FromBytes(entry.text));
        item->setIcon(0, entry.open ? open_icon : closed_icon);
        item->setData(0, kIndexRole, static_cast<int>(i));
        parents.push_back(item);
        if (i == directories.current()) {
            current = item;
        }
    }
    expandAll();
    setCurrentItem(current);
    // The parents stay in sight unless the path is too deep for them all.
    scrollToTop();
    if (current != nullptr) {
        scrollToItem(current);
    }
}

void DirectoryList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentItem() != nullptr) {
        emit openRequested(currentItem()->data(0, kIndexRole).toInt());
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

void ProgressBar::SetFraction(double fraction) {
    fraction_ = std::clamp(fraction, 0.0, 1.0);
    update();
}

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRectF(0, 0, width() * fraction_, height()),
                     QColor(kBlue[0], kBlue[1], kBlue[2]));
}

}  // namespace sizewalk
