#include "common/loginregistration.h"
#include "common/traymanager.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class tst_TrayManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void buildsMenuInOrder();
    void menuMirrorsRegistrationAtStart();
    void launchAtStartupEntryWritesAndRemoves();
    void firstRunDefaultAppliesOnceOnly();
    void openBringsBackHiddenAndMinimisedWindows();

private:
    std::unique_ptr<TrayManager> makeManager(QWidget *window);
    static QMenu *trayMenu();
    static QAction *action(const QString &text);
    bool entryExists() const { return QFile::exists(m_autostart.filePath("mirvale.desktop")); }

    QTemporaryDir m_autostart;
};

void tst_TrayManager::initTestCase()
{
    QVERIFY2(m_autostart.isValid(), qPrintable(m_autostart.errorString()));
    QCoreApplication::setOrganizationName(QStringLiteral("mirvale"));
    QCoreApplication::setApplicationName(QStringLiteral("mirvale"));
}

void tst_TrayManager::init()
{
    QSettings().clear();
    QFile::remove(m_autostart.filePath("mirvale.desktop"));
}

void tst_TrayManager::cleanup()
{
    // Menus have no parent: make sure none is left over from a failed test.
    QVERIFY(!trayMenu());
}

std::unique_ptr<TrayManager> tst_TrayManager::makeManager(QWidget *window)
{
    return std::make_unique<TrayManager>(
            window, std::make_unique<XdgAutostartRegistration>(m_autostart.path()));
}

QMenu *tst_TrayManager::trayMenu()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (auto *menu = qobject_cast<QMenu *>(widget)) {
            return menu;
        }
    }
    return nullptr;
}

QAction *tst_TrayManager::action(const QString &text)
{
    QMenu *menu = trayMenu();
    if (!menu) {
        return nullptr;
    }
    const QList<QAction *> actions = menu->actions();
    for (QAction *entry : actions) {
        if (entry->text() == text) {
            return entry;
        }
    }
    return nullptr;
}

void tst_TrayManager::buildsMenuInOrder()
{
    QWidget window;
    auto manager = makeManager(&window);
    QMenu *menu = trayMenu();
    QVERIFY(menu);
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 5);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("Open mirvale"));
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), QStringLiteral("Launch at startup"));
    QVERIFY(actions.at(2)->isCheckable());
    QVERIFY(actions.at(3)->isSeparator());
    QCOMPARE(actions.at(4)->text(), QStringLiteral("Quit"));
    // The test runs without "--startup".
    QVERIFY(!manager->startedFromStartup());
}

void tst_TrayManager::menuMirrorsRegistrationAtStart()
{
    QWidget window;
    {
        auto manager = makeManager(&window);
        QVERIFY(!action("Launch at startup")->isChecked());
        // Building the menu wrote nothing.
        QVERIFY(!entryExists());
    }
    XdgAutostartRegistration(m_autostart.path()).enable("/usr/bin/mirvale", { "--startup" });
    auto manager = makeManager(&window);
    QVERIFY(manager->isStartupEnabled());
    QVERIFY(action("Launch at startup")->isChecked());
}

void tst_TrayManager::launchAtStartupEntryWritesAndRemoves()
{
    QWidget window;
    auto manager = makeManager(&window);
    QAction *entry = action("Launch at startup");
    entry->trigger();
    QVERIFY(entry->isChecked());
    QVERIFY(entryExists());
    QVERIFY(manager->isStartupEnabled());

    entry->trigger();
    QVERIFY(!entry->isChecked());
    QVERIFY(!entryExists());
    QVERIFY(!manager->isStartupEnabled());

    // The written command line starts this very program, hidden.
    manager->setStartupEnabled(true);
    QFile file(m_autostart.filePath("mirvale.desktop"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QString exec = text.section(QLatin1String("Exec="), 1).section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(parseDesktopExecValue(exec),
             QStringList({ QCoreApplication::applicationFilePath(), "--startup" }));
}

void tst_TrayManager::firstRunDefaultAppliesOnceOnly()
{
    QWidget window;
    {
        auto manager = makeManager(&window);
        manager->applyFirstRunDefault();
        QVERIFY(entryExists());
        QVERIFY(action("Launch at startup")->isChecked());
        QVERIFY(QSettings().value("startup/defaultApplied").toBool());

        // The user switches it off; the default is not applied again, in this run or the next.
        action("Launch at startup")->trigger();
        QVERIFY(!entryExists());
        manager->applyFirstRunDefault();
        QVERIFY(!entryExists());
    }
    auto manager = makeManager(&window);
    manager->applyFirstRunDefault();
    QVERIFY(!entryExists());
    QVERIFY(!action("Launch at startup")->isChecked());
}

void tst_TrayManager::openBringsBackHiddenAndMinimisedWindows()
{
    QWidget window;
    auto manager = makeManager(&window);
    QAction *open = action("Open mirvale");

    QVERIFY(!window.isVisible());
    open->trigger();
    QVERIFY(window.isVisible());

    window.setWindowState(Qt::WindowMinimized);
    open->trigger();
    QVERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());

    window.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    window.hide();
    open->trigger();
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(window.isMaximized());
}

QTEST_MAIN(tst_TrayManager)
#include "tst_traymanager.moc"
