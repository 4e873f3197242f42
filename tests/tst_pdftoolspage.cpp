#include "tools/pdf/pdftoolspage.h"
#include "tools/pdf/thumbnaillist.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

// Qt's own message boxes, so the tests can find and answer them.
const bool s_qtDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

// Answers the one message box a test expects with the given button (Escape when the box has no
// such button), recording what it showed. Gives up after five seconds; a test that expects no
// box checks that none was answered.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer)
        : m_answer(answer)
    {
        m_poll.setInterval(20);
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start();
        m_deadline.start();
    }

    bool answered = false;
    QString title;
    QString text;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            if (m_deadline.hasExpired(5000)) {
                m_poll.stop();
            }
            return;
        }
        m_poll.stop();
        answered = true;
        title = modal->windowTitle();
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (box) {
            text = box->text();
        }
        QAbstractButton *button = box ? box->button(m_answer) : nullptr;
        if (button) {
            button->click();
        } else {
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    }

    QMessageBox::StandardButton m_answer;
    QTimer m_poll;
    QElapsedTimer m_deadline;
};

// Pages told apart by their width.
QImage pageOfWidth(int width)
{
    QImage page(width, 120, QImage::Format_RGB32);
    page.fill(QColor::fromHsv((width * 37) % 360, 180, 220));
    return page;
}

QList<QImage> pagesOfWidths(const QList<int> &widths)
{
    QList<QImage> pages;
    for (const int width : widths) {
        pages.append(pageOfWidth(width));
    }
    return pages;
}

QList<int> widthsOf(const QList<QImage> &pages)
{
    QList<int> widths;
    for (const QImage &page : pages) {
        widths.append(page.width());
    }
    return widths;
}

// A PDF with pages of the given widths in points (all 200 points high), each with some text.
bool writePdf(const QString &path, const QList<int> &widthsInPoints)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter painter;
    for (qsizetype i = 0; i < widthsInPoints.size(); ++i) {
        writer.setPageSize(QPageSize(
            QSizeF(widthsInPoints.at(i), 200), QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (i == 0 ? !painter.begin(&writer) : !writer.newPage()) {
            return false;
        }
        painter.drawText(QPointF(10, 30), QStringLiteral("Page %1").arg(i + 1));
    }
    return painter.end();
}

// Pixel width of a page of w points rendered at 200 dpi.
int renderedWidth(int points)
{
    return qRound(points * 200.0 / 72.0);
}

} // namespace

class tst_PdfToolsPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsEmpty();
    void showsPages_data();
    void showsPages();
    void fitsPageIntoView_data();
    void fitsPageIntoView();
    void loadsPdfAtPosition_data();
    void loadsPdfAtPosition();
    void replacesWithPdfAndRemembersPath();
    void failedPdfChangesNothing_data();
    void failedPdfChangesNothing();
    void loadsImageWithoutTouchingPath();
    void ignoresUnreadableImageSilently();
    void keepsFifteenSnapshots();
    void undoDoesNotRestoreSelection();
    void undoOfFirstAdditionEmptiesDocument();
    void undoOfAdditionSelectsLastPage();
    void closesEmptyDocumentWithoutAsking();
    void closeDeclinedChangesNothing_data();
    void closeDeclinedChangesNothing();
    void closeConfirmedEmptiesDocument();
    void reordersByMovedRow_data();
    void reordersByMovedRow();
    void refusesInconsistentOrder();
    void mapsDropPositionToRow();

private:
    // A page holding pages (widths) with the given selection, its views refreshed.
    void fill(const QList<int> &widths, int currentIndex);
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfToolsPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
    m_page = std::make_unique<PdfToolsPage>();
}

void tst_PdfToolsPage::cleanup()
{
    m_page.reset();
    m_dir.reset();
}

void tst_PdfToolsPage::fill(const QList<int> &widths, int currentIndex)
{
    m_page->m_pages = pagesOfWidths(widths);
    m_page->m_currentIndex = currentIndex;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
}

void tst_PdfToolsPage::startsEmpty()
{
    PdfToolsPage &page = *m_page;
    QCOMPARE(page.objectName(), QStringLiteral("PdfToolsPage"));
    QCOMPARE(page.m_thumbList->count(), 0);
    QCOMPARE(page.m_infoLabel->text(), QString());
    QCOMPARE(page.m_pageLabel->text(), QStringLiteral("No page selected"));
    QVERIFY(page.m_stampBar->isHidden());
    QVERIFY(page.m_ocrPanel->isHidden());
    QCOMPARE(
        page.m_statusLabel->text(), QStringLiteral("Open a PDF (or add images) to start editing."));
    QVERIFY(!page.m_undoButton->isEnabled());
    QCOMPARE(page.m_currentIndex, -1);
    QCOMPARE(page.m_stampColor, QColor(Qt::black));
    QCOMPARE(page.m_thumbList->width(), 150);
}

