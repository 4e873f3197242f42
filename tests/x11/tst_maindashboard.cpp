#include "maindashboard.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

namespace {
// The suite runs on a 1920 x 1040 screen with no task bar.
const QRect gridGeometry(575, 279, 768, 480);
const QRect pageGeometry(191, 103, 1536, 832);

// In the order of the cards and the pages.
struct Tool
{
    const char *id, *page, *title, *role;
} const tools[] = { { "qr", "QRGeneratorPage", "QR generator", "accent" },
    { "text", "TextToolsPage", "Text tools", "pro" },
    { "image", "ImageResizerPage", "Image resizer", "success" },
    { "clock", "ClockSuitePage", "Clock suite", "warning" },
    { "days", "DaysCounterPage", "Days counter", "danger" },
    { "pdf", "PdfToolsPage", "PDF tools", "accent" } };

void openTool(MainDashboard &dashboard, const QString &id)
{
    QVERIFY(QMetaObject::invokeMethod(&dashboard, "openTool", Q_ARG(QString, id)));
}
} // namespace

class tst_MainDashboard : public QObject
{
    Q_OBJECT

private slots:
    void eachCardOpensItsPageAndBackReturns_data();
    void eachCardOpensItsPageAndBackReturns();
    void ignoresUnknownToolIds();
    void resizesOnlyOnPageChangeAndFirstShow();
    void leavesMaximisedWindowAlone();
};

void tst_MainDashboard::eachCardOpensItsPageAndBackReturns_data()
{
    QTest::addColumn<int>("index");
    for (int index = 1; index <= 6; ++index) {
        QTest::addRow("%s", tools[index - 1].id) << index;
    }
}

void tst_MainDashboard::eachCardOpensItsPageAndBackReturns()
{
    QFETCH(int, index);
    const Tool &tool = tools[index - 1];
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    auto *stack = dashboard.findChild<QStackedWidget *>();
    QCOMPARE(stack->count(), 7);
    QCOMPARE(stack->widget(index)->metaObject()->className(), tool.page);

    const auto cards = dashboard.findChildren<QPushButton *>(QStringLiteral("ToolCard"));
    QCOMPARE(cards.size(), 6);
    QPushButton *card = cards.at(index - 1);
    auto *label = card->findChild<QLabel *>(QStringLiteral("ToolLabel"));
    QCOMPARE(label->text(), tool.title);
    const auto *badge = card->findChild<QLabel *>(QStringLiteral("ToolIconBadge"));
    QCOMPARE(badge->property("accentRole").toString(), tool.role);
    // A click on the card's label counts as a click on the card.
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), index);
    QCOMPARE(dashboard.geometry(), pageGeometry);

    auto *back = stack->widget(index)->findChild<QPushButton *>(QStringLiteral("BackButton"));
    QCOMPARE(back->text(), QStringLiteral("< Back"));
    QCOMPARE(back->width(), 70);
    back->click();
    QCOMPARE(stack->currentIndex(), 0);
    QCOMPARE(dashboard.geometry(), gridGeometry);
}

void tst_MainDashboard::ignoresUnknownToolIds()
{
    MainDashboard dashboard;
    auto *stack = dashboard.findChild<QStackedWidget *>();
    QSignalSpy spy(stack, &QStackedWidget::currentChanged);
    const QStringList ids { "QR", "", "calculator", " qr" };
    for (const QString &id : ids) {
        openTool(dashboard, id);
    }
    QCOMPARE(spy.size(), 0);
    openTool(dashboard, QStringLiteral("days"));
    for (const QString &id : ids) {
        openTool(dashboard, id);
    }
    QCOMPARE(stack->currentIndex(), 5);
}

void tst_MainDashboard::resizesOnlyOnPageChangeAndFirstShow()
{
    MainDashboard dashboard;
    // Built hidden, as after a start at login, and resized before it first shows.
    dashboard.resize(300, 200);
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    QCOMPARE(dashboard.geometry(), gridGeometry);
    dashboard.resize(900, 700);
    dashboard.hide();
    dashboard.show();
    QCOMPARE(dashboard.size(), QSize(900, 700));

    openTool(dashboard, QStringLiteral("pdf"));
    dashboard.resize(1000, 700);
    openTool(dashboard, QStringLiteral("pdf"));
    QCOMPARE(dashboard.size(), QSize(1000, 700));
    openTool(dashboard, QStringLiteral("clock"));
    QCOMPARE(dashboard.geometry(), pageGeometry);
}

void tst_MainDashboard::leavesMaximisedWindowAlone()
{
    MainDashboard dashboard;
    dashboard.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    QTRY_VERIFY(dashboard.isMaximized());
    const QRect before = dashboard.geometry();
    openTool(dashboard, QStringLiteral("qr"));
    QCOMPARE(dashboard.findChild<QStackedWidget *>()->currentIndex(), 1);
    QCOMPARE(dashboard.geometry(), before);
}

QTEST_MAIN(tst_MainDashboard)
#include "tst_maindashboard.moc"
