// The shell on a private 1920 x 1040 X display: first without a notification area, then with
// one (trayer). The built program is started as a user starts it and watched from outside.
#include "common/floatingwidget.h"
#include "common/loginregistration.h"
#include "common/traymanager.h"
#include "common/windowsizing.h"
#include "maindashboard.h"

#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {
const QRect gridGeometry(575, 279, 768, 480);
const QRect pageGeometry(191, 103, 1536, 832);

// Runs an X tool with a deadline; its output.
QString run(const QStringList &command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The program's visible main window, its X id and geometry; none when it shows none. (The tray
// icon's window has the same name, and the size of an icon.)
std::pair<QString, QRect> mainWindow(const QProcess &program)
{
    const QStringList ids = run({ "xdotool", "search", "--all", "--onlyvisible", "--pid",
                                    QString::number(program.processId()), "--name", "^mirvale$" })
                                .split('\n', Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        const QString out = run({ "xwininfo", "-id", id });
        const auto number = [&out](const char *label) {
            return QRegularExpression(QString("%1:\\s*(-?\\d+)").arg(label))
                .match(out)
                .captured(1)
                .toInt();
        };
        const QRect geometry(number("Absolute upper-left X"), number("Absolute upper-left Y"),
            number("Width"), number("Height"));
        if (geometry.width() >= 640) {
            return { id, geometry };
        }
    }
    return {};
}

QRect windowOf(const QProcess &program) { return mainWindow(program).second; }
QString windowId(const QProcess &program) { return mainWindow(program).first; }

void start(QProcess &program, const QTemporaryDir &home, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    program.setProcessEnvironment(env);
    program.start(qEnvironmentVariable("MIRVALE_EXECUTABLE"), arguments);
    QVERIFY2(program.waitForStarted(), "MIRVALE_EXECUTABLE must name the built program");
}

bool registered(const QTemporaryDir &home)
{
    return QFile::exists(home.filePath(".config/autostart/mirvale.desktop"))
        && QSettings(home.filePath(".config/mirvale/mirvale.conf"), QSettings::IniFormat)
               .value("startup/defaultApplied")
               .toBool();
}

// Through the window system, so Qt picks the widget under the pointer as with a real mouse.
void pointer(QTest::MouseAction action, QWindow *window, Qt::MouseButton button, const QPoint &at)
{
    QTest::mouseEvent(action, window, button, {}, window->mapFromGlobal(at));
}
} // namespace

class tst_Shell : public QObject
{
    Q_OBJECT

private slots:
    void sizesAndCentres_data();
    void sizesAndCentres();
    void cardsOpenPagesAndBackReturns();
    void resizesOnlyOnPageChangeAndFirstShow();
    void floatingCardClosesPinsAndDrags();
    void programWithoutTray();
    void programWithTray();

private:
    QTemporaryDir m_autostart;
};

void tst_Shell::sizesAndCentres_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("expected");
    QTest::addRow("grid raised to 480 high") << QRect(0, 0, 1920, 1040) << 0 << gridGeometry;
    QTest::addRow("tool page") << QRect(0, 0, 1920, 1040) << 6 << pageGeometry;
    QTest::addRow("grid at the minimum") << QRect(0, 0, 1366, 728) << 0 << QRect(362, 123, 640, 480);
    QTest::addRow("tool page rounded") << QRect(0, 0, 1366, 728) << 3 << QRect(136, 72, 1093, 582);
    QTest::addRow("second screen") << QRect(1920, 40, 2560, 1400) << 0 << QRect(2687, 459, 1024, 560);
    // Smaller than the minimum: the corner stays inside the area, on the axis that does not fit.
    QTest::addRow("tiny area") << QRect(0, 0, 600, 400) << 1 << QRect(0, 0, 640, 480);
    QTest::addRow("narrow tall area") << QRect(10, 20, 600, 1000) << 1 << QRect(10, 119, 640, 800);
}

void tst_Shell::sizesAndCentres()
{
    QFETCH(QRect, available);
    QFETCH(int, page);
    QFETCH(QRect, expected);
    QCOMPARE(windowGeometryForPage(available, page), expected);
}