void tst_PdfToolsPage::showsPages_data()
{
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<QString>("count");

    QTest::addRow("three pages, second selected") << 3 << 1 << QStringLiteral("3 page(s)");
    QTest::addRow("one page") << 1 << 0 << QStringLiteral("1 page(s)");
    QTest::addRow("pages but none selected") << 3 << -1 << QStringLiteral("3 page(s)");
    QTest::addRow("selection past the end") << 2 << 2 << QStringLiteral("2 page(s)");
    QTest::addRow("no pages") << 0 << -1 << QString();
}

void tst_PdfToolsPage::showsPages()
{
    QFETCH(int, pageCount);
    QFETCH(int, currentIndex);
    QFETCH(QString, count);

    QList<int> widths;
    for (int i = 0; i < pageCount; ++i) {
        widths.append(100 + 10 * i);
    }
    fill(widths, currentIndex);
    PdfToolsPage &page = *m_page;

    QCOMPARE(page.m_thumbList->count(), pageCount);
    for (int row = 0; row < pageCount; ++row) {
        const QListWidgetItem *item = page.m_thumbList->item(row);
        QCOMPARE(item->text(), QStringLiteral("Page %1").arg(row + 1));
        QCOMPARE(item->data(Qt::UserRole).toInt(), row);
        QVERIFY(!item->icon().isNull());
    }
    QCOMPARE(page.m_infoLabel->text(), count);

    const bool selected = currentIndex >= 0 && currentIndex < pageCount;
    QCOMPARE(page.m_thumbList->currentRow(), selected ? currentIndex : -1);
    if (selected) {
        const QSize expected =
            page.m_pages.at(currentIndex).size().scaled(QSize(560, 780), Qt::KeepAspectRatio);
        QCOMPARE(page.m_pageLabel->pixmap().size(), expected);
        QCOMPARE(page.m_pageLabel->size(), expected);
    } else {
        QVERIFY(page.m_pageLabel->pixmap().isNull());
        QCOMPARE(page.m_pageLabel->text(), QStringLiteral("No page selected"));
        QCOMPARE(page.m_pageLabel->size(), QSize(200, 200));
    }
}

void tst_PdfToolsPage::fitsPageIntoView_data()
{
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("shown");

    QTest::addRow("small page enlarged") << QSize(280, 390) << QSize(560, 780);
    QTest::addRow("letter page reduced") << QSize(1700, 2200) << QSize(560, 724);
    QTest::addRow("landscape page reduced") << QSize(2200, 1700) << QSize(560, 432);
}

void tst_PdfToolsPage::fitsPageIntoView()
{
    QFETCH(QSize, pageSize);
    QFETCH(QSize, shown);

    QImage image(pageSize, QImage::Format_RGB32);
    image.fill(Qt::gray);
    m_page->m_pages = { image };
    m_page->m_currentIndex = 0;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
    QCOMPARE(m_page->m_pageLabel->pixmap().size(), shown);
    QCOMPARE(m_page->m_pageLabel->size(), shown);
}

void tst_PdfToolsPage::loadsPdfAtPosition_data()
{
    QTest::addColumn<int>("insertAt");
    QTest::addColumn<QList<int>>("expected");

    const int a = renderedWidth(100);
    const int b = renderedWidth(110);
    const int c = renderedWidth(120);
    QTest::addRow("after the first page") << 1 << QList<int> { 11, a, b, c, 22 };
    QTest::addRow("before the first page") << 0 << QList<int> { a, b, c, 11, 22 };
    QTest::addRow("at the count") << 2 << QList<int> { 11, 22, a, b, c };
    QTest::addRow("beyond the count") << 3 << QList<int> { 11, 22, a, b, c };
    QTest::addRow("minus one") << -1 << QList<int> { 11, 22, a, b, c };
    QTest::addRow("negative") << -5 << QList<int> { 11, 22, a, b, c };
}

