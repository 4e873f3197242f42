#include "common/floatingwidget.h"
#include "common/thememanager.h"
#include "maindashboard.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
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

// Light and dark values, indexed by ThemeManager::Theme.
const QColor windowBackground[] = { QColor("#F1EFE8"), QColor("#17171A") };
const QColor cardBackground[] = { QColor("#FFFFFF"), QColor("#1E1E22") };
const QColor bigDisplayText[] = { QColor("#1F1F1D"), QColor("#F1EFE8") };

} // namespace

class tst_ThemeLook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void coloursFollowTheToggle_data();
    void coloursFollowTheToggle();
};

void tst_ThemeLook::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("mirvale"));
    QCoreApplication::setApplicationName(QStringLiteral("mirvale"));
}

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
    auto *layout = new QVBoxLayout(floating->contentWidget());
    QPointer<QLabel> label = new QLabel(QStringLiteral("12:34:56"), floating->contentWidget());
    label->setObjectName(QStringLiteral("FloatingBigDisplay"));
    layout->addWidget(label);
    floating->show();
    QVERIFY(QTest::qWaitForWindowExposed(floating));

    const QImage image = dashboard.grab().toImage();
    QCOMPARE(image.pixelColor(4, 4), windowBackground[theme]);
    QCOMPARE(
        image.pixelColor(dashboard.width() - 5, dashboard.height() - 5), windowBackground[theme]);
    const QList<QLabel *> badges =
        dashboard.findChildren<QLabel *>(QStringLiteral("ToolIconBadge"));
    QSet<QString> roles;
    for (QLabel *badge : badges) {
        const QString role = badge->property("accentRole").toString();
        roles.insert(role);
        // Top middle: inside the rounded badge, clear of the centred icon.
        const QPoint probe = badge->mapTo(&dashboard, QPoint(badge->width() / 2, 3));
        QCOMPARE(image.pixelColor(probe), badgeColour(ThemeManager::Theme(theme), role));
    }
    QCOMPARE(roles.size(), 5);

    auto *card = floating->findChild<QWidget *>(QStringLiteral("FloatingCard"));
    const QPoint probe(6, card->height() / 2);
    QCOMPARE(pixelAt(floating, card, probe), cardBackground[theme]);
    QCOMPARE(label->palette().color(QPalette::WindowText), bigDisplayText[theme]);
    // The window around the rounded card stays see-through.
    QCOMPARE(floating->grab().toImage().pixelColor(0, 0).alpha(), 0);

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
