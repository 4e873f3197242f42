#include "common/floatingwidget.h"
#include "common/thememanager.h"
#include "maindashboard.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {
QColor pixelAt(QWidget *window, QWidget *widget, const QPoint &pos)
{
    const QImage image = window->grab().toImage();
    return image.pixelColor(widget->mapTo(window, pos));
}

QColor badgeColour(ThemeManager::Theme theme, const QString &role)
{
    static const QHash<QString, QPair<QString, QString>> colours = {
        { QStringLiteral("accent"), { QStringLiteral("#E6F1FB"), QStringLiteral("#0C447C") } },
        { QStringLiteral("pro"), { QStringLiteral("#EEEDFE"), QStringLiteral("#3C3489") } },
        { QStringLiteral("success"), { QStringLiteral("#EAF3DE"), QStringLiteral("#27500A") } },
        { QStringLiteral("warning"), { QStringLiteral("#FAEEDA"), QStringLiteral("#633806") } },
        { QStringLiteral("danger"), { QStringLiteral("#FCEBEB"), QStringLiteral("#791F1F") } },
    };
    const auto pair = colours.value(role);
    return QColor(theme == ThemeManager::Dark ? pair.second : pair.first);
}

ThemeManager::Theme otherTheme(ThemeManager::Theme theme)
{
    return theme == ThemeManager::Dark ? ThemeManager::Light : ThemeManager::Dark;
}
} // namespace

class tst_ThemeLook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowBackgroundFollowsTheToggle_data();
    void windowBackgroundFollowsTheToggle();
    void toolBadgesShowTheirRoleColour_data();
    void toolBadgesShowTheirRoleColour();
    void openFloatingCardTakesTheOtherSheet_data();
    void openFloatingCardTakesTheOtherSheet();
    void plainButtonAndUnknownBadgeRole_data();
    void plainButtonAndUnknownBadgeRole();
};

void tst_ThemeLook::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("mirvale"));
    QCoreApplication::setApplicationName(QStringLiteral("mirvale"));
}

void tst_ThemeLook::windowBackgroundFollowsTheToggle_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("toggledBackground");
    QTest::addRow("light, then dark")
        << int(ThemeManager::Light) << QColor("#F1EFE8") << QColor("#17171A");
    QTest::addRow("dark, then light")
        << int(ThemeManager::Dark) << QColor("#17171A") << QColor("#F1EFE8");
}

void tst_ThemeLook::windowBackgroundFollowsTheToggle()
{
    QFETCH(int, theme);
    QFETCH(QColor, background);
    QFETCH(QColor, toggledBackground);

    // As at start-up: the sheet is installed before the window is built.
    ThemeManager::instance()->setTheme(ThemeManager::Theme(theme));
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    QCOMPARE(pixelAt(&dashboard, &dashboard, QPoint(4, 4)), background);
    QCOMPARE(pixelAt(&dashboard, &dashboard, QPoint(dashboard.width() - 5, dashboard.height() - 5)),
        background);

    QVERIFY(QMetaObject::invokeMethod(&dashboard, "toggleTheme"));
    QCOMPARE(int(ThemeManager::instance()->theme()), int(otherTheme(ThemeManager::Theme(theme))));
    QCOMPARE(pixelAt(&dashboard, &dashboard, QPoint(4, 4)), toggledBackground);
}

void tst_ThemeLook::toolBadgesShowTheirRoleColour_data()
{
    QTest::addColumn<int>("theme");
    QTest::addRow("light") << int(ThemeManager::Light);
    QTest::addRow("dark") << int(ThemeManager::Dark);
}

void tst_ThemeLook::toolBadgesShowTheirRoleColour()
{
    QFETCH(int, theme);
    ThemeManager::instance()->setTheme(ThemeManager::Theme(theme));
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));

    const QList<QLabel *> badges =
        dashboard.findChildren<QLabel *>(QStringLiteral("ToolIconBadge"));
    QCOMPARE(badges.size(), 6);
    const QImage image = dashboard.grab().toImage();
    QSet<QString> roles;
    for (QLabel *badge : badges) {
        const QString role = badge->property("accentRole").toString();
        roles.insert(role);
        const QColor expected = badgeColour(ThemeManager::Theme(theme), role);
        QVERIFY2(expected.isValid(), qPrintable(role));
        // Top middle: inside the rounded badge, clear of the centred icon.
        const QPoint probe = badge->mapTo(&dashboard, QPoint(badge->width() / 2, 3));
        QCOMPARE(image.pixelColor(probe), expected);
    }
    QCOMPARE(roles.size(), 5);
}

