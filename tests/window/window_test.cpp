// The Qt face on the offscreen platform: where its controls sit, how they
// look, and that what the user does reaches Form1's handlers.
#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include "window/qt/controls.h"
#include "window/qt/window.h"
#include "window/window_fakes.h"

namespace sizewalk {
namespace {

struct Harness : testing::Desk {
    std::unique_ptr<QtWindow> window;

    Harness() {
        window = std::make_unique<QtWindow>(Services(fakes.folders));
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
    void layoutFontsFrameAndFocus() {
        Harness h;
        QCOMPARE(std::tuple(h.window->size(), h.window->maximumSize(),
                            h.window->palette().color(QPalette::Window), h.window->windowTitle(),
                            bool(h.window->windowFlags() &
                                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))),
                 std::tuple(QSize(397, 362), QSize(397, 362), QColor(255, 255, 192),
                            FromBytes(TitleLine), false));
        QCOMPARE(std::size(testing::kPixelLayout), Form1Layout().size());
        for (const testing::PixelRow& row : testing::kPixelLayout) {
            QWidget* control = h.Get(row.name);
            const QRect r = control->geometry();
            const QFont f = control->font();
            const bool blue = control->palette().color(QPalette::WindowText) == QColor(0, 0, 255);
            const double points = row.points == 0 ? h.window->font().pointSizeF() : row.points;
            QCOMPARE(
                std::tuple(r.x(), r.y(), r.width(), r.height(), f.pointSizeF(), f.bold(),
                           f.italic(), f.underline(), blue),
                std::tuple(row.left, row.top, row.width, row.height, points, testing::Has(row, 'b'),
                           testing::Has(row, 'i'), testing::Has(row, 'u'), testing::Has(row, 'B')));
            // Every caption whole at its given size: nothing is shrunk to fit.
            const QStyle* look = control->style();
            int chrome = 0;
            if (qobject_cast<QRadioButton*>(control) != nullptr) {
                chrome = look->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                         look->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
            } else if (qobject_cast<QPushButton*>(control) != nullptr) {
                chrome = 2 * look->pixelMetric(QStyle::PM_ButtonMargin);
            }
            const QString caption = control->property("text").toString();
            const QFontMetrics metrics(f);
            QVERIFY2(metrics.horizontalAdvance(caption) + chrome <= r.width() &&
                         (caption.isEmpty() || metrics.height() <= r.height()),
                     row.name);
        }
        // The wait notice's text ends above the bar.
        QVERIFY(QFontMetrics(h.Get("lblWait")->font()).height() <= h.Get("prgWait")->y() - 328);
        QVERIFY(!h.Get("lblWait")->isVisibleTo(h.window.get()));

        // The focus starts on the drive list; Tab enters the option group at
        // its selected button; Go is no default button.
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QStringList chain;
        for (int i = 0; i < 5; ++i) {
            chain << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(chain,
                 QStringList({"cmbDrive", "lstDir", "optOutputStyle0", "btnGo", "cmbDrive"}));
        QVERIFY(!h.Get<QPushButton>("btnGo")->isDefault());
    }

    void whatTheUserDoesReachesTheHandlers() {
        Harness h;
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

        h.fakes.folders.folders["/vol/b/"] = {{"x", ByteCount{1}}};
        QTest::mouseClick(h.Get("optOutputStyle2"), Qt::LeftButton);
        // A click that reaches the window while the run is on is thrown away.
        QWidget* go = h.Get("btnGo");
        h.desktop.on_edit = [&h, go] {
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                if (h.desktop.edited.size() == 1) {  // only in the first run
                    QCoreApplication::postEvent(
                        go, new QMouseEvent(type, QPointF(5, 5), go->mapToGlobal(QPointF(5, 5)),
                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                }
            }
        };
        go->setFocus();
        QTest::keyClick(go, Qt::Key_Space);
        QCoreApplication::processEvents();
        QCOMPARE(h.desktop.edited, std::vector<std::string>{"/vol/b/Sizewalk.csv"});
        QCOMPARE(QApplication::focusWidget(), go);

        for (const char* link : {"lblHelp", "lblAbout", "lblHistory", "lblWebSite"}) {
            QTest::mouseClick(h.Get(link), Qt::LeftButton);
        }
        QCOMPARE(h.Texts(),
                 (std::vector{HelpText(), AboutText(TitleLine, BuiltInIdentity().contact)}));
        QCOMPARE(h.desktop.opened,
                 (std::vector<std::string>{"/tmp/page0.html", BuiltInIdentity().website}));
    }
};

}  // namespace sizewalk

QTEST_MAIN(sizewalk::WindowTest)
#include "window_test.moc"