void tst_PdfToolsPage::loadsPdfAtPosition()
{
    QFETCH(int, insertAt);
    QFETCH(QList<int>, expected);

    const QString file = path(QStringLiteral("three.pdf"));
    QVERIFY(writePdf(file, { 100, 110, 120 }));
    fill({ 11, 22 }, 0);
    m_page->m_currentPath = QStringLiteral("/earlier/file.pdf");

    QVERIFY(m_page->loadPdf(file, true, insertAt));
    QCOMPARE(widthsOf(m_page->m_pages), expected);
    QCOMPARE(m_page->m_currentPath, QStringLiteral("/earlier/file.pdf"));
    // Loading leaves selection, history and views to its caller.
    QCOMPARE(m_page->m_currentIndex, 0);
    QVERIFY(m_page->m_undoStack.isEmpty());
    QCOMPARE(m_page->m_thumbList->count(), 2);
}

void tst_PdfToolsPage::replacesWithPdfAndRemembersPath()
{
    const QString file = path(QStringLiteral("report.pdf"));
    QVERIFY(writePdf(file, { 612, 300 }));
    fill({ 11, 22, 33 }, 2);

    QVERIFY(m_page->loadPdf(file, false, -1));
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 1700, renderedWidth(300) }));
    QCOMPARE(m_page->m_pages.at(0).size(), QSize(1700, 556));
    QCOMPARE(m_page->m_currentPath, file);
}

void tst_PdfToolsPage::failedPdfChangesNothing_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("replace");

    QTest::addRow("garbage, replacing") << QByteArray("not a pdf") << true;
    QTest::addRow("garbage, appending") << QByteArray("not a pdf") << false;
    QTest::addRow("missing file") << QByteArray() << true;
    QTest::addRow("page too large to hold") << QByteArray("huge") << true;
}

void tst_PdfToolsPage::failedPdfChangesNothing()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, replace);

    const QString file = path(QStringLiteral("bad.pdf"));
    if (contents == "huge") {
        QVERIFY(writePdf(file, { 612, 14400 }));
    } else if (!contents.isEmpty()) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(contents);
    }
    fill({ 11, 22 }, 1);
    m_page->m_currentPath = QStringLiteral("/earlier/file.pdf");
    m_page->setStatus(QStringLiteral("previous status"));

    BoxAnswerer answerer(QMessageBox::Ok);
    QVERIFY(!m_page->loadPdf(file, !replace, -1));
    QVERIFY(answerer.answered);
    QCOMPARE(answerer.title, QStringLiteral("mirvale"));
    QCOMPARE(answerer.text, QStringLiteral("Could not open: %1").arg(file));
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 11, 22 }));
    QCOMPARE(m_page->m_currentPath, QStringLiteral("/earlier/file.pdf"));
    QCOMPARE(m_page->m_currentIndex, 1);
    QCOMPARE(m_page->m_statusLabel->text(), QStringLiteral("previous status"));
}

void tst_PdfToolsPage::loadsImageWithoutTouchingPath()
{
    const QString file = path(QStringLiteral("scan.png"));
    QVERIFY(pageOfWidth(800).save(file));
    fill({ 11, 22 }, 0);
    m_page->m_currentPath = QStringLiteral("/earlier/file.pdf");

    QVERIFY(m_page->loadImage(file, true, 1));
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 11, 800, 22 }));
    QVERIFY(m_page->loadImage(file, false, -1));
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 800 }));
    QCOMPARE(m_page->m_currentPath, QStringLiteral("/earlier/file.pdf"));
}

void tst_PdfToolsPage::ignoresUnreadableImageSilently()
{
    const QString file = path(QStringLiteral("broken.png"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("not an image");
    out.close();
    fill({ 11, 22 }, 0);

    BoxAnswerer guard(QMessageBox::Ok);
    QVERIFY(!m_page->loadImage(file, false, -1));
    QVERIFY(!guard.answered);
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 11, 22 }));
}

void tst_PdfToolsPage::keepsFifteenSnapshots()
{
    PdfToolsPage &page = *m_page;
    for (int edit = 1; edit <= 16; ++edit) {
        page.pushUndo();
        page.m_pages.append(pageOfWidth(edit));
    }
    QCOMPARE(page.m_undoStack.size(), 15);
    QVERIFY(page.m_undoButton->isEnabled());

    for (int i = 0; i < 15; ++i) {
        QVERIFY(QMetaObject::invokeMethod(&page, "undo"));
    }
    // Back to the state after the first edit.
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1 }));
    QVERIFY(!page.m_undoButton->isEnabled());
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("Undid last action"));

    page.setStatus(QStringLiteral("something else"));
    QVERIFY(QMetaObject::invokeMethod(&page, "undo"));
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1 }));
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("something else"));
}

