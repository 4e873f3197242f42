#include "common/loginregistration.h"
#include "common/traymanager.h"

#include "dialoganswers.h"

#include <QtTest>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void onlyTheExactArgumentMeansLogin();
    void writesQuotedEntry();
    void menuSwitchesEntryAndDefaultAppliesOnce();
    void unwritableEntryWarnsOnTheFirstStartOnly();

private:
    std::unique_ptr<TrayManager> tray(const QString &folder = {})
    {
        return std::make_unique<TrayManager>(&m_window,
            std::make_unique<XdgAutostartRegistration>(folder.isEmpty() ? m_dir.path() : folder));
    }
    static QAction *entry(const TrayManager &tray, int i)
    {
        return tray.findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(i);
    }
    QStringList lines() const // the entry's, none when there is no entry
    {
        QFile file(m_dir.filePath("mirvale.desktop"));
        return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).split('\n') : QStringList();
    }
    static bool defaultApplied() { return QSettings().value("startup/defaultApplied").toBool(); }
    QTemporaryDir m_dir;
    QWidget m_window;
};

void tst_Startup::init()
{
    QSettings().clear();
    QFile::remove(m_dir.filePath("mirvale.desktop"));
}

void tst_Startup::onlyTheExactArgumentMeansLogin()
{
    QVERIFY(isLoginStart({ "mirvale", "--startup" }));
    for (const char *near : { "--startup=1", "--Startup", "startup", "-startup", "--startup " }) {
        QVERIFY2(!isLoginStart({ "mirvale", near }), near);
    }
}

// Quotes, dollars, backquotes, backslashes, percent signs, tabs and line feeds are escaped.
void tst_Startup::writesQuotedEntry()
{
    const QString program = "/a b/\"hi\"/$H/`id`/b\\s/100%/%f/a\tb/c\nd/zoë";
    const QString exec =
        R"(Exec="/a b/\\"hi\\"/\\$H/\\`id\\`/b\\\\s/100%%/%%f/a\tb/c\nd/zoë" "--startup")";
    XdgAutostartRegistration registration(m_dir.path());
    QVERIFY(registration.enable(program, { "--startup" }));
    QVERIFY(registration.enable(program, { "--startup" })); // replaced, not added
    QCOMPARE(lines(),
        QStringList(
            { "[Desktop Entry]", "Type=Application", "Name=mirvale", exec, "Terminal=false", "" }));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), 1);
}

void tst_Startup::menuSwitchesEntryAndDefaultAppliesOnce()
{
    auto manager = tray();
    QVERIFY(lines().isEmpty() && !manager->startedFromStartup()); // building wrote nothing
    for (const bool on : { true, false, true }) {
        entry(*manager, 2)->trigger();
        QCOMPARE(entry(*manager, 2)->isChecked(), on);
        QCOMPARE(lines().size(), on ? 6 : 0);
    }
    // The entry starts this very program, hidden; a later start finds it.
    QCOMPARE(lines().at(3),
        "Exec=" + desktopExecValue({ QCoreApplication::applicationFilePath(), "--startup" }));
    QVERIFY(entry(*tray(), 2)->isChecked());
    entry(*manager, 2)->trigger();
    manager->applyFirstRunDefault();
    QVERIFY(entry(*manager, 2)->isChecked() && !lines().isEmpty() && defaultApplied());
    // Switched off by the user, it stays off, in this run and the next.
    entry(*manager, 2)->trigger();
    manager->applyFirstRunDefault();
    tray()->applyFirstRunDefault();
    QVERIFY(lines().isEmpty());
    // "Open mirvale" brings back a hidden, minimised window, maximised as it was.
    m_window.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    entry(*manager, 0)->trigger();
    QVERIFY(m_window.isVisible() && !m_window.isMinimized() && m_window.isMaximized());
}

void tst_Startup::unwritableEntryWarnsOnTheFirstStartOnly()
{
    // A file where the autostart folder should be: nothing is written below it, even as root.
    QVERIFY(QFile(m_dir.filePath("file")).open(QIODevice::WriteOnly));
    QList<dialogs::Step> warning { dialogs::messageBox("could not be set to launch at") };
    bool recorded = false; // while the warning is open, so a program ended then warns no more
    warning[0].answer = [&recorded, ok = warning[0].answer](QWidget *box) {
        recorded = defaultApplied();
        ok(box);
    };
    for (const bool first : { true, false }) {
        auto manager = tray(m_dir.filePath("file/autostart"));
        QCOMPARE(dialogs::runWithDialogs([&] { manager->applyFirstRunDefault(); },
                     first ? warning : QList<dialogs::Step>()),
            QString());
        QVERIFY(recorded);
        QCOMPARE(dialogs::runWithDialogs([&] { entry(*manager, 2)->trigger(); },
                     first ? QList<dialogs::Step>() : warning),
            QString());
        QVERIFY(!entry(*manager, 2)->isChecked() && defaultApplied());
    }
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
