#include "pdftesting.h"

#include <QtTest>

using namespace dialogs;
using namespace pdftest;

// The page commands, saving, export, merge and split, and the undo history, each run by a click
// on its toolbar button with its dialogs answered. Pages are written as sizesOf writes them.

Q_DECLARE_METATYPE(dialogs::Step)

class tst_PdfCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void changesDocument_data();
    void changesDocument();
    void turnsAndFlattensPixels_data();
    void turnsAndFlattensPixels();
    void writesFiles_data();
    void writesFiles();
    void suggestsNameOfOpenedFile();
    void keepsFifteenSnapshots();

private:
    QString fixture(const QString &name) const { return m_fixtures.filePath(name); }
    // The file dialog of the button answered with the names; warnings for those that do not open.
    QList<Step> choose(const QString &title, const QStringList &names) const
    {
        QList<Step> steps { fileDialog(title, m_fixtures.path(), names) };
        for (const QString &name : names) {
            if (name.startsWith("bad")) {
                steps << messageBox("Could not open: " + fixture(name));
            }
        }
        return steps;
    }

    QTemporaryDir m_fixtures;
};

void tst_PdfCommands::initTestCase()
{
    QVERIFY(writeTestPdf(fixture("three.pdf"), { { 72, 108 }, { 72, 144 }, { 72, 180 } }));
    QVERIFY(writeTestPdf(fixture("two.pdf"), { { 108, 72 }, { 144, 72 } }));
    QVERIFY(QFile::copy(fixture("three.pdf"), fixture("%2 copy.pdf")));
    QVERIFY(QFile::copy(fixture("three.pdf"), fixture("UPPER.PDF")));
    QVERIFY(plainPage({ 300, 120 }).save(fixture("a.pdf.png"), "png"));
    QVERIFY(QFile::copy(fixture("a.pdf.png"), fixture("a.png")));
    for (const char *name : { "bad.png", "bad.pdf" }) {
        QFile file(fixture(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("neither image nor PDF") > 0);
    }
}

void tst_PdfCommands::changesDocument_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("status"); // empty: it stays
    QTest::addColumn<QString>("undone"); // after one click on "Undo"

    const auto row = [](const char *tag, const QString &before, const QString &button,
                         const QList<Step> &steps, const QString &after, const QString &status,
                         const QString &undone) {
        QTest::addRow("%s", tag) << before << button << steps << after << status << undone;
    };
    const auto warning = [](const char *text) {
        return QList { messageBox(text) };
    };
    // A file that does not open keeps the history: undo still takes back the earlier addition.
    row("open unreadable", "30x20 [40x20]", "Open PDF", choose("Open PDF", { "bad.pdf" }),
        "30x20 [40x20]", "", "");
    row("open, a percent sign in the name", "30x20", "Open PDF",
        choose("Open PDF", { "%2 copy.pdf" }), "[200x300] 200x400 200x500",
        "Opened %2 copy.pdf (3 pages)", "[200x300] 200x400 200x500");
    row("add to nothing, the name deciding the kind", "", "Add pages",
        choose("Add pages", { "UPPER.PDF", "a.pdf.png" }), "[200x300] 200x400 200x500 300x120",
        "Added 2 file(s) — document now has 4 page(s)", "");
    row("add skips what does not open", "30x20 [40x20]", "Add pages",
        choose("Add pages", { "bad.png", "a.png", "bad.pdf" }), "30x20 [40x20] 300x120",
        "Added 3 file(s) — document now has 3 page(s)", "30x20 [40x20]");
    row("add, nothing readable", "[30x20]", "Add pages",
        choose("Add pages", { "bad.png", "bad.pdf" }), "[30x20]", "", "");
    row("insert after page 1", "[30x20] 40x20", "Insert page",
        choose("Insert page after selected", { "three.pdf" }),
        "30x20 [200x300] 200x400 200x500 40x20", "Inserted after page 1", "30x20 [40x20]");
    row("insert into nothing", "", "Insert page", choose("Insert page after selected", { "a.png" }),
        "[300x120]", "Inserted after page 0", "");
    row("insert unreadable", "[30x20]", "Insert page",
        choose("Insert page after selected", { "bad.png" }), "[30x20]", "", "");
    row("rotate left", "30x20 [40x20]", "Rotate left", {}, "30x20 [20x40]", "Rotated page 2 left",
        "30x20 [40x20]");
    row("rotate right", "[30x20]", "Rotate right", {}, "[20x30]", "Rotated page 1 right",
        "[30x20]");
    row("black and white", "[30x20]", "Black && white", {}, "[30x20]",
        "Converted page 1 to black & white (Undo to revert)", "[30x20]");
    // Undo brings the page back, not the selection.
    row("remove the last page", "30x20 40x20 [50x20]", "Remove page", {}, "30x20 [40x20]",
        "Removed page 3 — 2 page(s) left (Undo to bring it back)", "30x20 [40x20] 50x20");
    row("remove the only page", "[30x20]", "Remove page",
        warning("Can't remove the only page in the document."), "[30x20]", "", "");
    // Each side 70 %, truncated, and never below 1.
    row("compress", "200x300 [1x1] 1001x90", "Compress all", {}, "140x210 [1x1] 689x62",
        "Compressed all 3 page(s) (Undo to revert) — save to write the result to disk",
        "200x300 [1x1] 1001x90");
    // JPEG holds at most 65500 pixels a side: such a page stays as it was.
    row("compress what JPEG cannot hold", "[1x100000]", "Compress all",
        warning("Could not compress any page."), "[1x100000]", "", "");
    row("save nothing", "", "Save As PDF",
        warning("Nothing to save — open a PDF or add pages first."), "", "", "");
    row("split one page", "[30x20]", "Split",
        warning("Open a document with at least 2 pages first."), "[30x20]", "", "");
    row("merge, an unreadable file skipped", "30x20 [40x20]", "Merge files",
        choose("Choose PDF files to merge", { "three.pdf", "bad.pdf", "two.pdf" }),
        "[200x300] 200x400 200x500 300x200 400x200",
        "Merged 3 files into one document (5 pages) — Save As to write it out", "[30x20] 40x20");
    row("merge one file", "30x20 [40x20]", "Merge files",
        choose("Choose PDF files to merge", { "two.pdf" })
            + warning("Choose at least two PDF files to merge."),
        "30x20 [40x20]", "", "");
    const char *closing = "Close the current document? Any unsaved changes will be lost.";
    row("close, answered No", "30x20 [40x20]", "Close", { messageBox(closing, QMessageBox::No) },
        "30x20 [40x20]", "", "");
    row("close, answered Yes", "30x20 [40x20]", "Close", { messageBox(closing, QMessageBox::Yes) },
        "", "Closed. Open a PDF (or add images) to start editing.", "");
    row("close nothing", "", "Close", {}, "",
        "Closed. Open a PDF (or add images) to start editing.", "");
}

