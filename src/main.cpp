#include "common/thememanager.h"
#include "common/traymanager.h"
#include "maindashboard.h"

#include <QApplication>

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
    if (!trayManager.startedFromStartup()) {
        dashboard.show();
    }
    return app.exec();
}
