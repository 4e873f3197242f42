#include "tools/pdf/pageio.h"
#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace pdftest;

namespace {

const QString kPrevious = QStringLiteral("previous status");

// Pages told apart by their width: 250, 275, 300... pixels, all 1000 high (whole points at 200
// dpi, and no standard paper size).
QList<QSize> numberedSizes(int count)
{
    QList<QSize> sizes;
    for (int i = 0; i < count; ++i) {
        sizes.append(QSize(250 + 25 * i, 1000));
    }
    return sizes;
}

// The pixel sizes at 200 dpi of a PDF's pages; empty when it does not open.
QList<QSize> pdfPageSizes(const QString &path)
{
    QList<QSize> sizes;
    for (const QSizeF &points : pdfPointSizes(path)) {
        sizes.append(renderedSize(points));
    }
    return sizes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_PdfExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void savesEveryPageAtItsSize();
    void failedSaveKeepsExistingFile();
    void exportsSelectedPage_data();
    void exportsSelectedPage();
    void exportsTwelvePagesAsPage01ToPage12();
    void merges_data();
    void merges();
    void splitsAtEveryLegalPoint_data();
    void splitsAtEveryLegalPoint();

private:
    void fill(const QList<QSize> &sizes, int currentIndex);
    // Saving, exporting and splitting leave the document as it was.
    void checkUnchanged(const QList<QSize> &sizes, int index);
    QString out(const QString &name) const { return m_out->filePath(name); }

    QTemporaryDir m_fixtures;
    std::unique_ptr<QTemporaryDir> m_out;
    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfExport::initTestCase()
{
    QVERIFY2(m_fixtures.isValid(), qPrintable(m_fixtures.errorString()));
    QVERIFY(
        writeTestPdf(m_fixtures.filePath("three.pdf"), { { 72, 108 }, { 72, 144 }, { 72, 180 } }));
    QVERIFY(writeTestPdf(m_fixtures.filePath("two.pdf"), { { 108, 72 }, { 144, 72 } }));
    QFile bad(m_fixtures.filePath("bad.pdf"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a PDF");
}

void tst_PdfExport::init()
{
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_out->isValid(), qPrintable(m_out->errorString()));
    m_page = std::make_unique<PdfToolsPage>();
    m_page->setStatus(kPrevious);
}

void tst_PdfExport::cleanup()
{
    m_page.reset();
    m_out.reset();
}

void tst_PdfExport::fill(const QList<QSize> &sizes, int currentIndex)
{
    m_page->m_pages = plainPages(sizes);
    m_page->m_currentIndex = currentIndex;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
}

void tst_PdfExport::checkUnchanged(const QList<QSize> &sizes, int index)
{
    QCOMPARE(sizesOf(m_page->m_pages), sizes);
    QCOMPARE(m_page->m_currentIndex, index);
    QVERIFY(m_page->m_undoStack.isEmpty());
}

void tst_PdfExport::savesEveryPageAtItsSize()
{
    // A letter page, a small landscape image and a turned letter page.
    m_page->m_pages = plainPages({ { 1700, 2200 }, { 800, 600 }, { 2200, 1700 } });
    m_page->m_currentIndex = 1;
    m_page->m_currentPath = m_fixtures.filePath("report.pdf");

    QCOMPARE(runWithDialogs(m_page.get(), "saveAs",
                 { fileDialog("Save As PDF", m_out->path(), { "out.pdf" }) }),
        QString());
    QCOMPARE(
        m_page->m_statusLabel->text(), QStringLiteral("Saved %1 (3 page(s))").arg(out("out.pdf")));
    checkUnchanged({ { 1700, 2200 }, { 800, 600 }, { 2200, 1700 } }, 1);
    QCOMPARE(m_page->m_currentPath, m_fixtures.filePath("report.pdf"));

    // 612 x 792, 288 x 216 and 792 x 612 points.
    QCOMPARE(pdfPageSizes(out("out.pdf")),
        QList<QSize>({ { 1700, 2200 }, { 800, 600 }, { 2200, 1700 } }));
}

void tst_PdfExport::failedSaveKeepsExistingFile()
{
    fill({ { 1700, 2200 } }, 0);
    {
        QFile existing(out("out.pdf"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("the earlier file");
    }
    {
        const FileSizeLimit fullDisk(1024);
        QCOMPARE(runWithDialogs(m_page.get(), "saveAs",
                     { fileDialog("Save As PDF", m_out->path(), { "out.pdf" }), confirmReplace(),
                         messageBox("Could not save the file.") }),
            QString());
    }
    QCOMPARE(readAll(out("out.pdf")), QByteArray("the earlier file"));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList { "out.pdf" });
    QCOMPARE(m_page->m_statusLabel->text(), kPrevious);
}

void tst_PdfExport::exportsSelectedPage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("written");

    QTest::addRow("png") << "page3.png" << true;
    // The file dialog adds no suffix here, and without one no image format is known.
    QTest::addRow("no suffix") << "page3" << false;
}

void tst_PdfExport::exportsSelectedPage()
{
    QFETCH(QString, name);
    QFETCH(bool, written);

    fill(numberedSizes(4), 2);
    QString proposed;
    QList<Step> steps { fileDialog("Export page", m_out->path(), { name }, &proposed) };
    if (!written) {
        steps << messageBox("Could not save the file.");
    }
    QCOMPARE(runWithDialogs(m_page.get(), "exportSelectedAsImage", steps), QString());
    QCOMPARE(proposed, QStringLiteral("page3.png"));
    checkUnchanged(numberedSizes(4), 2);
    QCOMPARE(m_page->m_statusLabel->text(),
        written ? QStringLiteral("Exported page 3 -> %1").arg(out(name)) : kPrevious);
    QCOMPARE(QImageReader(out(name)).size(), written ? QSize(300, 1000) : QSize());
}

void tst_PdfExport::exportsTwelvePagesAsPage01ToPage12()
{
    fill(numberedSizes(12), 0);
    QCOMPARE(runWithDialogs(m_page.get(), "exportAllAsImages",
                 { folderDialog("Choose output folder", m_out->path()) }),
        QString());
    const QStringList files = QDir(m_out->path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 12);
    QCOMPARE(files.first(), QStringLiteral("page_01.png"));
    QCOMPARE(files.last(), QStringLiteral("page_12.png"));
    QCOMPARE(QImageReader(out(files.last())).size(), numberedSizes(12).last());
    QCOMPARE(m_page->m_statusLabel->text(),
        QStringLiteral("Exported 12 page(s) to %1, named page_001.png etc.").arg(m_out->path()));
    checkUnchanged(numberedSizes(12), 0);
}

void tst_PdfExport::merges_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("status");

    QTest::addRow("unreadable file skipped")
        << QStringList { "three.pdf", "bad.pdf", "two.pdf" }
        << QStringLiteral("Could not open: %1").arg(m_fixtures.filePath("bad.pdf"))
        << "Merged 3 files into one document (5 pages) — Save As to write it out";
    QTest::addRow("single file refused")
        << QStringList { "three.pdf" } << "Choose at least two PDF files to merge." << kPrevious;
}

void tst_PdfExport::merges()
{
    QFETCH(QStringList, files);
    QFETCH(QString, warning);
    QFETCH(QString, status);

    fill(numberedSizes(2), 1);
    m_page->m_currentPath = QStringLiteral("/earlier.pdf");
    QCOMPARE(runWithDialogs(m_page.get(), "mergeFiles",
                 { fileDialog("Choose PDF files to merge", m_fixtures.path(), files),
                     messageBox(warning) }),
        QString());
    QCOMPARE(m_page->m_statusLabel->text(), status);
    if (status == kPrevious) {
        checkUnchanged(numberedSizes(2), 1);
        QCOMPARE(m_page->m_currentPath, QStringLiteral("/earlier.pdf"));
        return;
    }
    // Pages in the order of the files, page 1 selected, no file of its own.
    QCOMPARE(sizesOf(m_page->m_pages),
        QList<QSize>({ renderedSize({ 72, 108 }), renderedSize({ 72, 144 }),
            renderedSize({ 72, 180 }), renderedSize({ 108, 72 }), renderedSize({ 144, 72 }) }));
    QCOMPARE(m_page->m_thumbList->currentRow(), 0);
    QVERIFY(m_page->m_currentPath.isEmpty());
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo"));
    QCOMPARE(sizesOf(m_page->m_pages), numberedSizes(2));
}

void tst_PdfExport::splitsAtEveryLegalPoint_data()
{
    QTest::addColumn<int>("afterPage"); // 0: the number dialog is cancelled

    for (int afterPage = 0; afterPage <= 4; ++afterPage) {
        QTest::addRow("after page %d", afterPage) << afterPage;
    }
}

void tst_PdfExport::splitsAtEveryLegalPoint()
{
    QFETCH(int, afterPage);

    const QList<QSize> sizes = numberedSizes(5);
    fill(sizes, 0);
    QString offered;
    QList<Step> steps { numberDialog("Split document", afterPage, &offered) };
    if (afterPage > 0) {
        steps << folderDialog("Choose a folder to save both parts", m_out->path());
    }
    QCOMPARE(runWithDialogs(m_page.get(), "splitDocument", steps), QString());
    QCOMPARE(offered, QStringLiteral("Split after which page? (1-4) [1..4]"));
    checkUnchanged(sizes, 0);
    if (afterPage == 0) {
        QCOMPARE(m_page->m_statusLabel->text(), kPrevious);
        QVERIFY(QDir(m_out->path()).isEmpty());
        return;
    }
    QCOMPARE(pdfPageSizes(out("document_part1.pdf")), sizes.mid(0, afterPage));
    QCOMPARE(pdfPageSizes(out("document_part2.pdf")), sizes.mid(afterPage));
    QCOMPARE(m_page->m_statusLabel->text(),
        QStringLiteral("Split into document_part1.pdf (%1 pages) and document_part2.pdf (%2 pages)")
            .arg(afterPage)
            .arg(5 - afterPage));
}

QTEST_MAIN(tst_PdfExport)
#include "tst_pdfexport.moc"