void tst_PdfCommands::changesDocument()
{
    QFETCH(QString, before);
    QFETCH(QString, button);
    QFETCH(QList<Step>, steps);
    QFETCH(QString, after);
    QFETCH(QString, status);
    QFETCH(QString, undone);

    PdfPage page;
    QCOMPARE(page.add(before), QString());
    const QString statusBefore = page.status();
    QCOMPARE(page.click(button, steps), QString());
    QCOMPARE(page.status(), status.isEmpty() ? statusBefore : status);
    QCOMPARE(page.state(), after);
    QCOMPARE(page.view()->text(), after.contains('[') ? "" : "No page selected");
    page.button("Undo")->click();
    QCOMPARE(page.state(), undone);
}

void tst_PdfCommands::turnsAndFlattensPixels_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QImage>("page");
    QTest::addColumn<QPoint>("probe"); // where the page then shows red, or white paper

    // A red corner: counter-clockwise it goes to the bottom left, clockwise to the top right.
    QImage marked = plainPage({ 40, 20 });
    QPainter(&marked).fillRect(0, 0, 3, 3, Qt::red);
    const QImage clear = plainPage({ 100, 100 }, Qt::transparent, QImage::Format_ARGB32);
    QTest::addRow("rotate left") << "Rotate left" << marked << QPoint(1, 38);
    QTest::addRow("rotate right") << "Rotate right" << marked << QPoint(18, 1);
    QTest::addRow("black and white of transparent paper")
        << "Black && white" << clear << QPoint(50, 50);
    QTest::addRow("compress transparent paper") << "Compress all" << clear << QPoint(35, 35);
}

