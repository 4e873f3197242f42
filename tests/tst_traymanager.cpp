#include "common/loginregistration.h"
#include "common/traymanager.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

class tst_TrayManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void buildsMenu();
    void launchAtStartupWritesAndRemovesEntry();
    void firstRunDefaultAppliesOnceOnly();
    void openBringsBackHiddenAndMinimisedWindows();

private:
    std::unique_ptr<TrayManager> makeManager()
    {
        return std::make_unique<TrayManager>(
            &m_window, std::make_unique<XdgAutostartRegistration>(m_autostart.path()));
    }
    static QList<QAction *> menu(const TrayManager &manager)
    {
        return manager.findChild<QSystemTrayIcon *>()->contextMenu()->actions();
    }
    bool entryExists() const { return QFile::exists(m_autostart.filePath("mirvale.desktop")); }

    QTemporaryDir m_autostart;
    QWidget m_window;
};

void tst_TrayManager::init()
{
    QVERIFY2(m_autostart.isValid(), qPrintable(m_autostart.errorString()));
    QSettings().clear();
    QFile::remove(m_autostart.filePath("mirvale.desktop"));
    m_window.setWindowState(Qt::WindowNoState);
    m_window.hide();
}

void tst_TrayManager::buildsMenu()
{
    auto manager = makeManager();
    QStringList texts;
    for (const QAction *entry : menu(*manager)) {
        texts << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
    }
    QCOMPARE(texts, QStringList({ "Open mirvale", "-", "Launch at startup", "-", "Quit" }));
    QVERIFY(!manager->startedFromStartup()); // the test runs without "--startup"
}

void tst_TrayManager::launchAtStartupWritesAndRemovesEntry()
{
    auto manager = makeManager();
    QAction *launch = menu(*manager).at(2);
    QVERIFY(!launch->isChecked());
    QVERIFY(!entryExists()); // building the menu wrote nothing
    for (const bool enabled : { true, false, true }) {
        launch->trigger();
        QCOMPARE(launch->isChecked(), enabled);
        QCOMPARE(entryExists(), enabled);
        QCOMPARE(manager->isStartupEnabled(), enabled);
    }
    QVERIFY(menu(*makeManager()).at(2)->isChecked()); // a later start finds the entry
    // The written command line starts this very program, hidden.
    QFile file(m_autostart.filePath("mirvale.desktop"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString exec =
        QString::fromUtf8(file.readAll()).section("\nExec=", 1).section('\n', 0, 0);
    QCOMPARE(parseDesktopExecValue(exec),
        QStringList({ QCoreApplication::applicationFilePath(), "--startup" }));
}

void tst_TrayManager::firstRunDefaultAppliesOnceOnly()
{
    auto manager = makeManager();
    manager->applyFirstRunDefault();
    QVERIFY(entryExists());
    QVERIFY(menu(*manager).at(2)->isChecked());
    QVERIFY(QSettings().value("startup/defaultApplied").toBool());
    // The user switches it off; the default is not applied again, in this run or the next.
    menu(*manager).at(2)->trigger();
    manager->applyFirstRunDefault();
    makeManager()->applyFirstRunDefault();
    QVERIFY(!entryExists());
}

void tst_TrayManager::openBringsBackHiddenAndMinimisedWindows()
{
    auto manager = makeManager();
    QAction *open = menu(*manager).at(0);
    open->trigger();
    QVERIFY(m_window.isVisible());
    // Minimised, and maximised under it: shown again, still maximised.
    m_window.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    m_window.hide();
    open->trigger();
    QVERIFY(m_window.isVisible());
    QVERIFY(!m_window.isMinimized());
    QVERIFY(m_window.isMaximized());
}

QTEST_MAIN(tst_TrayManager)
#include "tst_traymanager.moc"
