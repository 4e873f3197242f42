#include "common/loginregistration.h"
#include "common/traymanager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_LoginRegistration : public QObject
{
    Q_OBJECT

private slots:
    void recognisesLoginStartExactly();
    void execValueRoundTrips_data();
    void execValueRoundTrips();
    void quotesCommandLines();
    void writesAndRemovesEntry();
    void followsXdgConfigHome();
};

void tst_LoginRegistration::recognisesLoginStartExactly()
{
    QVERIFY(isLoginStart({ "mirvale", "-x", "--startup" }));
    QVERIFY(!isLoginStart({ "mirvale" }));
    for (const char *other : { "--Startup", "--startupx", "-startup", "--start" }) {
        QVERIFY2(!isLoginStart({ "mirvale", other }), other);
    }
}

void tst_LoginRegistration::execValueRoundTrips_data()
{
    QTest::addColumn<QString>("program");
    QTest::addRow("spaces and quotes") << "/home/a b/say \"hi\"/it's/mirvale";
    QTest::addRow("dollar, backquote, backslash") << "/opt/$HOME/`id`/back\\slash/mirvale";
    QTest::addRow("percent and field code") << "/opt/100%/%f/mirvale";
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

void tst_LoginRegistration::quotesCommandLines()
{
    // Inside quotes \" \$ \` \\ and %%; then the string-value escape doubles every backslash.
    QCOMPARE(desktopExecValue({ "/a\"b$c`d\\e 50%", "--startup" }),
        QStringLiteral("\"/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e 50%%\" \"--startup\""));
    const QString program = QStringLiteral("C:/Program Files/mirvale/mirvale.exe");
    QCOMPARE(windowsRunCommand(program, { QStringLiteral("--startup") }),
        QStringLiteral("\"%1\" --startup").arg(QDir::toNativeSeparators(program)));
}

void tst_LoginRegistration::writesAndRemovesEntry()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    XdgAutostartRegistration registration(dir.filePath(QStringLiteral("auto start")));
    QVERIFY(registration.disable()); // removing an absent entry is no error

    const QStringList commandLine { QStringLiteral("/tmp/my \"odd\" $dir/100%/mirvale"),
        QStringLiteral("--startup") };
    for (int round = 0; round < 2; ++round) { // enable, disable, enable again
        QVERIFY(registration.enable(commandLine.first(), commandLine.mid(1)));
        QFile file(registration.entryPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.startsWith(QLatin1String("[Desktop Entry]\nType=Application\n")));
        QCOMPARE(
            parseDesktopExecValue(text.section("\nExec=", 1).section('\n', 0, 0)), commandLine);
        QVERIFY(registration.isEnabled());
        QVERIFY(registration.disable());
        QVERIFY(!registration.isEnabled());
    }
    // Enabling again replaces the entry rather than adding a second one.
    QVERIFY(registration.enable(QStringLiteral("/a/mirvale"), {}));
    QVERIFY(registration.enable(QStringLiteral("/b/mirvale"), {}));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("auto start"))).entryList(QDir::Files).size(), 1);

    // A file where the folder should be: nothing can be written below it, even as root.
    XdgAutostartRegistration blocked(registration.entryPath());
    QVERIFY(!blocked.enable(QStringLiteral("/usr/bin/mirvale"), {}));
    QVERIFY(!blocked.isEnabled());
}

void tst_LoginRegistration::followsXdgConfigHome()
{
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", "/home/zoe");
    for (const auto &[config, folder] : { std::pair("/cfg", "/cfg"),
             std::pair("", "/home/zoe/.config"), std::pair("relative/cfg", "/home/zoe/.config") }) {
        qputenv("XDG_CONFIG_HOME", config); // unset, empty or relative: under the home folder
        QCOMPARE(XdgAutostartRegistration().entryPath(),
            QLatin1String(folder) + QLatin1String("/autostart/mirvale.desktop"));
    }
    qputenv("XDG_CONFIG_HOME", oldConfig);
    qputenv("HOME", oldHome);
}

QTEST_GUILESS_MAIN(tst_LoginRegistration)
#include "tst_loginregistration.moc"