void tst_PdfCommands::turnsAndFlattensPixels()
{
    QFETCH(QString, button);
    QFETCH(QImage, page);
    QFETCH(QPoint, probe);

    PdfPage pdf;
    QCOMPARE(pdf.add({ page }), QString());
    const QList<QImage> before = pdf.pages();
    QCOMPARE(pdf.click(button), QString());
    const QRgb seen = pdf.pages().value(0).pixel(probe);
    const QRgb expected = page.hasAlphaChannel() ? qRgb(255, 255, 255) : qRgb(255, 0, 0);
    QVERIFY2(qAbs(qRed(seen) - qRed(expected)) + qAbs(qGreen(seen) - qGreen(expected))
                + qAbs(qBlue(seen) - qBlue(expected))
            < 12,
        qPrintable(QString::number(seen, 16)));
    // Undo brings back the very pixels.
    pdf.button("Undo")->click();
    QCOMPARE(pdf.pages(), before);
}

void tst_PdfCommands::writesFiles_data()
{
    QTest::addColumn<QString>("pages");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QString>("obstacle"); // "disk": it fills up; else folders in the way
    QTest::addColumn<QString>("files"); // written, and the sizes of their pages
    QTest::addColumn<QString>("status"); // empty: it stays

    const QString out = fixture("out");
    const auto row = [](const QByteArray &tag, const QString &pages, const QString &button,
                         const QList<Step> &steps, const QString &obstacle, const QString &files,
                         const QString &status) {
        QTest::addRow("%s", tag.data()) << pages << button << steps << obstacle << files << status;
    };
    const QString two = "1700x2200 [800x600]", noisy = "~300x200 [~200x300]";
    const Step failed = messageBox("Could not save the file.");
    const Step folder = folderDialog("Choose output folder", out);
    const Step parts = folderDialog("Choose a folder to save both parts", out);
    const auto name = [&out](const char *title, const char *name) {
        return fileDialog(title, out, { name });
    };
    row("save", two, "Save As PDF", { name("Save As PDF", "s.pdf") }, "",
        "s.pdf: 1700x2200 800x600", "Saved " + out + "/s.pdf (2 page(s))");
    row("save into a missing folder", two, "Save As PDF",
        { name("Save As PDF", "no/s.pdf"), failed }, "", "", "");
    row("save, disk full", noisy, "Save As PDF",
        { name("Save As PDF", "s.pdf"), confirmReplace(), failed }, "disk", "", "");
    row("export page", two, "Export page", { name("Export page", "p.png") }, "", "p.png: 800x600",
        "Exported page 2 -> " + out + "/p.png");
    // The file dialog adds no suffix here, and without one no image format is known.
    row("export page without suffix", two, "Export page", { name("Export page", "p"), failed }, "",
        "", "");
    QStringList twelve, pngs;
    for (int page = 1; page <= 12; ++page) {
        twelve << QStringLiteral("%1x25").arg(page);
        pngs << QStringLiteral("page_%1.png: %2x25").arg(page, 2, 10, QLatin1Char('0')).arg(page);
    }
    row("export all, 12 pages", twelve.join(' '), "Export all", { folder }, "", pngs.join("; "),
        "Exported 12 page(s) to " + out + ", named page_001.png etc.");
    row("export all, a page not written", "1x25 2x25 3x25", "Export all", { folder }, "page_2.png",
        "page_1.png: 1x25; page_3.png: 3x25",
        "Exported 2 of 3 page(s) to " + out + "; the others could not be written");
    row("export all, nothing written", "1x25 2x25", "Export all", { folder, failed },
        "page_1.png page_2.png", "", "");
    const QStringList five { "100x250", "125x250", "150x250", "175x250", "200x250" };
    for (int after = 1; after <= 4; ++after) {
        row("split after page " + QByteArray::number(after), five.join(' '), "Split",
            { numberDialog("Split document", after), parts }, "",
            "document_part1.pdf: " + five.mid(0, after).join(' ')
                + "; document_part2.pdf: " + five.mid(after).join(' '),
            QStringLiteral("Split into document_part1.pdf (%1 pages) and document_part2.pdf (%2 "
                           "pages)")
                .arg(after)
                .arg(5 - after));
    }
    row("split, disk full", noisy, "Split",
        { numberDialog("Split document", 1), parts,
            messageBox("Could not write one or both files.") },
        "disk", "", "");
}