void tst_Shell::cardsOpenPagesAndBackReturns()
{
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    auto *stack = dashboard.findChild<QStackedWidget *>();
    const QList<QPushButton *> cards = dashboard.findChildren<QPushButton *>("ToolCard");
    QStringList seen;
    for (int i = 0; i < cards.size(); ++i) {
        // A click on the card's label counts as a click on the card.
        QTest::mouseClick(cards.at(i)->findChild<QLabel *>("ToolLabel"), Qt::LeftButton);
        QCOMPARE(dashboard.geometry(), pageGeometry);
        QWidget *page = stack->currentWidget();
        seen << QString("%1 %2 %3").arg(stack->currentIndex()).arg(page->objectName(),
                    cards.at(i)->findChild<QLabel *>("ToolIconBadge")->property("accentRole").toString());
        auto *back = page->findChild<QPushButton *>("BackButton");
        QCOMPARE(back->text() + QString::number(back->width()), "< Back70");
        back->click();
        QCOMPARE(stack->currentIndex(), 0);
        QCOMPARE(dashboard.geometry(), gridGeometry);
    }
    QCOMPARE(seen, QStringList({ "1 QRGeneratorPage accent", "2 TextToolsPage pro",
                       "3 ImageResizerPage success", "4 ClockSuitePage warning",
                       "5 DaysCounterPage danger", "6 PdfToolsPage accent" }));
    // Ids no card uses do nothing.
    QSignalSpy changes(stack, &QStackedWidget::currentChanged);
    for (const char *id : { "QR", "", "calculator", " qr" }) {
        QVERIFY(QMetaObject::invokeMethod(&dashboard, "openTool", Q_ARG(QString, QString(id))));
    }
    QCOMPARE(changes.size(), 0);
}

void tst_Shell::resizesOnlyOnPageChangeAndFirstShow()
{
    MainDashboard dashboard;
    auto *stack = dashboard.findChild<QStackedWidget *>();
    dashboard.resize(300, 200); // built hidden, as after a start at login
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    QCOMPARE(dashboard.geometry(), gridGeometry);
    dashboard.resize(900, 700);
    dashboard.hide();
    dashboard.show();
    QCOMPARE(dashboard.size(), QSize(900, 700));
    stack->setCurrentIndex(4);
    QCOMPARE(dashboard.geometry(), pageGeometry);
    // A maximised window keeps its size and place.
    dashboard.showMaximized();
    QTRY_VERIFY(dashboard.isMaximized());
    const QRect maximised = dashboard.geometry();
    stack->setCurrentIndex(0);
    QCOMPARE(dashboard.geometry(), maximised);
}

