#include "loginregistration.h"

#include "atomicwrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
constexpr auto kEntryName = "mirvale";

#ifdef Q_OS_WIN
constexpr auto kRunKeyPath = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class WindowsRunKeyRegistration : public LoginRegistration
{
public:
    bool isEnabled() const override
    {
        return QSettings(QString::fromLatin1(kRunKeyPath), QSettings::NativeFormat)
            .contains(QString::fromLatin1(kEntryName));
    }

    bool enable(const QString &program, const QStringList &arguments) override
    {
        QSettings runKey(QString::fromLatin1(kRunKeyPath), QSettings::NativeFormat);
        runKey.setValue(QString::fromLatin1(kEntryName), windowsRunCommand(program, arguments));
        runKey.sync();
        return runKey.status() == QSettings::NoError;
    }

    bool disable() override
    {
        QSettings runKey(QString::fromLatin1(kRunKeyPath), QSettings::NativeFormat);
        runKey.remove(QString::fromLatin1(kEntryName));
        runKey.sync();
        return runKey.status() == QSettings::NoError;
    }
};
#endif

// Inside double quotes of an Exec value these four must be preceded by a backslash.
bool needsQuoteEscape(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
        || c == QLatin1Char('\\');
}

QString quoteExecArgument(const QString &argument)
{
    QString quoted;
    quoted.reserve(argument.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : argument) {
        if (needsQuoteEscape(c)) {
            quoted += QLatin1Char('\\');
        }
        if (c == QLatin1Char('%')) {
            quoted += QLatin1Char('%'); // a lone % would start a field code
        }
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

// The escapes every string value of a desktop entry goes through, on top of the Exec quoting.
QString escapeStringValue(const QString &value)
{
    // The backslash first, so the ones the other escapes bring are left alone.
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
    // A leading space would be taken as part of the separator after "=".
    if (escaped.startsWith(QLatin1Char(' '))) {
        escaped.replace(0, 1, QLatin1String("\\s"));
    }
    return escaped;
}
} // namespace

std::unique_ptr<LoginRegistration> LoginRegistration::createForPlatform()
{
#ifdef Q_OS_WIN
    return std::make_unique<WindowsRunKeyRegistration>();
#else
    return std::make_unique<XdgAutostartRegistration>();
#endif
}

QString windowsRunCommand(const QString &program, const QStringList &arguments)
{
    QString command = QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(program));
    for (const QString &argument : arguments) {
        command += QLatin1Char(' ') + argument;
    }
    return command;
}

QString desktopExecValue(const QStringList &commandLine)
{
    QStringList quoted;
    quoted.reserve(commandLine.size());
    for (const QString &argument : commandLine) {
        quoted << quoteExecArgument(argument);
    }
    return escapeStringValue(quoted.join(QLatin1Char(' ')));
}

XdgAutostartRegistration::XdgAutostartRegistration(const QString &autostartDir)
    : m_autostartDir(autostartDir)
{ }

QString XdgAutostartRegistration::entryPath() const
{
    QString dir = m_autostartDir;
    if (dir.isEmpty()) {
        // The XDG base directory rules: a relative or empty value is ignored.
        const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        dir = (QDir::isAbsolutePath(configHome) ? configHome
                                                : QDir::homePath() + QLatin1String("/.config"))
            + QLatin1String("/autostart");
    }
    return dir + QLatin1Char('/') + QLatin1String(kEntryName) + QLatin1String(".desktop");
}

bool XdgAutostartRegistration::isEnabled() const
{
    return QFileInfo(entryPath()).isFile();
}

bool XdgAutostartRegistration::enable(const QString &program, const QStringList &arguments)
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    const QString entry = QLatin1String("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=mirvale\n"
                                        "Exec=")
        + desktopExecValue(QStringList { program } + arguments)
        + QLatin1String("\nTerminal=false\n");
    return writeFileAtomically(path, entry.toUtf8());
}

bool XdgAutostartRegistration::disable()
{
    QFile entry(entryPath());
    return !entry.exists() || entry.remove();
}
