// With a real notification area (trayer) on a private X display.
#include "common/loginregistration.h"
#include "common/traymanager.h"
#include "maindashboard.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class tst_Tray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void closingHidesToTray();
    void trayClicksShowWindow_data();
    void trayClicksShowWindow();
    void quitEndsEventLoopThoughWindowRefusesToClose();

private:
    std::unique_ptr<TrayManager> makeManager(QWidget *window)
    {
        return std::make_unique<TrayManager>(
                window, std::make_unique<XdgAutostartRegistration>(m_autostart.path()));
    }
    static QAction *quitAction();

    QProcess m_trayer;
    QTemporaryDir m_autostart;
};

void tst_Tray::initTestCase()
{
    QVERIFY2(m_autostart.isValid(), qPrintable(m_autostart.errorString()));
    m_trayer.start(QStringLiteral("trayer"), { QStringLiteral("--edge"), QStringLiteral("top") });
    QVERIFY2(m_trayer.waitForStarted(), "trayer must be installed");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
}

void tst_Tray::cleanupTestCase()
{
    m_trayer.terminate();
    m_trayer.waitForFinished();
}

QAction *tst_Tray::quitAction()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (auto *menu = qobject_cast<QMenu *>(widget)) {
            const QList<QAction *> actions = menu->actions();
            for (QAction *action : actions) {
                if (action->text() == QLatin1String("Quit")) {
                    return action;
                }
            }
        }
    }
    return nullptr;
}

void tst_Tray::closingHidesToTray()
{
    MainDashboard dashboard;
    auto manager = makeManager(&dashboard);
    auto *tray = manager->findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QVERIFY(tray->isVisible());
    QCOMPARE(tray->toolTip(), QStringLiteral("mirvale"));

    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    QVERIFY(!dashboard.close());
    QVERIFY(!dashboard.isVisible());
}

void tst_Tray::trayClicksShowWindow_data()
{
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<bool>("shows");
    QTest::addRow("click") << QSystemTrayIcon::Trigger << true;
    QTest::addRow("double click") << QSystemTrayIcon::DoubleClick << true;
    QTest::addRow("middle click") << QSystemTrayIcon::MiddleClick << false;
    QTest::addRow("context click") << QSystemTrayIcon::Context << false;
    QTest::addRow("unknown") << QSystemTrayIcon::Unknown << false;
}

void tst_Tray::trayClicksShowWindow()
{
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    QFETCH(bool, shows);

    MainDashboard dashboard;
    auto manager = makeManager(&dashboard);
    auto *tray = manager->findChild<QSystemTrayIcon *>();
    QVERIFY(!dashboard.isVisible());
    emit tray->activated(reason);
    QCOMPARE(dashboard.isVisible(), shows);
}

void tst_Tray::quitEndsEventLoopThoughWindowRefusesToClose()
{
    MainDashboard dashboard;
    auto manager = makeManager(&dashboard);
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    QAction *quit = quitAction();
    QVERIFY(quit);
    QTimer::singleShot(0, &dashboard, [quit] { quit->trigger(); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

QTEST_MAIN(tst_Tray)
#include "tst_tray.moc"
