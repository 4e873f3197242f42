// With a real notification area (trayer) on a private X display.
#include "common/loginregistration.h"
#include "common/traymanager.h"
#include "maindashboard.h"

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
    void closeHidesAndTrayClickShows_data();
    void closeHidesAndTrayClickShows();
    void quitEndsEventLoopThoughWindowRefusesToClose();

private:
    QSystemTrayIcon *makeTray()
    {
        m_manager = std::make_unique<TrayManager>(
            &m_dashboard, std::make_unique<XdgAutostartRegistration>(m_autostart.path()));
        return m_manager->findChild<QSystemTrayIcon *>();
    }

    QProcess m_trayer;
    QTemporaryDir m_autostart;
    MainDashboard m_dashboard;
    std::unique_ptr<TrayManager> m_manager;
};

void tst_Tray::initTestCase()
{
    m_trayer.start(QStringLiteral("trayer"), { QStringLiteral("--edge"), QStringLiteral("top") });
    QVERIFY2(m_trayer.waitForStarted(), "trayer must be installed");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
}

void tst_Tray::cleanupTestCase()
{
    m_trayer.terminate();
    m_trayer.waitForFinished();
}

void tst_Tray::closeHidesAndTrayClickShows_data()
{
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<bool>("shows");
    QTest::addRow("click") << QSystemTrayIcon::Trigger << true;
    QTest::addRow("double click") << QSystemTrayIcon::DoubleClick << true;
    QTest::addRow("context click") << QSystemTrayIcon::Context << false;
}

void tst_Tray::closeHidesAndTrayClickShows()
{
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    QFETCH(bool, shows);
    QSystemTrayIcon *tray = makeTray();
    QVERIFY(tray->isVisible());
    QCOMPARE(tray->toolTip(), QStringLiteral("mirvale"));
    m_dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_dashboard));
    QVERIFY(!m_dashboard.close()); // with a tray, closing only hides
    QVERIFY(!m_dashboard.isVisible());
    emit tray->activated(reason);
    QCOMPARE(m_dashboard.isVisible(), shows);
}

void tst_Tray::quitEndsEventLoopThoughWindowRefusesToClose()
{
    QAction *quit = makeTray()->contextMenu()->actions().last();
    QCOMPARE(quit->text(), QStringLiteral("Quit"));
    m_dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_dashboard));
    QTimer::singleShot(0, quit, &QAction::trigger);
    QCOMPARE(QCoreApplication::exec(), 0);
}

QTEST_MAIN(tst_Tray)
#include "tst_tray.moc"
