#include "common/loginregistration.h"
#include "common/traymanager.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class tst_LoginRegistration : public QObject
{
    Q_OBJECT

private slots:
    void recognisesLoginStart_data();
    void recognisesLoginStart();
    void execValueRoundTrips_data();
    void execValueRoundTrips();
    void execValueEscapes();
    void windowsCommandQuotesPath();
    void enablesDisablesAndEnablesAgain();
    void disablingAbsentEntryIsNoError();
    void followsXdgConfigHome();
    void reportsUnwritableFolder();
};

void tst_LoginRegistration::recognisesLoginStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("loginStart");

    QTest::addRow("no arguments") << QStringList { "mirvale" } << false;
    QTest::addRow("exact") << QStringList { "mirvale", "--startup" } << true;
    QTest::addRow("any position") << QStringList { "mirvale", "-x", "--startup", "y" } << true;
    QTest::addRow("other case") << QStringList { "mirvale", "--Startup" } << false;
    QTest::addRow("appended") << QStringList { "mirvale", "--startupx" } << false;
    QTest::addRow("prefix only") << QStringList { "mirvale", "--start" } << false;
    QTest::addRow("single dash") << QStringList { "mirvale", "-startup" } << false;
}

void tst_LoginRegistration::recognisesLoginStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, loginStart);
    QCOMPARE(isLoginStart(arguments), loginStart);
}

void tst_LoginRegistration::execValueRoundTrips_data()
{
    QTest::addColumn<QString>("program");

    QTest::addRow("plain") << "/usr/bin/mirvale";
    QTest::addRow("spaces") << "/home/a b/My Apps/mirvale";
    QTest::addRow("double quote") << "/opt/say \"hi\"/mirvale";
    QTest::addRow("single quote") << "/opt/it's/mirvale";
    QTest::addRow("dollar") << "/opt/$HOME/mirvale";
    QTest::addRow("percent") << "/opt/100%/%f/mirvale";
    QTest::addRow("backslash") << "/opt/back\\slash/mirvale";
    QTest::addRow("backquote") << "/opt/`id`/mirvale";
    QTest::addRow("shell specials") << "/opt/a;b&c|d<e>f*g?h#i(j)k~/mirvale";
    QTest::addRow("non-ASCII") << QString::fromUtf8("/home/zoë/Программы/mirvale");
    QTest::addRow("leading space") << " /odd/mirvale";
    QTest::addRow("tab and newline") << "/odd\tdir/new\nline/mirvale";
}

void tst_LoginRegistration::execValueRoundTrips()
{
    QFETCH(QString, program);
    const QStringList commandLine { program, QStringLiteral("--startup") };
    const QString value = desktopExecValue(commandLine);
    QVERIFY2(!value.contains(QLatin1Char('\n')), qPrintable(value));
    QCOMPARE(parseDesktopExecValue(value), commandLine);
}

void tst_LoginRegistration::execValueEscapes()
{
    QCOMPARE(desktopExecValue({ "/usr/bin/mirvale", "--startup" }),
             QStringLiteral("\"/usr/bin/mirvale\" \"--startup\""));
    // Inside quotes: \" \$ \` and \\ ; then the string-value escape doubles every backslash.
    QCOMPARE(desktopExecValue({ "/a\"b$c`d\\e" }), QStringLiteral("\"/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e\""));
    QCOMPARE(desktopExecValue({ "/50%" }), QStringLiteral("\"/50%%\""));
}

void tst_LoginRegistration::windowsCommandQuotesPath()
{
    const QString command = windowsRunCommand(QStringLiteral("C:/Program Files/mirvale/mirvale.exe"),
                                              { QStringLiteral("--startup") });
#ifdef Q_OS_WIN
    QCOMPARE(command, QStringLiteral("\"C:\\Program Files\\mirvale\\mirvale.exe\" --startup"));
#else
    QCOMPARE(command, QStringLiteral("\"C:/Program Files/mirvale/mirvale.exe\" --startup"));
#endif
}

void tst_LoginRegistration::enablesDisablesAndEnablesAgain()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    XdgAutostartRegistration registration(dir.filePath(QStringLiteral("auto start")));
    QVERIFY(!registration.isEnabled());

    const QString program = QStringLiteral("/tmp/my \"odd\" $dir/100%/mirvale");
    QVERIFY(registration.enable(program, { QStringLiteral("--startup") }));
    QVERIFY(registration.isEnabled());

    QFile file(registration.entryPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith(QLatin1String("[Desktop Entry]\n")));
    QVERIFY(text.contains(QLatin1String("\nType=Application\n")));
    QString exec;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec="))) {
            exec = line.mid(5);
        }
    }
    QCOMPARE(parseDesktopExecValue(exec), QStringList({ program, QStringLiteral("--startup") }));

    QVERIFY(registration.disable());
    QVERIFY(!registration.isEnabled());
    QVERIFY(!QFile::exists(registration.entryPath()));

    QVERIFY(registration.enable(program, { QStringLiteral("--startup") }));
    QVERIFY(registration.isEnabled());
    // Enabling again replaces the entry rather than adding a second one.
    QVERIFY(registration.enable(QStringLiteral("/other/mirvale"), { QStringLiteral("--startup") }));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("auto start"))).entryList(QDir::Files).size(), 1);
}

void tst_LoginRegistration::disablingAbsentEntryIsNoError()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    XdgAutostartRegistration registration(dir.filePath(QStringLiteral("missing/autostart")));
    QVERIFY(registration.disable());
    QVERIFY(!registration.isEnabled());
}

void tst_LoginRegistration::followsXdgConfigHome()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldHome = qgetenv("HOME");

    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    XdgAutostartRegistration registration;
    QCOMPARE(registration.entryPath(), dir.filePath(QStringLiteral("config/autostart/mirvale.desktop")));

    // Unset or relative: the default under the home folder.
    qputenv("HOME", dir.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(registration.entryPath(), dir.filePath(QStringLiteral(".config/autostart/mirvale.desktop")));
    qputenv("XDG_CONFIG_HOME", "relative/config");
    QCOMPARE(registration.entryPath(), dir.filePath(QStringLiteral(".config/autostart/mirvale.desktop")));

    qputenv("XDG_CONFIG_HOME", oldConfig);
    qputenv("HOME", oldHome);
}

void tst_LoginRegistration::reportsUnwritableFolder()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    // A file where the folder should be: nothing can be written below it, even as root.
    QFile blocker(dir.filePath(QStringLiteral("autostart")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgAutostartRegistration registration(dir.filePath(QStringLiteral("autostart")));
    QVERIFY(!registration.enable(QStringLiteral("/usr/bin/mirvale"), { QStringLiteral("--startup") }));
    QVERIFY(!registration.isEnabled());
}

QTEST_GUILESS_MAIN(tst_LoginRegistration)
#include "tst_loginregistration.moc"
