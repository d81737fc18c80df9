// The Qt face on the offscreen platform: where its controls sit, how they
// look, and that what the user does reaches Form1's handlers.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <memory>

#include "common/globals.h"
#include "common/identity.h"
#include "fakes.h"
#include "window/layout.h"
#include "window/qt/controls.h"
#include "window/qt/window.h"
#include "window/window_fakes.h"

namespace sizewalk {
namespace {

struct Harness {
    testing::FakeVolumes volumes;
    testing::CountingBeeper beeper;
    testing::RecordingUrls urls;
    testing::FakePlatform fakes;
    testing::WatchedEditor editor;
    std::unique_ptr<QtWindow> window;

    Harness() {
        volumes.volumes = {{"/", ""}, {"/vol/a/", "A"}, {"/vol/b/", ""}};
        volumes.cwd = "/vol/a/work";
        volumes.listings = {{"/vol/a/", std::vector<std::string>{"work", "zeta"}},
                            {"/vol/a/zeta", std::vector<std::string>{}},
                            {"/vol/b/", std::vector<std::string>{}}};
        TitleLine = ComposeTitleLine(BuiltInIdentity());
        MessageTitle = ComposeMessageTitle(BuiltInIdentity());
        window = std::make_unique<QtWindow>(WindowServices{
            Platform{fakes.folders, fakes.files, fakes.messages, fakes.clock, editor, fakes.locale},
            volumes, beeper, urls, [](int) {}});
        window->form().Form_Load();
        window->show();
    }
    template <typename T = QWidget>
    T* Get(const char* name) {
        T* control = window->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT(control != nullptr);
        return control;
    }
    std::string Shown() { return Get<PathLabel>("lblDir")->caption(); }
    QPoint At(const char* text) {
        auto* list = Get<DirectoryList>("lstDir");
        const auto found = list->findItems(QString::fromLatin1(text), Qt::MatchRecursive);
        return list->visualItemRect(found.front()).center();
    }
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void controlsSitWhereTheyShouldAtTheirSizes() {
        struct Row {
            const char* name;
            QRect rect;
        };
        const Row rows[] = {
            {"lblHelp", {16, 8, 33, 17}},
            {"lblAbout", {64, 8, 41, 17}},
            {"lblWebSite", {272, 8, 113, 17}},
            {"Label1", {16, 32, 281, 17}},
            {"cmbDrive", {16, 48, 369, 21}},
            {"lstDir", {16, 72, 369, 126}},
            {"lblDir", {16, 200, 369, 33}},
            {"optOutputStyle0", {16, 240, 369, 25}},
            {"optOutputStyle1", {16, 264, 369, 25}},
            {"optOutputStyle2", {16, 288, 369, 25}},
            {"btnGo", {16, 328, 73, 25}},
            {"lblWait", {104, 328, 273, 25}},
            {"prgWait", {104, 350, 273, 3}},
        };
        Harness h;
        QCOMPARE(h.window->size(), QSize(397, 362));
        QCOMPARE(h.window->minimumSize(), h.window->maximumSize());
        QVERIFY(!(h.window->windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(h.window->palette().color(QPalette::Window), QColor(255, 255, 192));
        QCOMPARE(h.window->windowTitle(), FromBytes(TitleLine));
        for (const Row& row : rows) {
            QCOMPARE(h.Get(row.name)->geometry(), row.rect);
        }
        // Every caption at its given size, and whole: nothing is shrunk to fit.
        for (const ControlSpec& spec : Form1Layout()) {
            QWidget* control = h.Get(spec.name);
            const QFont font = control->font();
            if (spec.font.points == 0) {
                QCOMPARE(font, h.window->font());
                continue;
            }
            QCOMPARE(font.pointSizeF(), spec.font.points);
            QCOMPARE(font.bold(), spec.font.bold);
            QCOMPARE(font.italic(), spec.font.italic);
            QCOMPARE(font.underline(), spec.font.underline);
            int chrome = 0;
            const QStyle* look = control->style();
            if (qobject_cast<QRadioButton*>(control) != nullptr) {
                chrome = look->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                         look->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
            } else if (qobject_cast<QPushButton*>(control) != nullptr) {
                chrome = 2 * look->pixelMetric(QStyle::PM_ButtonMargin);
            }
            const QFontMetrics metrics(font);
            const QString caption = FromBytes(CaptionOf(spec));
            QVERIFY2(metrics.horizontalAdvance(caption) + chrome <= control->width(), spec.name);
            QVERIFY2(metrics.height() <= control->height(), spec.name);
        }
        // The wait notice's text ends above the bar.
        QVERIFY(QFontMetrics(h.Get("lblWait")->font()).height() <= h.Get("prgWait")->y() - 328);
        QVERIFY(!h.Get("lblWait")->isVisibleTo(h.window.get()));
    }

    void focusStartsOnTheDriveListAndTabsThroughTheInputs() {
        Harness h;
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QCOMPARE(QApplication::focusWidget(), h.Get("cmbDrive"));
        QStringList chain;
        for (int i = 0; i < 6; ++i) {
            chain << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        // Tab enters the option group at its selected button.
        QCOMPARE(chain, QStringList({"cmbDrive", "lstDir", "optOutputStyle0", "btnGo", "cmbDrive",
                                     "lstDir"}));
        QVERIFY(!h.Get<QPushButton>("btnGo")->isDefault());
    }

    void whatTheUserDoesReachesTheHandlers() {
        Harness h;
        QCOMPARE(h.Shown(), std::string("/vol/a/"));
        auto* list = h.Get<DirectoryList>("lstDir");
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(h.Shown(), std::string("/vol/a/"));  // zeta highlighted, not opened
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(h.Shown(), std::string("/vol/a/zeta"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, h.At("/vol/a/"));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, h.At("/vol/a/"));
        QCOMPARE(h.Shown(), std::string("/vol/a/"));
        QTest::keyClick(h.Get("cmbDrive"), Qt::Key_Down);
        QCOMPARE(h.Shown(), std::string("/vol/b/"));

        h.fakes.folders.folders["/vol/b/"] = {};
        QTest::mouseClick(h.Get("optOutputStyle2"), Qt::LeftButton);
        // A click that reaches the window while the run is on is thrown away.
        QWidget* go = h.Get("btnGo");
        bool posted = false;
        h.editor.on_open = [&posted, go] {
            if (std::exchange(posted, true)) {
                return;
            }
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(
                    go, new QMouseEvent(type, QPointF(5, 5), go->mapToGlobal(QPointF(5, 5)),
                                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            }
        };
        go->setFocus();
        QTest::keyClick(go, Qt::Key_Space);
        QCoreApplication::processEvents();
        QCOMPARE(h.editor.opened, std::vector<std::string>{"/vol/b/Sizewalk.csv"});
        QCOMPARE(h.beeper.beeps, 3);
        QCOMPARE(QApplication::focusWidget(), h.Get("btnGo"));

        for (const char* link : {"lblHelp", "lblAbout", "lblWebSite"}) {
            QTest::mouseClick(h.Get(link), Qt::LeftButton);
        }
        QCOMPARE(h.fakes.messages.shown.size(), std::size_t{2});
        QCOMPARE(h.fakes.messages.shown[0].text, HelpText());
        QCOMPARE(h.fakes.messages.shown[1].title, "About " + BuiltInIdentity().product_name);
        QCOMPARE(h.urls.opened, std::vector<std::string>{BuiltInIdentity().website});
    }
};

}  // namespace sizewalk

QTEST_MAIN(sizewalk::WindowTest)
#include "window_test.moc"