void tst_PdfToolsPage::undoDoesNotRestoreSelection()
{
    fill({ 1, 2, 3, 4, 5 }, 4);
    PdfToolsPage &page = *m_page;
    // Removing page 5 of five selects page 4.
    page.pushUndo();
    page.m_pages.removeAt(4);
    page.m_currentIndex = 3;
    page.refreshThumbnails();
    page.showCurrentPage();

    QVERIFY(QMetaObject::invokeMethod(&page, "undo"));
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1, 2, 3, 4, 5 }));
    QCOMPARE(page.m_currentIndex, 3);
    QCOMPARE(page.m_thumbList->currentRow(), 3);
}

void tst_PdfToolsPage::undoOfFirstAdditionEmptiesDocument()
{
    PdfToolsPage &page = *m_page;
    const QString file = path(QStringLiteral("scan.png"));
    QVERIFY(pageOfWidth(300).save(file));
    page.pushUndo();
    QVERIFY(page.loadImage(file, true, -1));
    QVERIFY(page.loadImage(file, true, -1));
    page.m_currentIndex = 0;
    page.refreshThumbnails();
    page.showCurrentPage();
    QCOMPARE(page.m_thumbList->count(), 2);

    QVERIFY(QMetaObject::invokeMethod(&page, "undo"));
    QVERIFY(page.m_pages.isEmpty());
    QCOMPARE(page.m_currentIndex, -1);
    QCOMPARE(page.m_thumbList->count(), 0);
    QCOMPARE(page.m_infoLabel->text(), QString());
    QCOMPARE(page.m_pageLabel->text(), QStringLiteral("No page selected"));
    QVERIFY(page.m_pageLabel->pixmap().isNull());
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("Undid last action"));
    QVERIFY(!page.m_undoButton->isEnabled());
}

void tst_PdfToolsPage::undoOfAdditionSelectsLastPage()
{
    fill({ 1, 2 }, 0);
    PdfToolsPage &page = *m_page;
    page.pushUndo();
    page.m_pages.append(pagesOfWidths({ 3, 4 }));
    page.m_currentIndex = 3;
    page.refreshThumbnails();

    QVERIFY(QMetaObject::invokeMethod(&page, "undo"));
    QCOMPARE(page.m_currentIndex, 1);
    QCOMPARE(page.m_thumbList->currentRow(), 1);
    QCOMPARE(page.m_pageLabel->pixmap().size(),
        page.m_pages.at(1).size().scaled(QSize(560, 780), Qt::KeepAspectRatio));
}

void tst_PdfToolsPage::closesEmptyDocumentWithoutAsking()
{
    m_page->m_currentPath = QStringLiteral("/earlier/file.pdf");
    BoxAnswerer guard(QMessageBox::No);
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "closeDocument"));
    QVERIFY(!guard.answered);
    QCOMPARE(m_page->m_statusLabel->text(),
        QStringLiteral("Closed. Open a PDF (or add images) to start editing."));
    QVERIFY(m_page->m_currentPath.isEmpty());
}

void tst_PdfToolsPage::closeDeclinedChangesNothing_data()
{
    QTest::addColumn<int>("answer");

    QTest::addRow("No") << int(QMessageBox::No);
    QTest::addRow("Escape") << int(QMessageBox::Cancel);
}

void tst_PdfToolsPage::closeDeclinedChangesNothing()
{
    QFETCH(int, answer);

    fill({ 1, 2, 3 }, 2);
    PdfToolsPage &page = *m_page;
    page.pushUndo();
    page.m_currentPath = QStringLiteral("/earlier/file.pdf");
    page.setStatus(QStringLiteral("previous status"));

    BoxAnswerer answerer { QMessageBox::StandardButton(answer) };
    QVERIFY(QMetaObject::invokeMethod(&page, "closeDocument"));
    QVERIFY(answerer.answered);
    QCOMPARE(answerer.title, QStringLiteral("Close"));
    QCOMPARE(answerer.text,
        QStringLiteral("Close the current document? Any unsaved changes will be lost."));
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1, 2, 3 }));
    QCOMPARE(page.m_undoStack.size(), 1);
    QVERIFY(page.m_undoButton->isEnabled());
    QCOMPARE(page.m_currentIndex, 2);
    QCOMPARE(page.m_thumbList->count(), 3);
    QCOMPARE(page.m_currentPath, QStringLiteral("/earlier/file.pdf"));
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("previous status"));
}

