// The shell on a private 1920 x 1040 X display, first without a notification area, then with
// one (trayer); the built program is started as a user starts it and watched from outside.
#include "common/loginregistration.h"
#include "common/traymanager.h"
#include "common/windowsizing.h"
#include "maindashboard.h"

#include <QtTest>
#include <QtWidgets>

namespace {
const QRect kGrid(575, 279, 768, 480), kPage(191, 103, 1536, 832);

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

// The program's visible main window, not its tray icon's of the same name: X id and geometry.
std::pair<QString, QRect> window(const QProcess &program)
{
    for (const QString &id : run({ "xdotool", "search", "--all", "--onlyvisible", "--pid",
                                     QString::number(program.processId()), "--name", "^mirvale$" })
                                 .split('\n', Qt::SkipEmptyParts)) {
        QMap<QString, int> g; // X, Y, WIDTH, HEIGHT
        for (const QString &line :
            run({ "xdotool", "getwindowgeometry", "--shell", id }).split('\n')) {
            g[line.section('=', 0, 0)] = line.section('=', 1).toInt();
        }
        if (g["WIDTH"] >= 640) {
            return { id, QRect(g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]) };
        }
    }
    return {};
}

void start(QProcess &program, const QTemporaryDir &home, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    program.setProcessEnvironment(env);
    program.start(qEnvironmentVariable("MIRVALE_EXECUTABLE"), arguments);
    QVERIFY2(program.waitForStarted(), "MIRVALE_EXECUTABLE must name the built program");
}
} // namespace

class tst_Shell : public QObject
{
    Q_OBJECT

private slots:
    void sizesAndCentres();
    void cardsOpenPagesAndBackReturns();
    void programWithoutTray();
    void programWithTray();
};

// The grid at its minimum, a page rounded, a second screen; the 1920 x 1040 screen the window is
// checked on below.
void tst_Shell::sizesAndCentres()
{
    QCOMPARE(windowGeometryForPage({ 0, 0, 1366, 728 }, 0), QRect(362, 123, 640, 480));
    QCOMPARE(windowGeometryForPage({ 0, 0, 1366, 728 }, 3), QRect(136, 72, 1093, 582));
    QCOMPARE(windowGeometryForPage({ 1920, 40, 2560, 1400 }, 0), QRect(2687, 459, 1024, 560));
}

// The window takes its size on its first show and on a change of page, never otherwise.
void tst_Shell::cardsOpenPagesAndBackReturns()
{
    MainDashboard dashboard;
    dashboard.resize(300, 200); // built hidden, as after a start at login
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    auto *stack = dashboard.findChild<QStackedWidget *>();
    QStringList seen;
    for (QPushButton *card : dashboard.findChildren<QPushButton *>("ToolCard")) {
        QCOMPARE(dashboard.geometry(), kGrid);
        // A click on the card's label counts as a click on the card.
        QTest::mouseClick(card->findChild<QLabel *>("ToolLabel"), Qt::LeftButton);
        QCOMPARE(dashboard.geometry(), kPage);
        seen << stack->currentWidget()->objectName();
        stack->currentWidget()->findChild<QPushButton *>("BackButton")->click();
    }
    QCOMPARE(seen,
        QStringList({ "QRGeneratorPage", "TextToolsPage", "ImageResizerPage", "ClockSuitePage",
            "DaysCounterPage", "PdfToolsPage" }));
    dashboard.resize(900, 700);
    dashboard.hide();
    dashboard.show();
    QCOMPARE(dashboard.size(), QSize(900, 700));
    dashboard.showMaximized(); // keeps its size and place
    QTRY_VERIFY(dashboard.isMaximized());
    const QRect maximised = dashboard.geometry();
    stack->setCurrentIndex(4);
    QCOMPARE(dashboard.geometry(), maximised);
}

void tst_Shell::programWithoutTray()
{
    QTemporaryDir loginHome, home;
    QProcess loginStart, program;
    start(loginStart, loginHome, { "--startup" });
    start(program, home, {});
    // With nowhere to wait, a start at login shows its window too.
    QTRY_VERIFY_WITH_TIMEOUT(!window(loginStart).first.isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window(program).second, kGrid, 10000);
    // Closing the window ends the program instead of leaving it unreachable; a window manager
    // turns Alt+F4 into the close request.
    QProcess openbox;
    openbox.start("openbox", { "--sm-disable" });
    const QString id = window(program).first;
    QTRY_VERIFY_WITH_TIMEOUT(
        (run({ "xdotool", "windowactivate", id }), run({ "xdotool", "getactivewindow" }) == id),
        10000);
    run({ "xdotool", "key", "alt+F4" });
    QVERIFY(program.waitForFinished(10000) && program.exitCode() == 0);
    openbox.terminate();
    openbox.waitForFinished();
    loginStart.terminate();
    QVERIFY(loginStart.waitForFinished());
}

void tst_Shell::programWithTray()
{
    QProcess trayer;
    trayer.start("trayer", { "--edge", "top" });
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    // Started at login, the program waits in the tray: its icon shows (once the start has
    // reached the event loop), its window does not.
    QTemporaryDir home, autostart;
    QProcess loginStart;
    start(loginStart, home, { "--startup" });
    QTRY_VERIFY_WITH_TIMEOUT(!run({ "xdotool", "search", "--all", "--onlyvisible", "--pid",
                                      QString::number(loginStart.processId()) })
                                  .isEmpty(),
        10000);
    QVERIFY(window(loginStart).first.isEmpty());
    loginStart.terminate();
    QVERIFY(loginStart.waitForFinished());
    // Closing hides the window; a click or double click on the icon shows it, a context click
    // does not; "Quit" ends the loop although the window refuses to close.
    MainDashboard dashboard;
    TrayManager manager(&dashboard, std::make_unique<XdgAutostartRegistration>(autostart.path()));
    auto *tray = manager.findChild<QSystemTrayIcon *>();
    for (const auto &[reason, shows] :
        { std::pair(QSystemTrayIcon::Trigger, true), std::pair(QSystemTrayIcon::DoubleClick, true),
            std::pair(QSystemTrayIcon::Context, false) }) {
        dashboard.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dashboard) && tray->isVisible());
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
