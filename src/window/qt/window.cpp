#include "window/qt/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QRadioButton>

#include "window/layout.h"
#include "window/qt/controls.h"

namespace sizewalk {
namespace {

// Eats the user's input while installed: what is given during a run is
// meant for a busy window and must not act once it is idle again.
class InputSwallower final : public QObject {
  public:
    InputSwallower() { qApp->installEventFilter(this); }
    ~InputSwallower() override { qApp->removeEventFilter(this); }
    InputSwallower(const InputSwallower&) = delete;
    InputSwallower& operator=(const InputSwallower&) = delete;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::ContextMenu:
                return true;
            default:
                return false;
        }
    }
};

QColor ColorOf(const unsigned char (&rgb)[3]) {
    return QColor(rgb[0], rgb[1], rgb[2]);
}

}  // namespace

QFont FontOf(const FontSpec& wanted, const QFont& base) {
    if (wanted.points == 0) {
        return base;
    }
    const QString face = QStringLiteral("MS Sans Serif");
    if (QFont::substitutes(face).isEmpty()) {
        QFont::insertSubstitutions(
            face, {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Arimo"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    }
    QFont font(face);
    font.setPointSizeF(wanted.points);
    font.setBold(wanted.bold);
    font.setItalic(wanted.italic);
    font.setUnderline(wanted.underline);
    return font;
}

QtWindow::QtWindow(const WindowServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form1"));
    const double dpi = logicalDpiX();
    setFixedSize(TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi));
    QPalette background = palette();
    background.setColor(QPalette::Window, ColorOf(kBackground));
    setPalette(background);
    setAutoFillBackground(true);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, ColorOf(kBlue));

    // Created in the layout's order, which is the tab order.
    int options = 0;
    for (const ControlSpec& row : Form1Layout()) {
        const QString caption = FromBytes(CaptionOf(row));
        QWidget* control = nullptr;
        switch (row.kind) {
            case ControlKind::kLink: {
                auto* link = new LinkLabel(caption, this);
                link->setPalette(blue);
                const auto click = row.click;
                connect(link, &LinkLabel::clicked, this, [this, click] { (*form_.*click)(); });
                control = link;
                break;
            }
            case ControlKind::kLabel:
                control = new QLabel(caption, this);
                break;
            case ControlKind::kDriveList:
                cmbDrive = new DriveList(this);
                cmbDrive->opening = [this] { form_->DriveListOpening(); };
                connect(cmbDrive, &QComboBox::currentIndexChanged, this, [this](int index) {
                    if (index >= 0) {
                        form_->DriveChosen(static_cast<std::size_t>(index));
                    }
                });
                control = cmbDrive;
                break;
            case ControlKind::kDirectoryList:
                lstDir = new DirectoryList(this);
                connect(lstDir, &DirectoryList::openRequested, this, [this](int index) {
                    form_->DirectoryOpened(static_cast<std::size_t>(index));
                });
                control = lstDir;
                break;
            case ControlKind::kPathLabel:
                control = lblDir = new PathLabel(this);
                break;
            case ControlKind::kOption: {
                auto* option = new QRadioButton(caption, this);
                optOutputStyle[options++] = option;
                control = option;
                break;
            }
            case ControlKind::kButton:
                btnGo = new QPushButton(caption, this);
                // Enter presses Go only while it has the focus; it is no default button.
                btnGo->setAutoDefault(true);
                connect(btnGo, &QPushButton::clicked, this, [this] { form_->btnGo_Click(); });
                control = btnGo;
                break;
            case ControlKind::kWaitNotice:
                lblWait = new QLabel(caption, this);
                lblWait->setPalette(blue);
                lblWait->hide();
                control = lblWait;
                break;
            case ControlKind::kProgressBar:
                prgWait = new ProgressBar(this);
                prgWait->hide();
                control = prgWait;
                break;
        }
        control->setObjectName(QString::fromLatin1(row.name));
        control->setGeometry(TwipsToPixels(row.place.left, dpi), TwipsToPixels(row.place.top, dpi),
                             TwipsToPixels(row.place.width, dpi),
                             TwipsToPixels(row.place.height, dpi));
        control->setFont(FontOf(row.font, font()));
        if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }
    }
    optOutputStyle[0]->setChecked(true);
    form_ = std::make_unique<Form1>(*this, services);
    cmbDrive->setFocus();
}

QtWindow::~QtWindow() = default;

void QtWindow::SetCaption(const std::string& caption) {
    setWindowTitle(FromBytes(caption));
}

void QtWindow::ShowDrives(const DriveListState& drives) {
    cmbDrive->Show(drives);
}

void QtWindow::ShowDirectories(const DirectoryListState& directories) {
    lstDir->Show(directories);
}

void QtWindow::SetDirLabel(const std::string& caption) {
    lblDir->SetCaption(caption);
}

bool QtWindow::StyleSelected(int index) {
    return optOutputStyle[index]->isChecked();
}

void QtWindow::EnableGo(bool enabled) {
    btnGo->setEnabled(enabled);
}

void QtWindow::FocusGo() {
    btnGo->setFocus();
}

void QtWindow::ShowWait(bool shown) {
    prgWait->SetFraction(0);
    lblWait->setVisible(shown);
    prgWait->setVisible(shown);
}

void QtWindow::ShowProgress(std::size_t done, std::size_t total) {
    prgWait->SetFraction(total == 0 ? 0.0 : static_cast<double>(done) / static_cast<double>(total));
}

void QtWindow::Repaint() {
    repaint();
    // Paint and expose events are handled; input is eaten.
    const InputSwallower swallower;
    QCoreApplication::processEvents();
}

void QtWindow::closeEvent(QCloseEvent* event) {
    // A run in progress finishes first; its file must not be cut short.
    if (form_ && form_->running()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace sizewalk