void tst_ThemeLook::openFloatingCardTakesTheOtherSheet_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<QColor>("card");
    QTest::addColumn<QColor>("toggledCard");
    QTest::addColumn<QColor>("display");
    QTest::addColumn<QColor>("toggledDisplay");
    QTest::addRow("light, then dark")
        << int(ThemeManager::Light) << QColor("#FFFFFF") << QColor("#1E1E22") << QColor("#1F1F1D")
        << QColor("#F1EFE8");
    QTest::addRow("dark, then light")
        << int(ThemeManager::Dark) << QColor("#1E1E22") << QColor("#FFFFFF") << QColor("#F1EFE8")
        << QColor("#1F1F1D");
}

void tst_ThemeLook::openFloatingCardTakesTheOtherSheet()
{
    QFETCH(int, theme);
    QFETCH(QColor, card);
    QFETCH(QColor, toggledCard);
    QFETCH(QColor, display);
    QFETCH(QColor, toggledDisplay);

    ThemeManager::instance()->setTheme(ThemeManager::Theme(theme));
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));

    // Filled the way the clock and the days counter fill theirs.
    QPointer<FloatingWidget> floating = new FloatingWidget(QStringLiteral("Tokyo"), &dashboard);
    auto *layout = new QVBoxLayout(floating->contentWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<QLabel> label = new QLabel(QStringLiteral("12:34:56"), floating->contentWidget());
    label->setObjectName(QStringLiteral("FloatingBigDisplay"));
    layout->addWidget(label);
    floating->show();
    QVERIFY(QTest::qWaitForWindowExposed(floating));

    auto *cardWidget = floating->findChild<QWidget *>(QStringLiteral("FloatingCard"));
    QVERIFY(cardWidget);
    const QPoint probe(6, cardWidget->height() / 2);
    QCOMPARE(pixelAt(floating, cardWidget, probe), card);
    QCOMPARE(label->palette().color(QPalette::WindowText), display);
    // The window around the rounded card stays see-through.
    QCOMPARE(floating->grab().toImage().pixelColor(0, 0).alpha(), 0);

    QVERIFY(QMetaObject::invokeMethod(&dashboard, "toggleTheme"));
    QVERIFY(floating);
    QVERIFY(label);
    QVERIFY(floating->isVisible());
    QCOMPARE(floating->findChild<QWidget *>(QStringLiteral("FloatingCard")), cardWidget);
    QCOMPARE(pixelAt(floating, cardWidget, probe), toggledCard);
    QCOMPARE(label->palette().color(QPalette::WindowText), toggledDisplay);
    QCOMPARE(label->font().pixelSize(), 26);
}

void tst_ThemeLook::plainButtonAndUnknownBadgeRole_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<QColor>("button");
    QTest::addRow("light") << int(ThemeManager::Light) << QColor("#FFFFFF");
    QTest::addRow("dark") << int(ThemeManager::Dark) << QColor("#232327");
}

void tst_ThemeLook::plainButtonAndUnknownBadgeRole()
{
    QFETCH(int, theme);
    QFETCH(QColor, button);
    ThemeManager::instance()->setTheme(ThemeManager::Theme(theme));

    QWidget host;
    auto *row = new QHBoxLayout(&host);
    row->setContentsMargins(10, 10, 10, 10);
    auto *plain = new QPushButton(QStringLiteral("Plain"), &host);
    auto *known = new QLabel(&host);
    known->setObjectName(QStringLiteral("ToolIconBadge"));
    known->setProperty("accentRole", QStringLiteral("success"));
    known->setFixedSize(60, 60);
    auto *unknown = new QLabel(&host);
    unknown->setObjectName(QStringLiteral("ToolIconBadge"));
    unknown->setProperty("accentRole", QStringLiteral("mauve"));
    unknown->setFixedSize(60, 60);
    row->addWidget(plain);
    row->addWidget(known);
    row->addWidget(unknown);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    const QImage image = host.grab().toImage();
    const QColor hostBackground = image.pixelColor(2, 2);
    QCOMPARE(image.pixelColor(plain->mapTo(&host, QPoint(plain->width() / 2, 3))), button);
    QCOMPARE(image.pixelColor(known->mapTo(&host, QPoint(30, 3))),
        badgeColour(ThemeManager::Theme(theme), QStringLiteral("success")));
    QCOMPARE(image.pixelColor(unknown->mapTo(&host, QPoint(30, 3))), hostBackground);
    // The rounded corner of a known badge shows what is behind it.
    QCOMPARE(image.pixelColor(known->mapTo(&host, QPoint(0, 0))), hostBackground);
}

QTEST_MAIN(tst_ThemeLook)
#include "tst_themelook.moc"
