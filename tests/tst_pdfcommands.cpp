#include "tools/pdf/pageio.h"
#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace pdftest;

// The document with its undo history, and the page commands, each run by a click on its toolbar
// button with its dialogs answered.

namespace {
const QString kPrevious = QStringLiteral("previous status");
const QString kEarlier = QStringLiteral("/earlier.pdf");
// The pages of the fixture three.pdf, and the fixture image a.png.
const QList<QSize> kThree { { 200, 300 }, { 200, 400 }, { 200, 500 } };
const QList<QSize> kImage { { 300, 120 } };

QList<QSize> wide(const QList<int> &widths)
{
    return sizesOf(pagesOfWidths(widths));
}

// The files in folder with the pixel sizes of their pages (of a PDF, at 200 dpi) or image.
QMap<QString, QList<QSize>> writtenFiles(const QString &folder)
{
    QMap<QString, QList<QSize>> files;
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files)) {
        QList<QSize> &sizes = files[file.fileName()];
        if (file.suffix() != "pdf") {
            sizes << QImageReader(file.filePath()).size();
            continue;
        }
        for (const QSizeF &points : pdfPointSizes(file.filePath())) {
            sizes << (points * 200.0 / 72.0).toSize();
        }
    }
    return files;
}
} // namespace

Q_DECLARE_METATYPE(pdftest::Step)

class tst_PdfCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void keepsFifteenSnapshots();
    void undoRestoresPagesNotSelection_data();
    void undoRestoresPagesNotSelection();
    void closes_data();
    void closes();
    void reordersByMovedRow_data();
    void reordersByMovedRow();
    void readsFiles_data();
    void readsFiles();
    void editsPages_data();
    void editsPages();
    void writesFiles_data();
    void writesFiles();
    void merges_data();
    void merges();

private:
    void fill(const QList<QImage> &pages, int currentIndex)
    {
        m_page->m_pages = pages;
        m_page->m_currentIndex = currentIndex;
        m_page->refreshThumbnails();
        m_page->showCurrentPage();
    }
    QString click(const QString &text, const QList<Step> &steps = {})
    {
        return pdftest::click(m_page.get(), text, steps);
    }
    QString statusText() const { return m_page->m_statusLabel->text(); }
    QString fixture(const QString &name) const { return m_fixtures.filePath(name); }

    QTemporaryDir m_fixtures;
    QString m_out; // emptied for every test
    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfCommands::initTestCase()
{
    QVERIFY(writeTestPdf(fixture("three.pdf"), { { 72, 108 }, { 72, 144 }, { 72, 180 } }));
    QVERIFY(writeTestPdf(fixture("two.pdf"), { { 108, 72 }, { 144, 72 } }));
    QVERIFY(QFile::copy(fixture("three.pdf"), fixture("%2 copy.pdf")));
    QVERIFY(plainPage(kImage.first()).save(fixture("a.png")));
    for (const char *name : { "bad.png", "bad.pdf" }) {
        QFile file(fixture(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("neither image nor PDF") > 0);
    }
    m_out = fixture("out");
}

void tst_PdfCommands::init()
{
    QVERIFY(QDir(m_out).removeRecursively() && QDir().mkpath(m_out));
    m_page = std::make_unique<PdfToolsPage>();
    m_page->setStatus(kPrevious);
}

void tst_PdfCommands::keepsFifteenSnapshots()
{
    for (int edit = 1; edit <= 16; ++edit) {
        m_page->pushUndo();
        m_page->m_pages.append(pagesOfWidths({ edit }));
    }
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(click("Undo"), QString());
    }
    // Back to the state after the first edit, and no further.
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 1 }));
    QVERIFY(!m_page->m_undoButton->isEnabled());
}

void tst_PdfCommands::undoRestoresPagesNotSelection_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<int>("selectedOnUndo");

    // Page 4, selected once page 5 of five was removed, stays selected.
    QTest::addRow("removal of the last page")
        << QList<int> { 1, 2, 3, 4, 5 } << QList<int> { 1, 2, 3, 4 } << 3;
    QTest::addRow("addition of pages") << QList<int> { 1, 2 } << QList<int> { 1, 2, 3, 4 } << 1;
    QTest::addRow("first addition empties the document") << QList<int>() << QList<int> { 3 } << -1;
}

