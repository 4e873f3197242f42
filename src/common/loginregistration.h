#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// Starting the program when the user logs in. The tray menu only needs to know whether the
// registration exists, to write it, and to remove it; each platform keeps it its own way.
class LoginRegistration
{
public:
    virtual ~LoginRegistration() = default;

    virtual bool isEnabled() const = 0;
    // Registers `program` to be started at login with `arguments`; replaces an older entry.
    virtual bool enable(const QString &program, const QStringList &arguments) = 0;
    // Removing a registration that does not exist is no error.
    virtual bool disable() = 0;

    // The realisation for the platform the program runs on.
    static std::unique_ptr<LoginRegistration> createForPlatform();
};

// Freedesktop autostart: a desktop entry "mirvale.desktop" in $XDG_CONFIG_HOME/autostart.
class XdgAutostartRegistration : public LoginRegistration
{
public:
    // An empty folder means the standard one, read from the environment when used.
    explicit XdgAutostartRegistration(const QString &autostartDir = QString());

    bool isEnabled() const override;
    bool enable(const QString &program, const QStringList &arguments) override;
    bool disable() override;

    QString entryPath() const;

private:
    QString m_autostartDir;
};

// The value the Windows Run key holds for a program: "\"<native path>\" <arguments>".
QString windowsRunCommand(const QString &program, const QStringList &arguments);

// A desktop entry's Exec value for a command line, with every argument quoted and escaped as the
// Desktop Entry format requires (quotes, backquotes, dollars, backslashes and percent signs).
QString desktopExecValue(const QStringList &commandLine);
