#include "common/thememanager.h"
#include "common/traymanager.h"
#include "maindashboard.h"

#include <QApplication>
#include <QSystemTrayIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString name = QStringLiteral("mirvale");
    QApplication::setApplicationName(name);
    QApplication::setOrganizationName(name);
    QApplication::setApplicationDisplayName(name);
    // Closing or hiding the window never ends the program; the tray's "Quit" does.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before any widget exists, so every widget is built under the application's style sheet.
    ThemeManager::instance()->applySavedTheme();

    MainDashboard dashboard;
    TrayManager trayManager(&dashboard);
    // Started at login the window waits in the tray; with no tray to wait in, it shows, or the
    // program would run with nothing on screen to reach it by.
    if (!trayManager.startedFromStartup() || !QSystemTrayIcon::isSystemTrayAvailable()) {
        dashboard.show();
    }
    return app.exec();
}
