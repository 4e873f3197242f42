// Starts the built program the way a user does and looks at it from outside, as another X client.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct WindowInfo
{
    bool viewable = false;
    QRect geometry;
};

// What xwininfo says of the top-level window named "mirvale", if there is one.
WindowInfo mainWindowInfo()
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), { QStringLiteral("-name"), QStringLiteral("mirvale") });
    if (!xwininfo.waitForFinished(5000) || xwininfo.exitCode() != 0) {
        return {};
    }
    const QString out = QString::fromLocal8Bit(xwininfo.readAllStandardOutput());
    const auto number = [&out](const char *label) {
        const QRegularExpression re(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(label)));
        return re.match(out).captured(1).toInt();
    };
    WindowInfo info;
    info.viewable = out.contains(QLatin1String("Map State: IsViewable"));
    info.geometry = QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"),
                          number("Width"), number("Height"));
    return info;
}

// Runs xdotool with a deadline (it can wait forever on a window manager) and returns its output.
QString runTool(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForFinished(5000)) {
        xdotool.kill();
        xdotool.waitForFinished();
        return QString();
    }
    return QString::fromLocal8Bit(xdotool.readAllStandardOutput()).trimmed();
}

void click(const QPoint &at)
{
    runTool({ QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
              QStringLiteral("click"), QStringLiteral("1") });
}
} // namespace

class tst_Smoke : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void normalStartShowsSizesAndRegisters();
    void loginStartStaysHidden();

private:
    void startProgram(QProcess &program, const QTemporaryDir &home, const QStringList &arguments);
    QString m_executable;
};

void tst_Smoke::initTestCase()
{
    m_executable = qEnvironmentVariable("MIRVALE_EXECUTABLE");
    QVERIFY2(QFile::exists(m_executable), "MIRVALE_EXECUTABLE must name the built program");
}

void tst_Smoke::startProgram(QProcess &program, const QTemporaryDir &home,
                             const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(m_executable, arguments);
    QVERIFY(program.waitForStarted());
}

void tst_Smoke::normalStartShowsSizesAndRegisters()
{
    QTemporaryDir home;
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));
    QProcess program;
    startProgram(program, home, {});

    // The grid: 0.4 of 1920 x 1040, raised to 480 high, centred.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowInfo().viewable, 10000);
    QTRY_COMPARE(mainWindowInfo().geometry, QRect(575, 279, 768, 480));

    // The first card (QR generator) sits in the top-left quarter of the grid.
    click(QPoint(575 + 28 + 100, 279 + 24 + 60 + 80));
    QTRY_COMPARE(mainWindowInfo().geometry, QRect(191, 103, 1536, 832));

    // "< Back" at the start of the page's header row.
    click(QPoint(191 + 28 + 30, 103 + 24 + 14));
    QTRY_COMPARE(mainWindowInfo().geometry, QRect(575, 279, 768, 480));

    // About eight seconds after a first normal start, launching at login is switched on.
    const QString entry = home.filePath(QStringLiteral(".config/autostart/mirvale.desktop"));
    QVERIFY(!QFile::exists(entry));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(entry), 15000);
    QSettings settings(home.filePath(QStringLiteral(".config/mirvale/mirvale.conf")),
                       QSettings::IniFormat);
    const auto defaultApplied = [&settings] {
        settings.sync();
        return settings.value(QStringLiteral("startup/defaultApplied")).toBool();
    };
    QTRY_VERIFY(defaultApplied());
    QCOMPARE(settings.value(QStringLiteral("appearance/theme")).toString(), QStringLiteral("light"));

    // With no notification area, closing the window ends the program instead of leaving it
    // unreachable. A window manager turns Alt+F4 into the close request.
    QProcess openbox;
    openbox.start(QStringLiteral("openbox"), { QStringLiteral("--sm-disable") });
    QVERIFY(openbox.waitForStarted());
    QString window;
    QTRY_VERIFY_WITH_TIMEOUT(!(window = runTool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--name"), QStringLiteral("^mirvale$") })
                                          .section(QLatin1Char('\n'), 0, 0))
                                      .isEmpty(),
                             10000);
    // Once the window manager runs, it makes the window active on request.
    const auto activate = [&window] {
        runTool({ QStringLiteral("windowactivate"), window });
        return runTool({ QStringLiteral("getactivewindow") }) == window;
    };
    QTRY_VERIFY_WITH_TIMEOUT(activate(), 10000);
    runTool({ QStringLiteral("key"), QStringLiteral("alt+F4") });
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    openbox.terminate();
    openbox.waitForFinished();
}

void tst_Smoke::loginStartStaysHidden()
{
    QTemporaryDir home;
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));
    QProcess program;
    startProgram(program, home, { QStringLiteral("--startup") });

    // Past the first-run delay: still no window, and no default applied.
    QTest::qWait(9500);
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(!mainWindowInfo().viewable);
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral(".config/autostart/mirvale.desktop"))));
    QSettings settings(home.filePath(QStringLiteral(".config/mirvale/mirvale.conf")),
                       QSettings::IniFormat);
    QVERIFY(!settings.contains(QStringLiteral("startup/defaultApplied")));

    program.terminate();
    QVERIFY(program.waitForFinished());
}

QTEST_GUILESS_MAIN(tst_Smoke)
#include "tst_smoke.moc"
