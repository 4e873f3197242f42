#include "tools/pdf/pageio.h"
#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace pdftest;

namespace {

const QString kPrevious = QStringLiteral("previous status");
const QString kEarlier = QStringLiteral("/earlier.pdf");

QList<QSize> wide(const QList<int> &widths)
{
    QList<QSize> sizes;
    for (const int width : widths) {
        sizes.append(QSize(width, 25));
    }
    return sizes;
}

// Rendered sizes of the fixture PDF's pages, and the fixture image's size.
const QList<QSize> kThree { renderedSize({ 100, 200 }), renderedSize({ 110, 200 }),
    renderedSize({ 120, 200 }) };
const QSize kImage(300, 120);

} // namespace

class tst_PdfCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readsFiles_data();
    void readsFiles();
    void editsPages_data();
    void editsPages();

private:
    void fill(const QList<QImage> &pages, int currentIndex);
    // Pages, selection, status and undo history as the user sees them.
    void checkDocument(const QList<QSize> &sizes, int index, const QString &status, int snapshots);
    QString fixture(const QString &name) const { return m_fixtures.filePath(name); }

    QTemporaryDir m_fixtures;
    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfCommands::initTestCase()
{
    QVERIFY2(m_fixtures.isValid(), qPrintable(m_fixtures.errorString()));
    QVERIFY(writeTestPdf(fixture("three.pdf"), { { 100, 200 }, { 110, 200 }, { 120, 200 } }));
    QVERIFY(QFile::copy(fixture("three.pdf"), fixture("%2 copy.pdf")));
    // A page too large to hold in memory: the file does not open.
    QVERIFY(writeTestPdf(fixture("bad huge.pdf"), { { 612, 792 }, { 14400, 14400 } }));
    QVERIFY(plainPage(kImage).save(fixture("a.png")));
    for (const char *name : { "bad.png", "bad.pdf" }) {
        QFile file(fixture(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("neither an image nor a PDF");
    }
}

void tst_PdfCommands::init()
{
    m_page = std::make_unique<PdfToolsPage>();
    m_page->setStatus(kPrevious);
}

void tst_PdfCommands::cleanup()
{
    m_page.reset();
}

void tst_PdfCommands::fill(const QList<QImage> &pages, int currentIndex)
{
    m_page->m_pages = pages;
    m_page->m_currentIndex = currentIndex;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
}

void tst_PdfCommands::checkDocument(
    const QList<QSize> &sizes, int index, const QString &status, int snapshots)
{
    const PdfToolsPage &page = *m_page;
    QCOMPARE(sizesOf(page.m_pages), sizes);
    QCOMPARE(page.m_thumbList->count(), sizes.size());
    QCOMPARE(page.m_currentIndex, index);
    QCOMPARE(page.m_thumbList->currentRow(), index >= 0 && index < sizes.size() ? index : -1);
    QCOMPARE(page.m_statusLabel->text(), status);
    QCOMPARE(page.m_undoStack.size(), snapshots);
    QCOMPARE(page.m_undoButton->isEnabled(), snapshots > 0);
}

void tst_PdfCommands::readsFiles_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QList<QSize>>("initial");
    QTest::addColumn<int>("initialIndex");
    QTest::addColumn<QStringList>("files"); // empty: cancelled; "bad..." do not open
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("snapshots"); // the document had one before

    const QList<QSize> one = wide({ 10 });
    const QList<QSize> two = wide({ 10, 20 });
    const QByteArray open("openDocument");
    const QByteArray add("addPagesAtEnd");
    const QByteArray insert("insertPageAfterSelected");
    QTest::addRow("open cancelled")
        << open << two << 1 << QStringList() << two << 1 << kPrevious << 1;
    // The history goes before reading, also when the file then does not open.
    QTest::addRow("open unreadable")
        << open << two << 1 << QStringList { "bad.pdf" } << two << 1 << kPrevious << 0;
    QTest::addRow("open, a percent sign in the name")
        << open << two << 1 << QStringList { "%2 copy.pdf" } << kThree << 0
        << "Opened %2 copy.pdf (3 pages)" << 0;
    QTest::addRow("add pdf and image to an empty document")
        << add << QList<QSize>() << -1 << QStringList { "three.pdf", "a.png" }
        << kThree + QList<QSize> { kImage } << 0 << "Added 2 file(s) — document now has 4 page(s)"
        << 2;
    QTest::addRow("add keeps the selection, skips unreadable files")
        << add << two << 1 << QStringList { "bad.png", "a.png", "bad.pdf" }
        << two + QList<QSize> { kImage } << 1 << "Added 3 file(s) — document now has 3 page(s)"
        << 2;
    QTest::addRow("add, nothing readable")
        << add << one << 0 << QStringList { "bad.png", "bad.pdf" } << one << 0 << kPrevious << 1;
    QTest::addRow("insert pdf after page 2 of 3")
        << insert << wide({ 10, 20, 30 }) << 1 << QStringList { "three.pdf" }
        << wide({ 10, 20 }) + kThree + wide({ 30 }) << 2 << "Inserted after page 2" << 2;
    QTest::addRow("insert, selection past the end")
        << insert << two << 7 << QStringList { "a.png" } << two + QList<QSize> { kImage } << 2
        << "Inserted after page 2" << 2;
    QTest::addRow("insert, a page too large")
        << insert << two << 0 << QStringList { "bad huge.pdf" } << two << 0 << kPrevious << 1;
    QTest::addRow("insert unreadable image")
        << insert << two << 0 << QStringList { "bad.png" } << two << 0 << kPrevious << 1;
}

void tst_PdfCommands::readsFiles()
{
    QFETCH(QByteArray, slot);
    QFETCH(QList<QSize>, initial);
    QFETCH(int, initialIndex);
    QFETCH(QStringList, files);
    QFETCH(QList<QSize>, sizes);
    QFETCH(int, index);
    QFETCH(QString, status);
    QFETCH(int, snapshots);

    fill(plainPages(initial), initialIndex);
    m_page->pushUndo();
    m_page->m_currentPath = kEarlier;
    const QString title = slot == "openDocument" ? QStringLiteral("Open PDF")
        : slot == "addPagesAtEnd"                ? QStringLiteral("Add pages")
                                                 : QStringLiteral("Insert page after selected");
    QList<Step> steps { fileDialog(title, m_fixtures.path(), files) };
    for (const QString &name : std::as_const(files)) {
        if (name.startsWith("bad")) {
            steps << messageBox(QStringLiteral("Could not open: %1").arg(fixture(name)));
        }
    }
    QCOMPARE(runWithDialogs(m_page.get(), slot.constData(), steps), QString());
    checkDocument(sizes, index, status, snapshots);
    const bool opened = slot == "openDocument" && status != kPrevious;
    QCOMPARE(m_page->m_currentPath, opened ? fixture(files.first()) : kEarlier);
    if (snapshots == 2) {
        QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo"));
        QCOMPARE(sizesOf(m_page->m_pages), initial);
    }
}

void tst_PdfCommands::editsPages_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QList<QImage>>("initial");
    QTest::addColumn<int>("initialIndex");
    QTest::addColumn<QString>("refusal"); // the warning, if the command refuses
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("status");

    const QList<QImage> three = plainPages(wide({ 10, 20, 30 }));
    const QList<QSize> turned { QSize(10, 25), QSize(25, 20), QSize(30, 25) };
    const QString compressedOne = QStringLiteral(
        "Compressed all 1 page(s) (Undo to revert) — save to write the result to disk");
    QTest::addRow("rotate left") << QByteArray("rotateSelectedLeft") << three << 1 << "" << turned
                                 << 1 << "Rotated page 2 left";
    QTest::addRow("rotate right") << QByteArray("rotateSelectedRight") << three << 1 << "" << turned
                                  << 1 << "Rotated page 2 right";
    QTest::addRow("rotate, selection past the end")
        << QByteArray("rotateSelectedRight") << three << 3 << "" << wide({ 10, 20, 30 }) << 3
        << kPrevious;
    QTest::addRow("black and white")
        << QByteArray("toggleBlackAndWhiteSelected") << three << 0 << "" << wide({ 10, 20, 30 })
        << 0 << "Converted page 1 to black & white (Undo to revert)";
    QTest::addRow("black and white, nothing selected")
        << QByteArray("toggleBlackAndWhiteSelected") << three << -1 << "" << wide({ 10, 20, 30 })
        << -1 << kPrevious;
    QTest::addRow("remove the last page")
        << QByteArray("removeSelected") << three << 2 << "" << wide({ 10, 20 }) << 1
        << "Removed page 3 — 2 page(s) left (Undo to bring it "
           "back)";
    QTest::addRow("remove the only page")
        << QByteArray("removeSelected") << plainPages(wide({ 10 })) << 0
        << "Can't remove the only page in the document." << wide({ 10 }) << 0 << kPrevious;
    QTest::addRow("save, no pages")
        << QByteArray("saveAs") << QList<QImage>() << -1
        << "Nothing to save — open a PDF or add pages first." << QList<QSize>() << -1 << kPrevious;
    QTest::addRow("split, one page")
        << QByteArray("splitDocument") << plainPages(wide({ 10 })) << 0
        << "Open a document with at least 2 pages first." << wide({ 10 }) << 0 << kPrevious;
    QTest::addRow("export page, selection past the end")
        << QByteArray("exportSelectedAsImage") << three << 3 << "" << wide({ 10, 20, 30 }) << 3
        << kPrevious;
    QTest::addRow("compress an empty document") << QByteArray("compressDocument") << QList<QImage>()
                                                << -1 << "" << QList<QSize>() << -1 << kPrevious;
    QTest::addRow("compress a 1 x 1 page")
        << QByteArray("compressDocument") << plainPages({ { 1, 1 } }) << 0 << ""
        << QList<QSize> { { 1, 1 } } << 0 << compressedOne;
    QTest::addRow("compress a page rendered from a PDF")
        << QByteArray("compressDocument") << readPdfPages(fixture("three.pdf")).pages.mid(0, 1) << 0
        << "" << QList<QSize> { { 194, 389 } } << 0 << compressedOne;
    QImage clear(100, 100, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    QTest::addRow("compress a transparent page")
        << QByteArray("compressDocument") << QList<QImage> { clear } << 0 << ""
        << QList<QSize> { { 70, 70 } } << 0 << compressedOne;
    // JPEG holds at most 65500 pixels a side: such a page stays as it was.
    QTest::addRow("compress only a page JPEG cannot hold")
        << QByteArray("compressDocument") << plainPages({ { 1, 100000 } }) << 0
        << "Could not compress any page." << QList<QSize> { { 1, 100000 } } << 0 << kPrevious;
    QTest::addRow("compress one page of two")
        << QByteArray("compressDocument") << plainPages({ { 1, 100000 }, { 100, 100 } }) << 0 << ""
        << QList<QSize> { { 1, 100000 }, { 70, 70 } } << 0
        << "Compressed 1 of 2 page(s); the others could not be compressed and stay as they "
           "were (Undo to revert) — save to write the result to disk";
}

void tst_PdfCommands::editsPages()
{
    QFETCH(QByteArray, slot);
    QFETCH(QList<QImage>, initial);
    QFETCH(int, initialIndex);
    QFETCH(QString, refusal);
    QFETCH(QList<QSize>, sizes);
    QFETCH(int, index);
    QFETCH(QString, status);

    fill(initial, initialIndex);
    QList<Step> steps;
    if (!refusal.isEmpty()) {
        steps << messageBox(refusal);
    }
    QCOMPARE(runWithDialogs(m_page.get(), slot.constData(), steps), QString());
    const bool changed = status != kPrevious;
    checkDocument(sizes, index, status, changed ? 1 : 0);
    // Paper stays white.
    const QColor paper = initial.isEmpty() ? QColor(Qt::black) : initial.first().pixelColor(0, 0);
    if (paper == Qt::white || paper.alpha() == 0) {
        const QColor corner = m_page->m_pages.first().pixelColor(0, 0);
        QVERIFY2(qMin(corner.red(), qMin(corner.green(), corner.blue())) >= 250,
            qPrintable(corner.name()));
    }
    if (changed) {
        QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo"));
    }
    QCOMPARE(m_page->m_pages, initial);
}

QTEST_MAIN(tst_PdfCommands)
#include "tst_pdfcommands.moc"