void tst_Shell::floatingCardClosesPinsAndDrags()
{
    QWidget host;
    auto *card = new FloatingWidget("Lisbon", &host);
    card->move(300, 200);
    card->show();
    QVERIFY(QTest::qWaitForWindowExposed(card));
    QWindow *window = card->windowHandle();
    QTRY_COMPARE(window->position(), QPoint(300, 200));
    const auto button = [card](const char *name) { return card->findChild<QPushButton *>(name); };
    const auto clickOn = [&](const char *name) {
        QTest::mouseClick(window, Qt::LeftButton, {}, button(name)->mapTo(card, QPoint(9, 9)));
    };
    QSignalSpy spy(card, &FloatingWidget::closeRequested);
    bool visibleWhenSignalled = false;
    connect(card, &FloatingWidget::closeRequested, card, [&] { visibleWhenSignalled = card->isVisible(); });
    clickOn("FloatingCloseButton");
    QVERIFY(spy.size() == 1 && visibleWhenSignalled && !card->isVisible());
    card->show(); // still there, as it was
    QVERIFY(QTest::qWaitForWindowExposed(card));
    QCOMPARE(card->title(), "Lisbon");
    QVERIFY(button("FloatingPinButton")->isChecked());
    for (const bool onTop : { false, true }) {
        clickOn("FloatingPinButton");
        QCOMPARE(card->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        QVERIFY(QTest::qWaitForWindowExposed(card));
        QTRY_COMPARE(window->position(), QPoint(300, 200));
    }
    QVERIFY(card->close() && spy.size() == 1); // the host closing it hides it without a word
    card->show();
    QVERIFY(QTest::qWaitForWindowExposed(card));

    // Only the left button drags, from the title or the free space; release ends the drag.
    QTRY_COMPARE(window->position(), QPoint(300, 200));
    QPoint start(300, 200);
    for (const auto &[mouse, byTitle] : { std::pair(Qt::LeftButton, true),
             std::pair(Qt::LeftButton, false), std::pair(Qt::RightButton, true) }) {
        QPoint at = start + (byTitle ? QPoint(20, 12) : QPoint(4, card->height() - 4));
        pointer(QTest::MousePress, window, mouse, at);
        for (const QPoint step : { QPoint(17, 11), QPoint(-22, -7), QPoint(60, -40) }) {
            at += step;
            pointer(QTest::MouseMove, window, mouse, at);
            start += mouse == Qt::LeftButton ? step : QPoint();
            QCOMPARE(card->pos(), start);
            QTRY_COMPARE(window->position(), start); // the next event needs the new place
        }
        pointer(QTest::MouseRelease, window, mouse, at);
        pointer(QTest::MouseMove, window, Qt::NoButton, at + QPoint(30, 20));
        QCOMPARE(card->pos(), start);
    }
}

void tst_Shell::programWithoutTray()
{
    QTemporaryDir loginHome, home;
    QProcess loginStart, program;
    start(loginStart, loginHome, { "--startup" });
    start(program, home, {});
    // With nowhere to wait, the login start shows its window too.
    QTRY_VERIFY_WITH_TIMEOUT(!windowOf(loginStart).isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(windowOf(program), gridGeometry, 10000);
    run({ "xdotool", "windowunmap", windowId(loginStart) }); // out of the way of the clicks
    // The first card (QR generator), then "< Back" at the start of the page's header row.
    run({ "xdotool", "mousemove", "703", "443", "click", "1" });
    QTRY_COMPARE(windowOf(program), pageGeometry);
    run({ "xdotool", "mousemove", "249", "141", "click", "1" });
    QTRY_COMPARE(windowOf(program), gridGeometry);
    // About eight seconds after a first normal start, launching at login is switched on.
    QVERIFY(!registered(home));
    QTRY_VERIFY_WITH_TIMEOUT(registered(home), 15000);
    QVERIFY(!QFile::exists(loginHome.filePath(".config/autostart")));

    // With no notification area, closing the window ends the program instead of leaving it
    // unreachable. A window manager turns Alt+F4 into the close request.
    QProcess openbox;
    openbox.start("openbox", { "--sm-disable" });
    QVERIFY(openbox.waitForStarted());
    const QString id = windowId(program);
    QTRY_VERIFY_WITH_TIMEOUT((run({ "xdotool", "windowactivate", id }),
                                 run({ "xdotool", "getactivewindow" }) == id),
        10000);
    run({ "xdotool", "key", "alt+F4" });
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    openbox.terminate();
    openbox.waitForFinished();
    loginStart.terminate();
    QVERIFY(loginStart.waitForFinished());
}

void tst_Shell::programWithTray()
{
    QProcess trayer;
    trayer.start("trayer", { "--edge", "top" });
    QVERIFY2(trayer.waitForStarted(), "trayer must be installed");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);

    // Started at login, the program waits in the tray without a window.
    QTemporaryDir home;
    QProcess loginStart;
    start(loginStart, home, { "--startup" });
    // Its icon is embedded only once the start has reached the event loop.
    const QStringList anyWindow { "xdotool", "search", "--all", "--onlyvisible", "--pid",
        QString::number(loginStart.processId()) };
    QTRY_VERIFY_WITH_TIMEOUT(!run(anyWindow).isEmpty(), 10000);
    QVERIFY(windowOf(loginStart).isEmpty());
    loginStart.terminate();
    QVERIFY(loginStart.waitForFinished());

    // Closing hides the window; a click or double click on the icon shows it, a context click
    // does not; "Quit" ends the loop although the window refuses to close.
    MainDashboard dashboard;
    TrayManager manager(&dashboard, std::make_unique<XdgAutostartRegistration>(m_autostart.path()));
    auto *tray = manager.findChild<QSystemTrayIcon *>();
    QVERIFY(tray->isVisible());
    for (const auto &[reason, shows] : { std::pair(QSystemTrayIcon::Trigger, true),
             std::pair(QSystemTrayIcon::DoubleClick, true), std::pair(QSystemTrayIcon::Context, false) }) {
        dashboard.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
        QVERIFY(!dashboard.close() && !dashboard.isVisible());
        emit tray->activated(reason);
        QCOMPARE(dashboard.isVisible(), shows);
    }
    QTimer::singleShot(0, tray->contextMenu()->actions().last(), &QAction::trigger);
    QCOMPARE(QCoreApplication::exec(), 0);
    trayer.terminate();
    trayer.waitForFinished();
}

QTEST_MAIN(tst_Shell)
#include "tst_shell.moc"
