#include "common/floatingwidget.h"
#include "common/thememanager.h"
#include "maindashboard.h"

#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

namespace {
// Light and dark values, indexed by ThemeManager::Theme.
using Pair = std::array<QColor, 2>;
const Pair windowBackground { QColor(0xF1EFE8), QColor(0x17171A) };
const Pair cardBackground { QColor(0xFFFFFF), QColor(0x1E1E22) };
const Pair bigDisplayText { QColor(0x1F1F1D), QColor(0xF1EFE8) };
const Pair accentBadgeBackground { QColor(0xE6F1FB), QColor(0x0C447C) };

QColor pixelAt(QWidget *window, QWidget *widget, const QPoint &pos)
{
    return window->grab().toImage().pixelColor(widget->mapTo(window, pos));
}
} // namespace

class tst_ThemeLook : public QObject
{
    Q_OBJECT

private slots:
    void coloursFollowTheToggle_data();
    void coloursFollowTheToggle();
};

void tst_ThemeLook::coloursFollowTheToggle_data()
{
    QTest::addColumn<int>("theme");
    QTest::addRow("light, then dark") << int(ThemeManager::Light);
    QTest::addRow("dark, then light") << int(ThemeManager::Dark);
}

void tst_ThemeLook::coloursFollowTheToggle()
{
    QFETCH(int, theme);
    // As at start-up: the sheet is installed before the window is built.
    ThemeManager::instance()->setTheme(ThemeManager::Theme(theme));
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    // A floating card filled the way the clock and the days counter fill theirs.
    QPointer<FloatingWidget> floating = new FloatingWidget(QStringLiteral("Tokyo"), &dashboard);
    QPointer<QLabel> label = new QLabel(QStringLiteral("12:34:56"), floating->contentWidget());
    label->setObjectName(QStringLiteral("FloatingBigDisplay"));
    (new QVBoxLayout(floating->contentWidget()))->addWidget(label);
    floating->show();
    QVERIFY(QTest::qWaitForWindowExposed(floating));

    const QImage image = dashboard.grab().toImage();
    QCOMPARE(image.pixelColor(4, 4), windowBackground[theme]);
    // The first card's badge, in the accent role: top middle, inside the rounded badge and clear
    // of the centred icon.
    auto *badge = dashboard.findChild<QLabel *>(QStringLiteral("ToolIconBadge"));
    QCOMPARE(badge->property("accentRole").toString(), QStringLiteral("accent"));
    const QPoint badgeProbe = badge->mapTo(&dashboard, QPoint(badge->width() / 2, 3));
    QCOMPARE(image.pixelColor(badgeProbe), accentBadgeBackground[theme]);

    auto *card = floating->findChild<QWidget *>(QStringLiteral("FloatingCard"));
    const QPoint probe(6, card->height() / 2);
    QCOMPARE(pixelAt(floating, card, probe), cardBackground[theme]);
    QCOMPARE(label->palette().color(QPalette::WindowText), bigDisplayText[theme]);

    QVERIFY(QMetaObject::invokeMethod(&dashboard, "toggleTheme"));
    QCOMPARE(dashboard.grab().toImage().pixelColor(4, 4), windowBackground[1 - theme]);
    // The open card and its label are restyled in place, not rebuilt.
    QVERIFY(floating && label && floating->isVisible());
    QCOMPARE(floating->findChild<QWidget *>(QStringLiteral("FloatingCard")), card);
    QCOMPARE(pixelAt(floating, card, probe), cardBackground[1 - theme]);
    QCOMPARE(label->palette().color(QPalette::WindowText), bigDisplayText[1 - theme]);
}

QTEST_MAIN(tst_ThemeLook)
#include "tst_themelook.moc"
