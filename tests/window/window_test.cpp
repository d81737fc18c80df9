// The window driven as a user drives it, on the offscreen platform, with
// volumes, opener, beep and message boxes replaced.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <filesystem>
#include <map>
#include <memory>

#include "common/globals.h"
#include "common/identity.h"
#include "fakes.h"
#include "platform/posix/file_service.h"
#include "platform/posix/folder_service.h"
#include "platform/posix/volumes.h"
#include "temp_dir.h"
#include "window/qt/controls.h"
#include "window/qt/form1.h"

namespace sizewalk {
namespace {

using testing::ShownMessage;

// Volumes and listings as a test sets them; other paths are read for real.
class FakeVolumes final : public VolumeService {
  public:
    std::vector<Volume> volumes;
    std::string cwd;
    std::map<std::string, Outcome<std::vector<std::string>>> listings;

    void Set(const std::string& path, Outcome<std::vector<std::string>> listing) {
        listings.insert_or_assign(path, std::move(listing));
    }

    std::vector<Volume> Volumes() override { return volumes; }
    Outcome<std::string> CurrentDirectory() override { return cwd; }
    Outcome<std::vector<std::string>> Subdirectories(const std::string& path) override {
        const auto it = listings.find(path);
        return it != listings.end() ? it->second : real_.Subdirectories(path);
    }

  private:
    PosixVolumeService real_;
};

class CountingBeeper final : public Beeper {
  public:
    int beeps = 0;
    void Beep() override { ++beeps; }
};

class RecordingUrls final : public UrlOpener {
  public:
    std::vector<std::string> opened;
    Status failure;
    Status OpenUrl(const std::string& url) override {
        opened.push_back(url);
        return failure;
    }
};

// Whether this process holds `path` open.
bool HeldOpen(const std::string& path) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        if (std::filesystem::read_symlink(fd.path(), error) == std::filesystem::path(path)) {
            return true;
        }
    }
    return false;
}

// The editor, noting what the window and the file look like when it starts.
class WatchingEditor final : public TextEditor {
  public:
    struct Call {
        std::string path;
        bool file_held_open;
        bool notice_visible;
        QString notice;
        bool go_enabled;
    };
    std::vector<Call> calls;
    Status failure;
    QWidget* form = nullptr;

    Status Open(const std::string& path) override {
        auto* notice = form->findChild<QLabel*>(QStringLiteral("lblWait"));
        calls.push_back({path, HeldOpen(path), notice->isVisible(), notice->text(),
                         form->findChild<QPushButton*>(QStringLiteral("btnGo"))->isEnabled()});
        return failure;
    }
};

struct Harness {
    FakeVolumes volumes;
    CountingBeeper beeper;
    RecordingUrls urls;
    PosixFolderService folders;
    PosixFileService files;
    testing::RecordingMessageBox messages;
    testing::FixedClock clock;
    WatchingEditor editor;
    std::vector<int> ended;
    std::unique_ptr<Form1> form;

    Harness() {
        volumes.volumes = {{"/", "/dev/root"}, {"/vol/a/", "A"}, {"/vol/b/", "B"}};
        volumes.cwd = "/vol/a/work/deep";
        volumes.Set("/vol/a/work/deep", std::vector<std::string>{});
        volumes.Set("/vol/a/", std::vector<std::string>{"work", "zeta"});
        volumes.Set("/vol/a/work", std::vector<std::string>{"deep"});
        volumes.Set("/vol/a/zeta", std::vector<std::string>{});
        volumes.Set("/vol/b/", std::vector<std::string>{"data"});
    }
    // A volume of real directories, the current one below it.
    Harness(const testing::TempDir& volume, const std::string& cwd) {
        volumes.volumes = {{"/", ""}, {volume.path(), "tmp"}};
        volumes.cwd = volume.path() + cwd;
    }

