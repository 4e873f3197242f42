#pragma once

#include <QObject>

#include <memory>

class LoginRegistration;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// True when the command line says the program was started by the login registration:
// one argument equal to "--startup", exactly.
bool isLoginStart(const QStringList &arguments);

class TrayManager : public QObject
{
    Q_OBJECT

public:
    // Delay after a normal start before launching at login is switched on for a first-time user.
    static constexpr int kFirstRunDelayMs = 8000;

    explicit TrayManager(QWidget *window, QObject *parent = nullptr);
    // For tests: the login registration to use instead of the platform's.
    TrayManager(QWidget *window, std::unique_ptr<LoginRegistration> registration,
        QObject *parent = nullptr);
    ~TrayManager() override;

    bool startedFromStartup() const { return m_startedFromStartup; }
    bool isStartupEnabled() const;
    void setStartupEnabled(bool enabled);

    // Switches launching at login on, or tries to, once per user: the first time a normal start
    // gets this far.
    void applyFirstRunDefault();

private:
    void createTrayIcon();
    void createMenu();
    void showWindow();
    // Writes or removes the login entry; on failure the menu entry shows the registration as it
    // is, and the first failure of the run is reported. Returns whether it worked.
    bool writeStartupEntry(bool enabled);

    QWidget *m_window = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_startupAction = nullptr;
    bool m_startedFromStartup = false;
    bool m_startupWarningShown = false;
    std::unique_ptr<LoginRegistration> m_registration;
};