void tst_PdfCommands::undoRestoresPagesNotSelection()
{
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(int, selectedOnUndo);

    fill(pagesOfWidths(before), before.size() - 1);
    m_page->pushUndo();
    fill(pagesOfWidths(after), after.size() - 1);
    QCOMPARE(click("Undo"), QString());
    QCOMPARE(widthsOf(m_page->m_pages), before);
    QCOMPARE(m_page->m_currentIndex, selectedOnUndo);
    QCOMPARE(m_page->m_thumbList->currentRow(), selectedOnUndo);
    QCOMPARE(m_page->m_pageLabel->pixmap().isNull(), before.isEmpty());
    QCOMPARE(statusText(), QStringLiteral("Undid last action"));
    QVERIFY(!m_page->m_undoButton->isEnabled());
}

void tst_PdfCommands::closes_data()
{
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<int>("answer"); // 0: no question asked

    QTest::addRow("answered No") << QList<int> { 1, 2, 3 } << int(QMessageBox::No);
    QTest::addRow("answered Yes") << QList<int> { 1, 2, 3 } << int(QMessageBox::Yes);
    QTest::addRow("empty document") << QList<int>() << 0;
}

void tst_PdfCommands::closes()
{
    QFETCH(QList<int>, pages);
    QFETCH(int, answer);

    fill(pagesOfWidths(pages), pages.size() - 1);
    m_page->pushUndo();
    m_page->m_currentPath = QStringLiteral("/earlier/file.pdf");
    QList<Step> steps;
    if (answer) {
        steps << messageBox(
            QStringLiteral("Close the current document? Any unsaved changes will be lost."),
            QMessageBox::StandardButton(answer));
    }
    QCOMPARE(click("Close", steps), QString());

    const bool closed = answer != QMessageBox::No;
    QCOMPARE(widthsOf(m_page->m_pages), closed ? QList<int>() : pages);
    QCOMPARE(m_page->m_thumbList->count(), m_page->m_pages.size());
    QCOMPARE(m_page->m_currentIndex, closed ? -1 : 2);
    QCOMPARE(m_page->m_undoStack.size(), closed ? 0 : 1);
    QCOMPARE(m_page->m_currentPath.isEmpty(), closed);
    QCOMPARE(statusText() == kPrevious, !closed);
}

void tst_PdfCommands::reordersByMovedRow_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("destination"); // as QAbstractItemModel::moveRow counts it
    QTest::addColumn<QList<int>>("order");

    QTest::addRow("third to the top") << 2 << 0 << QList<int> { 3, 1, 2 };
    QTest::addRow("first to the end") << 0 << 3 << QList<int> { 2, 3, 1 };
}

void tst_PdfCommands::reordersByMovedRow()
{
    QFETCH(int, from);
    QFETCH(int, destination);
    QFETCH(QList<int>, order);

    fill(pagesOfWidths({ 1, 2, 3 }), 0);
    QListWidget *list = m_page->m_thumbList;
    list->setCurrentRow(from);
    QVERIFY(list->model()->moveRow(QModelIndex(), from, QModelIndex(), destination));
    QCOMPARE(widthsOf(m_page->m_pages), order);
    const int moved = order.indexOf(from + 1);
    QCOMPARE(m_page->m_currentIndex, moved);
    QCOMPARE(list->currentRow(), moved);
    QCOMPARE(list->item(moved)->text(), QStringLiteral("Page %1").arg(moved + 1));
    QCOMPARE(statusText(), QStringLiteral("Reordered pages"));

    QCOMPARE(click("Undo"), QString());
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 1, 2, 3 }));
}

