#include "common/loginregistration.h"
#include "common/traymanager.h"

#include "dialoganswers.h"

#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void recognisesLoginStartExactly();
    void writesQuotedEntry_data();
    void writesQuotedEntry();
    void menuSwitchesEntryAndDefaultAppliesOnce();
    void unwritableEntryStaysOffAndWarnsOncePerRun();
    void openBringsBackHiddenAndMinimisedWindows();
    void followsXdgConfigHome();

private:
    std::unique_ptr<TrayManager> manager(const QString &folder = {})
    {
        return std::make_unique<TrayManager>(&m_window,
            std::make_unique<XdgAutostartRegistration>(folder.isEmpty() ? m_dir.path() : folder));
    }
    static QAction *entry(const TrayManager &tray, int index)
    {
        return tray.findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(index);
    }
    // The entry's lines, or none when there is no entry.
    QStringList lines() const
    {
        QFile file(m_dir.filePath("mirvale.desktop"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n')
                                              : QStringList();
    }
    static bool defaultApplied() { return QSettings().value("startup/defaultApplied").toBool(); }

    QTemporaryDir m_dir;
    QWidget m_window;
};

void tst_Startup::init()
{
    QSettings().clear();
    QFile::remove(m_dir.filePath("mirvale.desktop"));
    m_window.setWindowState(Qt::WindowNoState);
    m_window.hide();
}

void tst_Startup::recognisesLoginStartExactly()
{
    QVERIFY(isLoginStart({ "mirvale", "-x", "--startup" }));
    for (const char *other : { "--Startup", "--startupx", "-startup", "" }) {
        QVERIFY2(!isLoginStart({ "mirvale", other }), other);
    }
    QCOMPARE(windowsRunCommand("C:/Program Files/m.exe", { "--startup" }),
        QDir::toNativeSeparators(R"("C:/Program Files/m.exe" --startup)"));
}

void tst_Startup::writesQuotedEntry_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec"); // the Exec line as it must stand in the file
    QTest::addRow("spaces and quotes")
        << R"(/a b/say "hi"/it's/m)" << R"(Exec="/a b/say \\"hi\\"/it's/m" "--startup")";
    QTest::addRow("dollar, backquote, backslash")
        << R"(/$HOME/`id`/b\s/m)" << R"(Exec="/\\$HOME/\\`id\\`/b\\\\s/m" "--startup")";
    QTest::addRow("percent and field code")
        << "/100%/%f/m" << R"(Exec="/100%%/%%f/m" "--startup")";
    QTest::addRow("tab and newline")
        << "/a\tb/c\nd/m" << R"(Exec="/a\tb/c\nd/m" "--startup")";
    QTest::addRow("non-ASCII") << "/zoë/Программы/m" << R"(Exec="/zoë/Программы/m" "--startup")";
}

void tst_Startup::writesQuotedEntry()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    XdgAutostartRegistration registration(m_dir.path());
    QVERIFY(registration.enable(program, { "--startup" }));
    QVERIFY(registration.enable(program, { "--startup" })); // replaced, not added
    QCOMPARE(lines(),
        QStringList({ "[Desktop Entry]", "Type=Application", "Name=mirvale", exec,
            "Terminal=false", "" }));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), 1);
}

void tst_Startup::menuSwitchesEntryAndDefaultAppliesOnce()
{
    auto tray = manager();
    QStringList texts;
    for (const QAction *action : tray->findChild<QSystemTrayIcon *>()->contextMenu()->actions()) {
        texts << (action->isSeparator() ? "-" : action->text());
    }
    QCOMPARE(texts, QStringList({ "Open mirvale", "-", "Launch at startup", "-", "Quit" }));
    QCOMPARE(tray->findChild<QSystemTrayIcon *>()->toolTip(), "mirvale");
    QVERIFY(lines().isEmpty() && !tray->startedFromStartup()); // building wrote nothing
    for (const bool on : { true, false, true }) {
        entry(*tray, 2)->trigger();
        QCOMPARE(entry(*tray, 2)->isChecked(), on);
        QCOMPARE(lines().size(), on ? 6 : 0);
    }
    // The written entry starts this very program, hidden; a later start finds it.
    QCOMPARE(lines().at(3),
        "Exec=" + desktopExecValue({ QCoreApplication::applicationFilePath(), "--startup" }));
    QVERIFY(entry(*manager(), 2)->isChecked());

    entry(*tray, 2)->trigger();
    tray->applyFirstRunDefault();
    QVERIFY(entry(*tray, 2)->isChecked() && !lines().isEmpty() && defaultApplied());
    // Switched off by the user, it stays off, in this run and the next.
    entry(*tray, 2)->trigger();
    tray->applyFirstRunDefault();
    manager()->applyFirstRunDefault();
    QVERIFY(lines().isEmpty());
}

void tst_Startup::unwritableEntryStaysOffAndWarnsOncePerRun()
{
    // A file where the autostart folder should be: nothing is written below it, even as root.
    const QString blocked = m_dir.filePath("blocked");
    QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));
    const dialogs::Step warning = dialogs::messageBox("could not be set to launch at startup");
    for (int run = 0; run < 2; ++run) {
        auto tray = manager(blocked + "/autostart");
        QCOMPARE(dialogs::runWithDialogs([&] { tray->applyFirstRunDefault(); }, { warning }), "");
        QVERIFY(!entry(*tray, 2)->isChecked() && !defaultApplied());
        // The user's own try fails the same way, without a second box in this run.
        QCOMPARE(dialogs::runWithDialogs([&] { entry(*tray, 2)->trigger(); }), "");
        QVERIFY(!entry(*tray, 2)->isChecked() && !defaultApplied());
    }
}

void tst_Startup::openBringsBackHiddenAndMinimisedWindows()
{
    auto tray = manager();
    entry(*tray, 0)->trigger();
    QVERIFY(m_window.isVisible());
    m_window.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    m_window.hide();
    entry(*tray, 0)->trigger();
    QVERIFY(m_window.isVisible() && !m_window.isMinimized() && m_window.isMaximized());
}

void tst_Startup::followsXdgConfigHome()
{
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", "/home/zoe");
    for (const auto &[config, folder] : { std::pair("/cfg", "/cfg"),
             std::pair("", "/home/zoe/.config"), std::pair("relative", "/home/zoe/.config") }) {
        qputenv("XDG_CONFIG_HOME", config); // unset, empty or relative: under the home folder
        QCOMPARE(XdgAutostartRegistration().entryPath(),
            QLatin1String(folder) + "/autostart/mirvale.desktop");
    }
    qputenv("XDG_CONFIG_HOME", old);
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