    Form1& Open() {
        const Platform platform{folders, files, messages, clock, editor, LocaleSeparators{}};
        form = std::make_unique<Form1>(
            WindowServices{platform, volumes, beeper, urls, [this](int s) { ended.push_back(s); }});
        editor.form = form.get();
        form->Form_Load();
        form->show();
        return *form;
    }
    template <typename T>
    T* Get(const QString& name) {
        T* control = form->findChild<T*>(name);
        Q_ASSERT(control != nullptr);
        return control;
    }
    DriveList* drives() { return Get<DriveList>(QStringLiteral("cmbDrive")); }
    DirectoryList* dirs() { return Get<DirectoryList>(QStringLiteral("lstDir")); }
    std::string Shown() { return Get<PathLabel>(QStringLiteral("lblDir"))->caption(); }

    QTreeWidgetItem* Entry(const QString& text) {
        const auto found = dirs()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        Q_ASSERT(found.size() == 1);
        return found.front();
    }
    void DoubleClick(const QString& text) {
        const QPoint at = dirs()->visualItemRect(Entry(text)).center();
        QTest::mouseClick(dirs()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dirs()->viewport(), Qt::LeftButton, {}, at);
    }
};

Outcome<std::vector<std::string>> Failing(std::int32_t number, const std::string& path) {
    return MakeError(number, path);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        TitleLine = ComposeTitleLine(BuiltInIdentity());
        MessageTitle = ComposeMessageTitle(BuiltInIdentity());
        CommandText.clear();
    }

    void opensAtTheRootOfTheCurrentVolume() {
        Harness h;
        Form1& form = h.Open();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.windowTitle(), FromBytes(TitleLine));
        QCOMPARE(h.drives()->CurrentRoot(), std::string("/vol/a/"));
        QCOMPARE(h.dirs()->path(), std::string("/vol/a/"));
        QCOMPARE(h.Shown(), std::string("/vol/a/"));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(h.Get<QRadioButton>(QStringLiteral("optOutputStyle%1").arg(i))->isChecked(),
                     i == 0);
        }
        QVERIFY(!h.Get<QLabel>(QStringLiteral("lblWait"))->isVisible());
        QVERIFY(h.Get<QPushButton>(QStringLiteral("btnGo"))->isEnabled());
        QVERIFY(!h.Get<QPushButton>(QStringLiteral("btnGo"))->isDefault());
        QVERIFY(h.messages.shown.empty());

        QCOMPARE(form.size(), QSize(397, 362));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(
            !(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 255, 192));

        QCOMPARE(QApplication::focusWidget(), h.drives());
        const QStringList expected = {"cmbDrive",        "lstDir",          "optOutputStyle0",
                                      "optOutputStyle1", "optOutputStyle2", "btnGo"};
        QStringList chain;
        QWidget* w = h.drives();
        do {
            if (expected.contains(w->objectName()) && !chain.contains(w->objectName())) {
                chain << w->objectName();
            }
            w = w->nextInFocusChain();
        } while (w != h.drives());
        QCOMPARE(chain, expected);
        for (QLabel* label : form.findChildren<QLabel*>()) {
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        }
    }

    void aVolumeNotReadyAtLoadLeavesTheListAtTheStart() {
        Harness h;
        h.volumes.Set("/vol/a/", Failing(errnum::kDeviceUnavailable, "/vol/a/"));
        h.Open();
        QCOMPARE(h.messages.shown.size(), std::size_t{1});
        QVERIFY(h.messages.shown[0].text.ends_with("(Message G68)"));
        QCOMPARE(h.dirs()->path(), std::string("/vol/a/work/deep"));
        QCOMPARE(h.Shown(), std::string());
    }

    void controlsSitWhereTheyShouldAndTheirCaptionsFit() {
        struct Row {
            const char* name;
            QRect rect;
            double points;      // 0: the window's default font
            const char* style;  // b bold, i italic, u underlined
        };
        const Row rows[] = {
            {"lblHelp", {16, 8, 33, 17}, 8.25, "u"},
            {"lblAbout", {64, 8, 41, 17}, 8.25, "u"},
            {"lblWebSite", {272, 8, 113, 17}, 8.25, "u"},
            {"Label1", {16, 32, 281, 17}, 8.25, "b"},
            {"cmbDrive", {16, 48, 369, 21}, 0, ""},
            {"lstDir", {16, 72, 369, 126}, 0, ""},
            {"lblDir", {16, 200, 369, 33}, 0, ""},
            {"optOutputStyle0", {16, 240, 369, 25}, 8.25, "b"},
            {"optOutputStyle1", {16, 264, 369, 25}, 8.25, "b"},
            {"optOutputStyle2", {16, 288, 369, 25}, 8.25, "b"},
            {"btnGo", {16, 328, 73, 25}, 13.5, ""},
            {"lblWait", {104, 328, 273, 25}, 13.5, "bi"},
        };
        Harness h;
        h.Open();
        for (const Row& row : rows) {
            QWidget* control = h.Get<QWidget>(QString::fromLatin1(row.name));
            QCOMPARE(control->geometry(), row.rect);
            const QFont font = control->font();
            if (row.points == 0) {
                QCOMPARE(font, QApplication::font());
                continue;
            }
            // Smaller only where the caption would not fit at the given size.
            QVERIFY2(font.pointSizeF() <= row.points && font.pointSizeF() >= row.points * 0.6,
                     row.name);
            const std::string style = row.style;
            QCOMPARE(font.bold(), style.find('b') != std::string::npos);
            QCOMPARE(font.italic(), style.find('i') != std::string::npos);
            QCOMPARE(font.underline(), style.find('u') != std::string::npos);

            QString caption = control->property("text").toString();
            int chrome = 0;
            const QStyle* look = control->style();
            if (qobject_cast<QRadioButton*>(control) != nullptr) {
                chrome = look->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                         look->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
            } else if (qobject_cast<QPushButton*>(control) != nullptr) {
                chrome = 2 * look->pixelMetric(QStyle::PM_ButtonMargin);
            }
            const QFontMetrics metrics(font);
            QVERIFY2(metrics.horizontalAdvance(caption) + chrome <= row.rect.width(), row.name);
            QVERIFY2(metrics.height() <= row.rect.height(), row.name);
        }
    }

    void changingTheVolume_data() {
        QTest::addColumn<int>("b_error");  // 0: /vol/b/ is ready
        QTest::addColumn<bool>("a_fails_too");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("shown");  // both the directory list and lblDir
        const int not_ready = errnum::kDeviceUnavailable;
        const QString described = "Device unavailable: /vol/b/";
        QTest::newRow("ready") << 0 << false << QStringList{} << "/vol/b/"
                               << "/vol/b/";
        QTest::newRow("not ready: back to the previous volume's root")
            << not_ready << false << QStringList{described} << "/vol/a/"
            << "/vol/a/";
        QTest::newRow("previous volume not ready either: the recovery stops")
            << not_ready << true << QStringList{described, "Device unavailable: /vol/a/"}
            << "/vol/a/"
            << "/vol/a/work";
        QTest::newRow("another failure: reported, nothing undone")
            << errnum::kPermissionDenied << false
            << QStringList{"Permission denied: /vol/b/\r\n\r\n(Message E70)"} << "/vol/b/"
            << "/vol/a/work";
    }
    void changingTheVolume() {
        QFETCH(int, b_error);
        QFETCH(bool, a_fails_too);
        QFETCH(QStringList, messages);
        QFETCH(QString, drive);
        QFETCH(QString, shown);
        Harness h;
        h.Open();
        h.DoubleClick(QStringLiteral("work"));
        QCOMPARE(h.Shown(), std::string("/vol/a/work"));
        if (b_error != 0) {
            h.volumes.Set("/vol/b/", Failing(b_error, "/vol/b/"));
        }
        if (a_fails_too) {
            h.volumes.Set("/vol/a/", Failing(errnum::kDeviceUnavailable, "/vol/a/"));
        }
        QTest::keyClick(h.drives(), Qt::Key_Down);  // the user picks /vol/b/

        QStringList texts;
        for (const ShownMessage& m : h.messages.shown) {
            texts << FromBytes(m.text);
            QCOMPARE(m.icon, MessageIcon::kWarning);
            QCOMPARE(m.title, MessageTitle);
        }
        QCOMPARE(texts, messages);
        QCOMPARE(FromBytes(h.drives()->CurrentRoot()), drive);
        QCOMPARE(FromBytes(h.dirs()->path()), shown);
        QCOMPARE(FromBytes(h.Shown()), shown);
    }

    void highlightingDoesNotOpenButDoubleClickAndEnterDo() {
        Harness h;
        h.Open();
        DirectoryList* dirs = h.dirs();
        QTest::mouseClick(dirs->viewport(), Qt::LeftButton, {},
                          dirs->visualItemRect(h.Entry(QStringLiteral("zeta"))).center());
        QCOMPARE(dirs->currentItem()->text(0), QStringLiteral("zeta"));
        QCOMPARE(dirs->path(), std::string("/vol/a/"));
        QCOMPARE(h.Shown(), std::string("/vol/a/"));

        QTest::keyClick(dirs, Qt::Key_Return);
        QCOMPARE(dirs->path(), std::string("/vol/a/zeta"));
        QCOMPARE(h.Shown(), std::string("/vol/a/zeta"));

        h.DoubleClick(QStringLiteral("/vol/a/"));
        QCOMPARE(h.Shown(), std::string("/vol/a/"));
        h.DoubleClick(QStringLiteral("work"));
        h.DoubleClick(QStringLiteral("deep"));
        QCOMPARE(h.Shown(), std::string("/vol/a/work/deep"));
        // The parents down from the volume's root, each one level deeper.
        QCOMPARE(dirs->topLevelItem(0)->text(0), QStringLiteral("/vol/a/"));
        QCOMPARE(h.Entry(QStringLiteral("deep"))->parent(), h.Entry(QStringLiteral("work")));

        h.volumes.Set("/vol/a/work", Failing(errnum::kPermissionDenied, "/vol/a/work"));
        h.DoubleClick(QStringLiteral("work"));
        QCOMPARE(h.messages.shown.size(), std::size_t{1});
        QVERIFY(h.messages.shown[0].text.ends_with("(Message F70)"));
        QCOMPARE(h.Shown(), std::string("/vol/a/work/deep"));
        QCOMPARE(dirs->path(), std::string("/vol/a/work/deep"));
    }

    void goWritesTheChosenStyle_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("row");
        QTest::newRow("append text") << 0 << "Sizewalk.txt"
                                     << "1,000           one";
        QTest::newRow("day's text") << 1 << "Sizewalk_20031005.txt"
                                    << "2,345           two";
        QTest::newRow("csv rows") << 2 << "Sizewalk.csv"
                                  << "05/10/2003,1000,one";
    }
    void goWritesTheChosenStyle() {
        QFETCH(int, option);
        QFETCH(QString, file);
        QFETCH(QString, row);
        testing::TempDir tmp;
        tmp.File("data/one/f", 1000);
        tmp.File("data/two/f", 2345);
        Harness h(tmp, "data/one");
        h.Open();
        h.DoubleClick(QStringLiteral("data"));
        QTest::mouseClick(h.Get<QRadioButton>(QStringLiteral("optOutputStyle%1").arg(option)),
                          Qt::LeftButton);
        QTest::mouseClick(h.Get<QPushButton>(QStringLiteral("btnGo")), Qt::LeftButton);

        const std::string path = tmp.path() + "data/" + file.toStdString();
        QCOMPARE(OutputStyle, option + 1);
        QCOMPARE(TargetDir, tmp.path() + "data/");
        QVERIFY2(testing::ReadFile(path).find(row.toStdString() + "\r\n") != std::string::npos,
                 testing::ReadFile(path).c_str());
        QCOMPARE(h.editor.calls.size(), std::size_t{1});
        const WatchingEditor::Call& call = h.editor.calls[0];
        QCOMPARE(call.path, path);
        QVERIFY(!call.file_held_open);
        QVERIFY(call.notice_visible);
        QVERIFY(!call.go_enabled);
        QCOMPARE(call.notice, QStringLiteral("Wait please! Processing... 2 of 2"));
        auto* notice = h.Get<QLabel>(QStringLiteral("lblWait"));
        QVERIFY(QFontMetrics(notice->font()).horizontalAdvance(call.notice) <= notice->width());

        QCOMPARE(h.beeper.beeps, 3);
        QVERIFY(!notice->isVisible());
        QVERIFY(h.Get<QPushButton>(QStringLiteral("btnGo"))->isEnabled());
        QVERIFY(h.messages.shown.empty());
        QVERIFY(h.ended.empty());
    }

    void goAfterAFatalFailureEndsTheProgramWithoutBeeps() {
        testing::TempDir tmp;
        tmp.File("one/f", 1);
        Harness h(tmp, "");
        h.editor.failure = MakeError(errnum::kPathNotFound, "xdg-open");
        h.Open();
        QTest::mouseClick(h.Get<QPushButton>(QStringLiteral("btnGo")), Qt::LeftButton);

        QCOMPARE(TargetDir, tmp.path());
        QCOMPARE(h.messages.shown.size(), std::size_t{1});
        QVERIFY(h.messages.shown[0].text.ends_with("(Message B76)"));
        QCOMPARE(h.ended, std::vector<int>{1});
        QCOMPARE(h.beeper.beeps, 0);
        QVERIFY(h.Get<QLabel>(QStringLiteral("lblWait"))->isVisible());
        QVERIFY(!h.Get<QPushButton>(QStringLiteral("btnGo"))->isEnabled());
    }

    void aboutHelpAndTheWebSite() {
        Harness h;
        h.Open();
        const Identity& identity = BuiltInIdentity();
        QTest::mouseClick(h.Get<QLabel>(QStringLiteral("lblAbout")), Qt::LeftButton);
        QTest::mouseClick(h.Get<QLabel>(QStringLiteral("lblHelp")), Qt::LeftButton);
        QCOMPARE(h.messages.shown.size(), std::size_t{2});
        QCOMPARE(h.messages.shown[0].text,
                 TitleLine +
                     "\r\nEdition: 'Linux'\r\n\r\nFreeware.\r\nSizewalk is provided as "
                     "is, without warranty of any kind.\r\n\r\nFeel free to contact us by " +
                     identity.contact);
        QCOMPARE(h.messages.shown[0].icon, MessageIcon::kInformation);
        QCOMPARE(h.messages.shown[0].title, "About " + identity.product_name);
        QCOMPARE(h.messages.shown[1].text, HelpText());
        QCOMPARE(h.messages.shown[1].icon, MessageIcon::kNone);
        QCOMPARE(h.messages.shown[1].title, MessageTitle);

        auto* web = h.Get<QLabel>(QStringLiteral("lblWebSite"));
        QVERIFY(web->text().startsWith(QStringLiteral("Web: ")));
        QVERIFY(identity.website.find(web->text().mid(5).toStdString()) != std::string::npos);
        QTest::mouseClick(web, Qt::LeftButton);
        h.urls.failure = MakeError(errnum::kPathFileAccess, "xdg-open");
        QTest::mouseClick(web, Qt::LeftButton);
        QCOMPARE(h.urls.opened, (std::vector<std::string>{identity.website, identity.website}));
        QCOMPARE(h.messages.shown.size(), std::size_t{3});
        QVERIFY(h.messages.shown[2].text.ends_with("(Message F75)"));
    }
};

}  // namespace sizewalk

QTEST_MAIN(sizewalk::WindowTest)
#include "window_test.moc"
