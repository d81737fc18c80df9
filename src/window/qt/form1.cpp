#include "window/qt/form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QThread>
#include <QUrl>
#include <cmath>
#include <exception>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "common/steps.h"
#include "platform/paths.h"
#include "tracking/run_size_track.h"
#include "window/qt/controls.h"

namespace sizewalk {
namespace {

// Hands the run's folder service through, telling how many subdirectories
// the run is about to measure and, on this thread, each one measured: a
// measuring engine may call the run's own progress callback from its
// threads, where the window cannot paint.
class CountingFolders final : public FolderService {
  public:
    using Count = std::function<void(std::size_t)>;
    CountingFolders(FolderService& inner, Count listed, Count measured)
        : inner_(inner), listed_(std::move(listed)), measured_(std::move(measured)) {}

    Outcome<std::unique_ptr<FolderListing>> GetFolder(const std::string& path,
                                                      ProgressCallback progress) override {
        Outcome<std::unique_ptr<FolderListing>> listing =
            inner_.GetFolder(path, std::move(progress));
        if (!listing.ok()) {
            return listing;
        }
        listed_(listing.value()->SubFolders().size());
        return std::unique_ptr<FolderListing>(
            std::make_unique<Counted>(std::move(listing.value()), measured_));
    }

  private:
    class Counted final : public FolderListing {
      public:
        Counted(std::unique_ptr<FolderListing> inner, Count measured)
            : inner_(std::move(inner)), measured_(std::move(measured)) {}
        const std::vector<std::string>& SubFolders() const override { return inner_->SubFolders(); }
        Outcome<ByteCount> Size(std::size_t index) override {
            Outcome<ByteCount> size = inner_->Size(index);
            measured_(index + 1);
            return size;
        }

      private:
        std::unique_ptr<FolderListing> inner_;
        Count measured_;
    };

    FolderService& inner_;
    Count listed_;
    Count measured_;
};

QFont FontOf(const QFont& base, double points, bool bold, bool italic, bool underline) {
    QFont font = base;
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

// The font at its size where `text` fits `room` pixels, else as much smaller
// as it takes: the default sans-serif of a desktop is often wider than the
// one these sizes were chosen for.
QFont Fitted(QFont font, const QString& text, int room) {
    while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > 4.0) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    return font;
}

// The room a caption has inside a control of its kind.
int CaptionRoom(const QWidget* control) {
    const QStyle* style = control->style();
    if (qobject_cast<const QRadioButton*>(control) != nullptr) {
        return control->width() - style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) -
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    }
    if (qobject_cast<const QPushButton*>(control) != nullptr) {
        return control->width() - 2 * style->pixelMetric(QStyle::PM_ButtonMargin) -
               2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    }
    return control->contentsRect().width();
}

void SetFittedFont(QWidget* control, const QFont& font, const QString& caption) {
    control->setFont(Fitted(font, caption, CaptionRoom(control)));
}

QString WaitText(std::size_t done, std::size_t total) {
    return QString::fromLatin1(kWaitText) + QStringLiteral(" %1 of %2")
                                                .arg(static_cast<qulonglong>(done))
                                                .arg(static_cast<qulonglong>(total));
}

}  // namespace

int TwipsToPixels(int twips, double logical_dpi) {
    return static_cast<int>(std::lround(twips * logical_dpi / 1440.0));
}