void tst_PdfCommands::readsFiles_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<QSize>>("initial");
    QTest::addColumn<int>("initialIndex");
    QTest::addColumn<QStringList>("files"); // "bad..." do not open
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("snapshots"); // the document had one before

    const QList<QSize> one = wide({ 10 });
    const QList<QSize> two = wide({ 10, 20 });
    // A file that does not open keeps the history too.
    QTest::addRow("open unreadable")
        << "Open PDF" << two << 1 << QStringList { "bad.pdf" } << two << 1 << kPrevious << 1;
    QTest::addRow("open, a percent sign in the name")
        << "Open PDF" << two << 1 << QStringList { "%2 copy.pdf" } << kThree << 0
        << "Opened %2 copy.pdf (3 pages)" << 0;
    QTest::addRow("add pdf and image to an empty document")
        << "Add pages" << QList<QSize>() << -1 << QStringList { "three.pdf", "a.png" }
        << kThree + kImage << 0 << "Added 2 file(s) — document now has 4 page(s)" << 2;
    QTest::addRow("add keeps the selection, skips unreadable files")
        << "Add pages" << two << 1 << QStringList { "bad.png", "a.png", "bad.pdf" } << two + kImage
        << 1 << "Added 3 file(s) — document now has 3 page(s)" << 2;
    QTest::addRow("add, nothing readable")
        << "Add pages" << one << 0 << QStringList { "bad.png", "bad.pdf" } << one << 0 << kPrevious
        << 1;
    QTest::addRow("insert pdf after page 2 of 3")
        << "Insert page" << wide({ 10, 20, 30 }) << 1 << QStringList { "three.pdf" }
        << two + kThree + wide({ 30 }) << 2 << "Inserted after page 2" << 2;
    QTest::addRow("insert, selection past the end")
        << "Insert page" << two << 7 << QStringList { "a.png" } << two + kImage << 2
        << "Inserted after page 2" << 2;
    QTest::addRow("insert unreadable image")
        << "Insert page" << two << 0 << QStringList { "bad.png" } << two << 0 << kPrevious << 1;
}

void tst_PdfCommands::readsFiles()
{
    QFETCH(QString, button);
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
    QList<Step> steps { fileDialog(button == "Insert page" ? "Insert page after selected" : button,
        m_fixtures.path(), files) };
    for (const QString &name : std::as_const(files)) {
        if (name.startsWith("bad")) {
            steps << messageBox("Could not open: " + fixture(name));
        }
    }
    QCOMPARE(click(button, steps), QString());
    QCOMPARE(sizesOf(m_page->m_pages), sizes);
    QCOMPARE(m_page->m_thumbList->count(), sizes.size());
    QCOMPARE(m_page->m_currentIndex, index);
    QCOMPARE(statusText(), status);
    QCOMPARE(m_page->m_undoStack.size(), snapshots);
    const bool opened = button == "Open PDF" && status != kPrevious;
    QCOMPARE(m_page->m_currentPath, opened ? fixture(files.first()) : kEarlier);
    if (snapshots == 2) {
        QCOMPARE(click("Undo"), QString());
        QCOMPARE(sizesOf(m_page->m_pages), initial);
    }
}