void tst_PdfToolsPage::closeConfirmedEmptiesDocument()
{
    fill({ 1, 2, 3 }, 2);
    PdfToolsPage &page = *m_page;
    page.pushUndo();
    page.m_currentPath = QStringLiteral("/earlier/file.pdf");
    page.m_comments.append(PageComment { 1, QPoint(5, 5), QStringLiteral("kept") });

    BoxAnswerer answerer(QMessageBox::Yes);
    QVERIFY(QMetaObject::invokeMethod(&page, "closeDocument"));
    QVERIFY(answerer.answered);
    QVERIFY(page.m_pages.isEmpty());
    QVERIFY(page.m_undoStack.isEmpty());
    QVERIFY(!page.m_undoButton->isEnabled());
    QCOMPARE(page.m_currentIndex, -1);
    QVERIFY(page.m_currentPath.isEmpty());
    QCOMPARE(page.m_thumbList->count(), 0);
    QCOMPARE(page.m_infoLabel->text(), QString());
    QCOMPARE(page.m_pageLabel->text(), QStringLiteral("No page selected"));
    QCOMPARE(page.m_statusLabel->text(),
        QStringLiteral("Closed. Open a PDF (or add images) to start editing."));
    QCOMPARE(page.m_comments.size(), 1);
}

void tst_PdfToolsPage::reordersByMovedRow_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("destination"); // as QAbstractItemModel::moveRow counts it
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<int>("selected");

    QTest::addRow("third to the top") << 2 << 0 << QList<int> { 3, 1, 2 } << 0;
    QTest::addRow("first to the end") << 0 << 3 << QList<int> { 2, 3, 1 } << 2;
    QTest::addRow("second below the third") << 1 << 3 << QList<int> { 1, 3, 2 } << 2;
}

void tst_PdfToolsPage::reordersByMovedRow()
{
    QFETCH(int, from);
    QFETCH(int, destination);
    QFETCH(QList<int>, order);
    QFETCH(int, selected);

    fill({ 1, 2, 3 }, 0);
    PdfToolsPage &page = *m_page;
    page.m_thumbList->setCurrentRow(from);
    QCOMPARE(page.m_currentIndex, from);

    QVERIFY(page.m_thumbList->model()->moveRow(QModelIndex(), from, QModelIndex(), destination));
    QCOMPARE(widthsOf(page.m_pages), order);
    QCOMPARE(page.m_currentIndex, selected);
    QCOMPARE(page.m_thumbList->currentRow(), selected);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(page.m_thumbList->item(row)->text(), QStringLiteral("Page %1").arg(row + 1));
        QCOMPARE(page.m_thumbList->item(row)->data(Qt::UserRole).toInt(), row);
    }
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("Reordered pages"));
    QCOMPARE(page.m_undoStack.size(), 1);
    QVERIFY(page.m_undoButton->isEnabled());

    QVERIFY(QMetaObject::invokeMethod(&page, "undo"));
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1, 2, 3 }));
    QVERIFY(!page.m_undoButton->isEnabled());
}

void tst_PdfToolsPage::refusesInconsistentOrder()
{
    fill({ 1, 2, 3 }, 0);
    PdfToolsPage &page = *m_page;
    page.setStatus(QStringLiteral("previous status"));
    // A row claiming another row's page: taking it would double one page and lose another.
    page.m_thumbList->item(2)->setData(Qt::UserRole, 0);

    QVERIFY(page.m_thumbList->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1, 2, 3 }));
    QVERIFY(page.m_undoStack.isEmpty());
    QVERIFY(!page.m_undoButton->isEnabled());
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("previous status"));
    // The list shows the document again.
    QCOMPARE(page.m_thumbList->count(), 3);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(page.m_thumbList->item(row)->data(Qt::UserRole).toInt(), row);
    }
}

void tst_PdfToolsPage::mapsDropPositionToRow()
{
    fill({ 100, 100, 100 }, 0);
    m_page->resize(1000, 800);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    auto *list = qobject_cast<ThumbnailList *>(m_page->m_thumbList);
    QVERIFY(list);
    QTRY_VERIFY(list->visualItemRect(list->item(2)).bottom() > 0);

    const QRect first = list->visualItemRect(list->item(0));
    const QRect second = list->visualItemRect(list->item(1));
    const QRect third = list->visualItemRect(list->item(2));
    QCOMPARE(list->dropRow(first.center()), 0);
    QCOMPARE(list->dropRow(QPoint(first.center().x(), 0)), 0);
    QCOMPARE(list->dropRow(second.center()), 1);
    QCOMPARE(list->dropRow(QPoint(second.center().x(), first.bottom() + 1)), 1);
    QCOMPARE(list->dropRow(third.center()), 2);
    QCOMPARE(list->dropRow(QPoint(third.center().x(), third.bottom() + 50)), 2);
}

QTEST_MAIN(tst_PdfToolsPage)
#include "tst_pdftoolspage.moc"