Form1::Form1(const WindowServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      services_(services) {
    setObjectName(QStringLiteral("Form1"));
    const double dpi = logicalDpiX();
    const auto place = [dpi](QWidget* control, const QString& name, int left, int top, int width,
                             int height) {
        control->setObjectName(name);
        control->setGeometry(TwipsToPixels(left, dpi), TwipsToPixels(top, dpi),
                             TwipsToPixels(width, dpi), TwipsToPixels(height, dpi));
    };
    setFixedSize(TwipsToPixels(5955, dpi), TwipsToPixels(5430, dpi));
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(255, 255, 192));
    setPalette(background);
    setAutoFillBackground(true);

    const QFont base = font();
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    const QFont link_font = FontOf(base, 8.25, false, false, true);
    const QFont bold_font = FontOf(base, 8.25, true, false, false);
    const auto link = [&](const QString& text, const QString& name, int left, int width) {
        auto* label = new LinkLabel(text, this);
        place(label, name, left, 120, width, 255);
        label->setPalette(blue);
        SetFittedFont(label, link_font, text);
        return label;
    };
    lblHelp = link(QStringLiteral("Help"), QStringLiteral("lblHelp"), 240, 495);
    lblAbout = link(QStringLiteral("About"), QStringLiteral("lblAbout"), 960, 615);
    lblWebSite =
        link(QStringLiteral("Web: ") + QUrl(QString::fromUtf8(BuiltInIdentity().website)).host(),
             QStringLiteral("lblWebSite"), 4080, 1695);

    Label1 = new QLabel(QStringLiteral("Create size tracking file for directory:"), this);
    place(Label1, QStringLiteral("Label1"), 240, 480, 4215, 255);
    SetFittedFont(Label1, bold_font, Label1->text());

    // The drive and the directory of the current directory, as at creation.
    const Outcome<std::string> cwd = services_.volumes.CurrentDirectory();
    const std::string start = cwd.ok() ? cwd.value() : std::string(1, kPathSeparator);
    cmbDrive = new DriveList(services_.volumes, this);
    place(cmbDrive, QStringLiteral("cmbDrive"), 240, 720, 5535, 315);
    cmbDrive->SetCurrentRoot(VolumeRootOf(cmbDrive->volumes(), start));
    lstDir = new DirectoryList(services_.volumes, this);
    place(lstDir, QStringLiteral("lstDir"), 240, 1080, 5535, 1890);
    lstDir->SetInitialPath(start, cmbDrive->CurrentRoot());
    lblDir = new PathLabel(this);
    place(lblDir, QStringLiteral("lblDir"), 240, 3000, 5535, 495);

    const char* captions[] = {"Append data to the existing file (create file if doesn't exist)",
                              "Write data to a new file (overwrite old one)",
                              "Append data to a DataBase-like Excel *.csv file"};
    for (int i = 0; i < 3; ++i) {
        auto* option = new QRadioButton(QString::fromLatin1(captions[i]), this);
        place(option, QStringLiteral("optOutputStyle%1").arg(i), 240, 3600 + 360 * i, 5535, 375);
        SetFittedFont(option, bold_font, option->text());
        optOutputStyle[static_cast<std::size_t>(i)] = option;
    }
    optOutputStyle[0]->setChecked(true);

    btnGo = new QPushButton(QStringLiteral("Go"), this);
    place(btnGo, QStringLiteral("btnGo"), 240, 4920, 1095, 375);
    SetFittedFont(btnGo, FontOf(base, 13.5, false, false, false), btnGo->text());
    // Enter presses Go only while it has the focus; it is no default button.
    btnGo->setAutoDefault(true);

    lblWait = new QLabel(QString::fromLatin1(kWaitText), this);
    place(lblWait, QStringLiteral("lblWait"), 1560, 4920, 4095, 375);
    lblWait->setPalette(blue);
    wait_font_ = FontOf(base, 13.5, true, true, false);
    SetFittedFont(lblWait, wait_font_, lblWait->text());
    lblWait->hide();

    for (QLabel* label : {static_cast<QLabel*>(lblHelp), static_cast<QLabel*>(lblAbout),
                          static_cast<QLabel*>(lblWebSite), Label1, lblWait}) {
        label->setTextFormat(Qt::PlainText);
    }
    setTabOrder(cmbDrive, lstDir);
    setTabOrder(lstDir, optOutputStyle[0]);
    setTabOrder(optOutputStyle[0], optOutputStyle[1]);
    setTabOrder(optOutputStyle[1], optOutputStyle[2]);
    setTabOrder(optOutputStyle[2], btnGo);
    cmbDrive->setFocus();

    connect(cmbDrive, &QComboBox::currentIndexChanged, this, &Form1::cmbDrive_Change);
    connect(lstDir, &DirectoryList::pathChanged, this, &Form1::lstDir_Change);
    connect(lstDir, &DirectoryList::openRequested, this, [this](const QByteArray& path) {
        OpenEntry(std::string(path.constData(), static_cast<std::size_t>(path.size())));
    });
    connect(btnGo, &QPushButton::clicked, this, &Form1::btnGo_Click);
    connect(lblWebSite, &LinkLabel::clicked, this, &Form1::lblWebSite_Click);
    connect(lblAbout, &LinkLabel::clicked, this, &Form1::lblAbout_Click);
    connect(lblHelp, &LinkLabel::clicked, this, &Form1::lblHelp_Click);
}

void Form1::Form_Load() {
    const Status failure = Attempt([&] {
        setWindowTitle(FromBytes(TitleLine));
        Check(lstDir->SetPath(cmbDrive->CurrentRoot()));
        lblDir->SetCaption(lstDir->path());
    });
    if (failure) {
        ShowErrorReport(services_.platform.messages, *failure, 'G');
    }
}