void tst_PdfCommands::editsPages_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<QImage>>("initial");
    QTest::addColumn<int>("initialIndex");
    QTest::addColumn<QString>("refusal"); // the warning, if the command refuses
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<QString>("status"); // kPrevious: nothing changed

    const QList<QImage> three = plainPages(wide({ 10, 20, 30 }));
    const QList<QImage> one = plainPages(wide({ 10 }));
    const QList<QImage> rendered = readPdfPages(fixture("three.pdf")).pages.mid(0, 1);
    const QList<QImage> clear { plainPage(
        QSize(100, 100), Qt::transparent, QImage::Format_ARGB32) };
    const QString compressed = QStringLiteral(
        "Compressed all 1 page(s) (Undo to revert) — save to write the result to disk");

    QTest::addRow("rotate left") << "Rotate left" << three << 1 << ""
                                 << QList<QSize> { { 10, 25 }, { 25, 20 }, { 30, 25 } }
                                 << "Rotated page 2 left";
    QTest::addRow("rotate right") << "Rotate right" << three << 2 << ""
                                  << QList<QSize> { { 10, 25 }, { 20, 25 }, { 25, 30 } }
                                  << "Rotated page 3 right";
    QTest::addRow("black and white of a transparent page")
        << "Black && white" << clear << 0 << "" << QList<QSize> { { 100, 100 } }
        << "Converted page 1 to black & white (Undo to revert)";
    QTest::addRow("remove the last page")
        << "Remove page" << three << 2 << "" << wide({ 10, 20 })
        << "Removed page 3 — 2 page(s) left (Undo to bring it back)";
    QTest::addRow("remove the only page")
        << "Remove page" << one << 0 << "Can't remove the only page in the document."
        << wide({ 10 }) << kPrevious;
    QTest::addRow("save, no pages")
        << "Save As PDF" << QList<QImage>() << -1
        << "Nothing to save — open a PDF or add pages first." << QList<QSize>() << kPrevious;
    QTest::addRow("split, one page")
        << "Split" << one << 0 << "Open a document with at least 2 pages first." << wide({ 10 })
        << kPrevious;
    QTest::addRow("export page, selection past the end")
        << "Export page" << three << 3 << "" << wide({ 10, 20, 30 }) << kPrevious;
    QTest::addRow("compress a 1 x 1 page") << "Compress all" << plainPages({ { 1, 1 } }) << 0 << ""
                                           << QList<QSize> { { 1, 1 } } << compressed;
    QTest::addRow("compress a page rendered from a PDF")
        << "Compress all" << rendered << 0 << "" << QList<QSize> { { 140, 210 } } << compressed;
    QTest::addRow("compress a transparent page")
        << "Compress all" << clear << 0 << "" << QList<QSize> { { 70, 70 } } << compressed;
    // JPEG holds at most 65500 pixels a side: such a page stays as it was.
    QTest::addRow("compress only a page JPEG cannot hold")
        << "Compress all" << plainPages({ { 1, 100000 } }) << 0 << "Could not compress any page."
        << QList<QSize> { { 1, 100000 } } << kPrevious;
}

void tst_PdfCommands::editsPages()
{
    QFETCH(QString, button);
    QFETCH(QList<QImage>, initial);
    QFETCH(int, initialIndex);
    QFETCH(QString, refusal);
    QFETCH(QList<QSize>, sizes);
    QFETCH(QString, status);

    fill(initial, initialIndex);
    QCOMPARE(click(button, refusal.isEmpty() ? QList<Step>() : QList { messageBox(refusal) }),
        QString());
    QCOMPARE(sizesOf(m_page->m_pages), sizes);
    QCOMPARE(statusText(), status);
    const bool changed = status != kPrevious;
    QCOMPARE(m_page->m_undoStack.size(), changed ? 1 : 0);
    // Paper stays white, also where it was transparent.
    const QColor paper = initial.isEmpty() ? QColor(Qt::black) : initial.first().pixelColor(0, 0);
    if (paper == Qt::white || paper.alpha() == 0) {
        const QColor corner = m_page->m_pages.first().pixelColor(0, 0);
        QVERIFY2(qMin(corner.red(), qMin(corner.green(), corner.blue())) >= 250,
            qPrintable(corner.name()));
    }
    if (changed) {
        QCOMPARE(click("Undo"), QString());
    }
    QCOMPARE(m_page->m_pages, initial);
}