void tst_PdfCommands::writesFiles()
{
    QFETCH(QString, pages);
    QFETCH(QString, button);
    QFETCH(QList<Step>, steps);
    QFETCH(QString, obstacle);
    QFETCH(QString, files);
    QFETCH(QString, status);

    // Earlier files of the names written must survive a disk that fills up.
    QDir out(fixture("out"));
    QVERIFY(out.removeRecursively() && out.mkpath("."));
    const QStringList earlier { "s.pdf", "document_part1.pdf", "document_part2.pdf" };
    for (const QString &name :
        obstacle == "disk" ? earlier : obstacle.split(' ', Qt::SkipEmptyParts)) {
        QFile file(out.filePath(name));
        QVERIFY(obstacle == "disk" ? file.open(QIODevice::WriteOnly) && file.write("earlier") == 7
                                   : out.mkpath(name));
    }
    PdfPage page;
    QCOMPARE(page.add(pages), QString());
    const QString before = page.state();
    const QString statusBefore = page.status();
    {
        const auto limit = fileSizeLimit(obstacle == "disk" ? 4096 : 0);
        QCOMPARE(page.click(button, steps), QString());
    }
    QCOMPARE(page.status(), status.isEmpty() ? statusBefore : status);
    QStringList written;
    for (const QFileInfo &file : out.entryInfoList(QDir::Files, QDir::Name)) {
        QFile opened(file.filePath());
        if (obstacle == "disk" && opened.open(QIODevice::ReadOnly)) {
            QCOMPARE(opened.readAll(), "earlier");
            continue;
        }
        written << file.fileName() + ": "
                + (file.suffix() == "pdf" ? pdfPageSizes(file.filePath())
                                          : sizesOf({ QImage(file.filePath()) }));
    }
    QCOMPARE(written.join("; "), files);
    // The document stays as it was.
    QCOMPARE(page.state(), before);
    QCOMPARE(page.undoAll(), 1);
}

void tst_PdfCommands::suggestsNameOfOpenedFile()
{
    PdfPage page;
    QCOMPARE(page.click("Open PDF", choose("Open PDF", { "%2 copy.pdf" })), QString());
    QCOMPARE(page.click("Add pages", choose("Add pages", { "two.pdf" })), QString());
    QCOMPARE(
        page.click("Insert page", choose("Insert page after selected", { "a.png" })), QString());
    QCOMPARE(page.savePath(), fixture("%2 copy_edited.pdf"));
    // A merged document, or one closed, has no file of its own.
    QCOMPARE(
        page.click("Merge files", choose("Choose PDF files to merge", { "two.pdf", "three.pdf" })),
        QString());
    QCOMPARE(QFileInfo(page.savePath()).fileName(), "document.pdf");
    QCOMPARE(page.click("Open PDF", choose("Open PDF", { "two.pdf" })), QString());
    QCOMPARE(page.click("Close", { messageBox("Close the current", QMessageBox::Yes) }), QString());
    QCOMPARE(page.add("5x5"), QString());
    QCOMPARE(QFileInfo(page.savePath()).fileName(), "document.pdf");
}

void tst_PdfCommands::keepsFifteenSnapshots()
{
    PdfPage page;
    QCOMPARE(page.add("[30x20]"), QString());
    for (int edit = 0; edit < 15; ++edit) {
        page.button("Rotate right")->click();
    }
    // The oldest snapshot, of the empty document, has gone: the added page stays.
    QCOMPARE(page.undoAll(), 15);
    QCOMPARE(page.state(), "[30x20]");
}

QTEST_MAIN(tst_PdfCommands)
#include "tst_pdfcommands.moc"