void Form1::cmbDrive_Change() {
    const Status failure = Attempt([&] {
        Check(lstDir->SetPath(cmbDrive->CurrentRoot()));
        lblDir->SetCaption(lstDir->path());
    });
    if (!failure) {
        return;
    }
    if (failure->number != errnum::kDeviceUnavailable) {
        ShowErrorReport(services_.platform.messages, *failure, 'E');
        return;
    }
    services_.platform.messages.Show(failure->description, MessageIcon::kWarning, MessageTitle);
    // Back to the volume of the directory shown before: a change, so this
    // handler runs again, nested, on that volume.
    cmbDrive->SetCurrentRoot(VolumeRootOf(cmbDrive->volumes(), lblDir->caption()));
}

void Form1::lstDir_Change() {
    const Status failure = Attempt([&] { lblDir->SetCaption(lstDir->path()); });
    if (failure) {
        ShowErrorReport(services_.platform.messages, *failure, 'F');
    }
}

void Form1::OpenEntry(const std::string& path) {
    const Status failure = Attempt([&] { Check(lstDir->SetPath(path)); });
    if (failure) {
        ShowErrorReport(services_.platform.messages, *failure, 'F');
    }
}

void Form1::btnGo_Click() {
    bool fatal = false;
    const Status failure = Attempt([&] {
        for (std::size_t i = 0; i < optOutputStyle.size(); ++i) {
            if (optOutputStyle[i]->isChecked()) {
                OutputStyle = static_cast<std::int16_t>(i + 1);
            }
        }
        TargetDir = lstDir->path();
        if (TargetDir.empty() || TargetDir.back() != kPathSeparator) {
            TargetDir += kPathSeparator;
        }
        lblWait->setText(QString::fromLatin1(kWaitText));
        lblWait->show();
        btnGo->setEnabled(false);
        repaint();

        const auto listed = [this](std::size_t total) {
            run_total_ = total;
            // One size for the whole run, so the notice does not jump.
            SetFittedFont(lblWait, wait_font_, WaitText(total, total));
            shown_done_ = kNothingShown;
            ShowProgress(0);
        };
        const auto measured = [this](std::size_t done) { ShowProgress(done); };
        CountingFolders folders(services_.platform.folders, listed, measured);
        const Platform& system = services_.platform;
        const Platform platform{folders,      system.files,  system.messages,
                                system.clock, system.editor, system.locale};
        running_ = true;
        const RunOutcome outcome = RunSizeTrack(platform, [this](const ScanProgress& progress) {
            ShowProgress(progress.entries_done);
        });
        running_ = false;
        if (outcome == RunOutcome::kFatal) {
            fatal = true;
            return;
        }
        lblWait->hide();
        btnGo->setEnabled(true);
        repaint();
        for (int beep = 1; beep <= 3; ++beep) {
            services_.beeper.Beep();
        }
    });
    running_ = false;
    if (fatal) {
        // The run has reported it; the program ends as it stands.
        services_.end_program(kExitFatal);
    } else if (failure) {
        ShowErrorReport(services_.platform.messages, *failure, 'D');
    }
}

void Form1::ShowProgress(std::size_t done) {
    // Only this thread paints. Only forward: an engine that measures ahead
    // may report more than the entries written so far, and then fewer.
    if (QThread::currentThread() != thread() ||
        (shown_done_ != kNothingShown && done <= shown_done_)) {
        return;
    }
    shown_done_ = done;
    lblWait->setText(WaitText(done, run_total_));
    lblWait->repaint();
    // Expose and paint events only: clicks wait until the run is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Form1::lblWebSite_Click() {
    const Status failure =
        Attempt([&] { Check(services_.urls.OpenUrl(BuiltInIdentity().website)); });
    if (failure) {
        ShowErrorReport(services_.platform.messages, *failure, 'F');
    }
}

void Form1::lblAbout_Click() {
    const Status failure = Attempt([&] {
        const Identity& identity = BuiltInIdentity();
        services_.platform.messages.Show(AboutText(TitleLine, identity.contact),
                                         MessageIcon::kInformation,
                                         "About " + identity.product_name);
    });
    if (failure) {
        ShowErrorReport(services_.platform.messages, *failure, 'H');
    }
}

void Form1::lblHelp_Click() {
    const Status failure = Attempt(
        [&] { services_.platform.messages.Show(HelpText(), MessageIcon::kNone, MessageTitle); });
    if (failure) {
        ShowErrorReport(services_.platform.messages, *failure, 'I');
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // A run in progress finishes first; its file must not be cut short.
    if (running_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace sizewalk