void tst_PdfCommands::writesFiles_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QList<QSize>>("pages"); // page 2 selected; whole points at 200 dpi
    QTest::addColumn<QStringList>("files"); // with the pages they hold
    QTest::addColumn<QList<QList<QSize>>>("content");
    QTest::addColumn<QString>("status");

    const QList<QSize> two { { 1700, 2200 }, { 800, 600 } };
    QTest::addRow("save") << "Save As PDF"
                          << QList { fileDialog("Save As PDF", m_out, { "out.pdf" }) } << two
                          << QStringList { "out.pdf" } << QList<QList<QSize>> { two }
                          << "Saved " + m_out + "/out.pdf (2 page(s))";
    QTest::addRow("export page") << "Export page"
                                 << QList { fileDialog("Export page", m_out, { "p.png" }) } << two
                                 << QStringList { "p.png" } << QList<QList<QSize>> { two.mid(1) }
                                 << "Exported page 2 -> " + m_out + "/p.png";
    // The file dialog adds no suffix here, and without one no image format is known.
    QTest::addRow("export page, no suffix")
        << "Export page"
        << QList { fileDialog("Export page", m_out, { "p" }),
               messageBox("Could not save the file.") }
        << two << QStringList() << QList<QList<QSize>>() << kPrevious;
    QList<QSize> twelve;
    QStringList pngs;
    QList<QList<QSize>> content;
    for (int page = 1; page <= 12; ++page) {
        twelve << QSize(page, 25);
        pngs << QStringLiteral("page_%1.png").arg(page, 2, 10, QLatin1Char('0'));
        content << QList<QSize> { twelve.last() };
    }
    QTest::addRow("export all, 12 pages")
        << "Export all" << QList { folderDialog("Choose output folder", m_out) } << twelve << pngs
        << content << "Exported 12 page(s) to " + m_out + ", named page_001.png etc.";
    const QList<QSize> five { { 100, 250 }, { 125, 250 }, { 150, 250 }, { 175, 250 },
        { 200, 250 } };
    for (int after = 1; after <= 4; ++after) {
        QTest::addRow("split after page %d", after)
            << "Split"
            << QList { numberDialog("Split document", after),
                   folderDialog("Choose a folder to save both parts", m_out) }
            << five << QStringList { "document_part1.pdf", "document_part2.pdf" }
            << QList<QList<QSize>> { five.mid(0, after), five.mid(after) }
            << QStringLiteral("Split into document_part1.pdf (%1 pages) and document_part2.pdf (%2 "
                              "pages)")
                   .arg(after)
                   .arg(5 - after);
    }
}

void tst_PdfCommands::writesFiles()
{
    QFETCH(QString, button);
    QFETCH(QList<Step>, steps);
    QFETCH(QList<QSize>, pages);
    QFETCH(QStringList, files);
    QFETCH(QList<QList<QSize>>, content);
    QFETCH(QString, status);

    fill(plainPages(pages), 1);
    QCOMPARE(click(button, steps), QString());
    const QMap<QString, QList<QSize>> written = writtenFiles(m_out);
    QCOMPARE(written.keys(), files);
    QCOMPARE(written.values(), content);
    QCOMPARE(statusText(), status);
    // The document stays as it was.
    QCOMPARE(sizesOf(m_page->m_pages), pages);
    QVERIFY(m_page->m_undoStack.isEmpty());
}

void tst_PdfCommands::merges_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("status");

    QTest::addRow("unreadable file skipped")
        << QStringList { "three.pdf", "bad.pdf", "two.pdf" }
        << "Could not open: " + fixture("bad.pdf")
        << "Merged 3 files into one document (5 pages) — Save As to write it out";
    QTest::addRow("single file refused")
        << QStringList { "three.pdf" } << "Choose at least two PDF files to merge." << kPrevious;
}

void tst_PdfCommands::merges()
{
    QFETCH(QStringList, files);
    QFETCH(QString, warning);
    QFETCH(QString, status);

    const QList<QImage> before = plainPages(wide({ 10, 20 }));
    fill(before, 1);
    m_page->m_currentPath = kEarlier;
    QCOMPARE(click("Merge files",
                 { fileDialog("Choose PDF files to merge", m_fixtures.path(), files),
                     messageBox(warning) }),
        QString());
    QCOMPARE(statusText(), status);
    if (status == kPrevious) {
        QCOMPARE(m_page->m_pages, before);
        return;
    }
    // Pages in the order of the files, page 1 selected, no file of its own.
    QCOMPARE(sizesOf(m_page->m_pages), kThree + QList<QSize>({ { 300, 200 }, { 400, 200 } }));
    QCOMPARE(m_page->m_thumbList->currentRow(), 0);
    QVERIFY(m_page->m_currentPath.isEmpty());
    QCOMPARE(click("Undo"), QString());
    QCOMPARE(m_page->m_pages, before);
}

QTEST_MAIN(tst_PdfCommands)
#include "tst_pdfcommands.moc"
