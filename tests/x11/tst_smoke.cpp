// Starts the built program the way a user does and looks at it from outside, as another X client.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Runs an X tool with a deadline (xdotool can wait forever on a window manager); its output.
QString runTool(const QStringList &command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Where the mapped top-level window titled "mirvale" is; an empty rectangle when none is.
QRect mainWindowGeometry()
{
    const QString out = runTool({ "xwininfo", "-name", "mirvale" });
    const auto number = [&out](const char *label) {
        const QRegularExpression re(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(label)));
        return re.match(out).captured(1).toInt();
    };
    if (!out.contains(QLatin1String("Map State: IsViewable"))) {
        return QRect();
    }
    return QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"),
        number("Height"));
}

void click(const QPoint &at)
{
    runTool(
        { "xdotool", "mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1" });
}

bool defaultApplied(const QTemporaryDir &home)
{
    QSettings settings(home.filePath(".config/mirvale/mirvale.conf"), QSettings::IniFormat);
    return settings.value(QStringLiteral("startup/defaultApplied")).toBool();
}
} // namespace

class tst_Smoke : public QObject
{
    Q_OBJECT

private slots:
    void normalAndLoginStarts();

private:
    void start(QProcess &program, const QTemporaryDir &home, const QStringList &arguments);
};

void tst_Smoke::start(QProcess &program, const QTemporaryDir &home, const QStringList &arguments)
{
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(qEnvironmentVariable("MIRVALE_EXECUTABLE"), arguments);
    QVERIFY2(program.waitForStarted(), "MIRVALE_EXECUTABLE must name the built program");
}

void tst_Smoke::normalAndLoginStarts()
{
    // Started first, the login start is watched until the normal start has passed its first-run
    // delay: by then it must still show no window and have switched nothing on.
    QTemporaryDir loginHome;
    QProcess loginStart;
    start(loginStart, loginHome, { QStringLiteral("--startup") });
    QTemporaryDir home;
    QProcess program;
    start(program, home, {});

    // The grid: 0.4 of 1920 x 1040, raised to 480 high, centred.
    QTRY_COMPARE_WITH_TIMEOUT(mainWindowGeometry(), QRect(575, 279, 768, 480), 10000);
    // The first card (QR generator) sits in the top-left quarter of the grid.
    click(QPoint(575 + 28 + 100, 279 + 24 + 60 + 80));
    QTRY_COMPARE(mainWindowGeometry(), QRect(191, 103, 1536, 832));
    // "< Back" at the start of the page's header row.
    click(QPoint(191 + 28 + 30, 103 + 24 + 14));
    QTRY_COMPARE(mainWindowGeometry(), QRect(575, 279, 768, 480));

    // About eight seconds after a first normal start, launching at login is switched on.
    const QString entry = home.filePath(QStringLiteral(".config/autostart/mirvale.desktop"));
    QVERIFY(!QFile::exists(entry));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(entry) && defaultApplied(home), 15000);

    // With no notification area, closing the window ends the program instead of leaving it
    // unreachable. A window manager turns Alt+F4 into the close request.
    QProcess openbox;
    openbox.start(QStringLiteral("openbox"), { QStringLiteral("--sm-disable") });
    QVERIFY(openbox.waitForStarted());
    QStringList windows;
    const QStringList search { "xdotool", "search", "--onlyvisible", "--name", "^mirvale$" };
    QTRY_VERIFY_WITH_TIMEOUT(
        !(windows = runTool(search).split('\n', Qt::SkipEmptyParts)).isEmpty(), 10000);
    QCOMPARE(windows.size(), 1); // the login start's window stays unmapped
    const auto activate = [&windows] {
        runTool({ "xdotool", "windowactivate", windows.first() });
        return runTool({ "xdotool", "getactivewindow" }) == windows.first();
    };
    QTRY_VERIFY_WITH_TIMEOUT(activate(), 10000);
    runTool({ "xdotool", "key", "alt+F4" });
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    openbox.terminate();
    openbox.waitForFinished();

    QCOMPARE(loginStart.state(), QProcess::Running);
    QVERIFY(!QFile::exists(loginHome.filePath(".config/autostart/mirvale.desktop")));
    QVERIFY(!defaultApplied(loginHome));
    loginStart.terminate();
    QVERIFY(loginStart.waitForFinished());
}

// A GUI application: the test's own X connection keeps the private server from resetting each
// time its last other client leaves, which drops any client connecting at that moment.
QTEST_MAIN(tst_Smoke)
#include "tst_smoke.moc"
