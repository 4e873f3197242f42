#include "pdftesting.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/pageoperations.h"
#include "tools/pdf/reading/pdfreader.h"

#include <QtTest>

#include <ctime>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace dialogs;
using namespace pdftest;

// The PDF page driven as a user drives it: commands, saving, export, merge and split, undo, the
// mouse modes, comments, text recognition; PDF files read and written, and the pure operations
// on pages. Pages are written as sizesOf writes them.

Q_DECLARE_METATYPE(dialogs::Step)

namespace {
#ifdef Q_OS_UNIX
// While the guard lives, files of this process cannot grow beyond the limit (the signal that
// would end the process ignored): a full disk, as far as a writer can tell. 0: no limit.
auto fileSizeLimit(rlim_t bytes)
{
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old;
    limit.rlim_cur = bytes ? bytes : old.rlim_cur;
    setrlimit(RLIMIT_FSIZE, &limit);
    return qScopeGuard([old, handler] {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
    });
}
#endif

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos)
{
    const bool move = type == QEvent::MouseMove, release = type == QEvent::MouseButtonRelease;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), move ? Qt::NoButton : Qt::LeftButton,
        release ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

int bluePixels(const QImage &page, const QRect &area)
{
    const QImage part = page.copy(area).convertToFormat(QImage::Format_RGB32);
    const auto *pixels = reinterpret_cast<const QRgb *>(part.constBits());
    return int(std::count(pixels, pixels + part.width() * part.height(), qRgb(0, 0, 255)));
}

// Two columns of words on transparent paper, the left one to be read first. 1301 * 3 bytes is
// not a multiple of 4: the rows the recognition engine reads are padded.
const QString kColumns = "north 10 north 11 north 12 north 13 north 14 north 15 north 16 north 17 "
                         "south 20 south 21 south 22 south 23 south 24 south 25 south 26 south 27";
QImage twoColumnPage()
{
    QImage page(1301, 760, QImage::Format_ARGB32);
    page.fill(Qt::transparent);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(36);
    painter.setFont(font);
    for (int line = 0; line < 8; ++line) {
        painter.drawText(60, 120 + 70 * line, QStringLiteral("north %1").arg(10 + line));
        painter.drawText(760, 120 + 70 * line, QStringLiteral("south %1").arg(20 + line));
    }
    return page;
}
} // namespace

class tst_PdfPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void clicks_data();
    void clicks();
    void keepsFifteenSnapshots();
    void marksByMouse_data();
    void marksByMouse();
    void commentsOutliveTheirPages();
    void recognisesColumnsInReadingOrderOnOneThread();
    void recognitionEndsQuietlyWhenClosedMeanwhile();
    void roundTripsPagesEdgeToEdge();
    void marksInColourOnAnyFormat();
    void clipsCropsAndHighlights();

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

void tst_PdfPage::initTestCase()
{
    QVERIFY(writeTestPdf(fixture("three.pdf"), { { 72, 108 }, { 72, 144 }, { 72, 180 } }));
    QVERIFY(writeTestPdf(fixture("two.pdf"), { { 108, 72 }, { 144, 72 } }));
    QVERIFY(QFile::copy(fixture("three.pdf"), fixture("%2 copy.pdf")));
    // The first page of gap.pdf names an object the file lacks: the engine cannot size it. The
    // second page of vast.pdf is 200 inches square, larger than a page can be; many.pdf claims
    // 8192 Letter pages.
    const auto page = [](const char *box) {
        return "<< /Type /Page /Parent 2 0 R /MediaBox [" + QByteArray(box) + "] >>";
    };
    for (const auto &[name, kids, box] :
        { std::tuple { "gap.pdf", "9 0 R 3 0 R 4 0 R", "0 0 72 144" },
            std::tuple { "vast.pdf", "3 0 R 4 0 R", "0 0 14400 14400" } }) {
        QVERIFY(writeFile(fixture(name),
            buildPdf({ "<< /Type /Catalog /Pages 2 0 R >>",
                "<< /Type /Pages /Kids [" + QByteArray(kids) + "] /Count "
                    + QByteArray::number(QByteArray(kids).count('R')) + " >>",
                page("0 0 144 72"), page(box) })));
    }
    QVERIFY(writeFile(fixture("many.pdf"), sharedBranches(13, "[0 0 612 792]")));
    QVERIFY(QFile::copy(fixture("three.pdf"), fixture("UPPER.PDF")));
    QVERIFY(plainPage({ 300, 120 }).save(fixture("a.pdf.png"), "png"));
    for (const char *name : { "bad.png", "bad.pdf", "bad2.pdf" }) {
        QVERIFY(writeFile(fixture(name), "neither image nor PDF"));
    }
}

void tst_PdfPage::clicks_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("status"); // empty: it stays
    QTest::addColumn<QString>("undone"); // after one click on "Undo"
    QTest::addColumn<QString>("files"); // written, and the sizes of their pages
    // "disk N": files stop at N bytes; else folders in the way
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("pixel"); // "x y colour" on the selected page afterwards
    const auto row = [](const char *tag, const QString &before, const QString &button,
                         const QList<Step> &steps, const QString &after, const QString &status,
                         const QString &undone, const QString &files = QString(),
                         const QString &obstacle = QString(), const QString &pixel = QString()) {
        QTest::addRow("%s", tag) << before << button << steps << after << status << undone << files
                                 << obstacle << pixel;
    };
    const auto warning = [](const char *text) {
        return QList { messageBox(text) };
    };
    // A file that does not open keeps the history: undo still takes back the earlier addition.
    row("open, a file that does not open", "30x20 [40x20]", "Open PDF",
        choose("Open PDF", { "bad.pdf" }), "30x20 [40x20]", "", "");
    row("merge, nothing opens", "30x20 [40x20]", "Merge files",
        choose("Choose PDF files to merge", { "bad.pdf", "bad2.pdf" })
            + warning("None of the chosen files could be opened"),
        "30x20 [40x20]", "", "");
    row("open, a percent sign in the name", "30x20", "Open PDF",
        choose("Open PDF", { "%2 copy.pdf" }), "[200x300] 200x400 200x500",
        "Opened %2 copy.pdf (3 pages)", "[200x300] 200x400 200x500");
    // A page the engine cannot size comes in as white US Letter; the others as they are.
    row("open, a page that cannot be read", "30x20", "Open PDF",
        choose("Open PDF", { "gap.pdf" })
            + warning("Some pages of gap.pdf could not be read and came in as white pages: 1."),
        "[1700x2200] 400x200 200x400", "Opened gap.pdf (3 pages)", "[1700x2200] 400x200 200x400",
        "", "", "850 1100 white");
    row("add, more pages than a document may hold", "30x20 [40x20]", "Add pages",
        choose("Add pages", { "many.pdf" }) + warning("would have more than 5000 pages"),
        "30x20 [40x20]", "", "");
    row("open, a page larger than a page can be", "30x20", "Open PDF",
        choose("Open PDF", { "vast.pdf" })
            + warning("page 2 would be 40000 x 40000 pixels, larger than a page can be"),
        "[30x20]", "", "");
    row("add to nothing, the name deciding the kind", "", "Add pages",
        choose("Add pages", { "UPPER.PDF", "a.pdf.png" }), "[200x300] 200x400 200x500 300x120",
        "Added 2 file(s) — document now has 4 page(s)", "");
    row("add skips what does not open", "30x20 [40x20]", "Add pages",
        choose("Add pages", { "bad.png", "a.pdf.png", "bad.pdf" }), "30x20 [40x20] 300x120",
        "Added 3 file(s) — document now has 3 page(s)", "30x20 [40x20]");
    row("insert after page 1", "[30x20] 40x20", "Insert page",
        choose("Insert page after selected", { "three.pdf" }),
        "30x20 [200x300] 200x400 200x500 40x20", "Inserted after page 1", "30x20 [40x20]");
    // A red corner goes to the bottom left counter-clockwise, to the top right clockwise.
    row("rotate left", "30x20 [r40x20]", "Rotate left", {}, "30x20 [20x40]", "Rotated page 2 left",
        "30x20 [40x20]", "", "", "1 38 red");
    row("rotate right", "[r40x20]", "Rotate right", {}, "[20x40]", "Rotated page 1 right",
        "[40x20]", "", "", "18 1 red");
    // Transparent paper turns white, not black.
    row("black and white", "[t30x20]", "Black && white", {}, "[30x20]",
        "Converted page 1 to black & white (Undo to revert)", "[30x20]", "", "", "15 10 white");
    // Undo brings the page back, not the selection.
    row("remove the last page", "30x20 40x20 [50x20]", "Remove page", {}, "30x20 [40x20]",
        "Removed page 3 — 2 page(s) left (Undo to bring it back)", "30x20 [40x20] 50x20");
    row("remove the only page", "[30x20]", "Remove page",
        warning("Can't remove the only page in the document."), "[30x20]", "", "");
    // Each side 70 %, truncated, and never below 1. JPEG holds at most 65500 pixels a side: such
    // a page stays as it was.
    row("compress", "[t200x300] 1x1 1001x90 1x100000", "Compress all", {},
        "[140x210] 1x1 689x62 1x100000",
        "Compressed 3 of 4 page(s); the others could not be compressed and stay as they were "
        "(Undo to revert) — save to write the result to disk",
        "[200x300] 1x1 1001x90 1x100000", "", "", "70 100 white");
    row("merge, an unreadable file skipped", "30x20 [40x20]", "Merge files",
        choose("Choose PDF files to merge", { "three.pdf", "bad.pdf", "two.pdf" }),
        "[200x300] 200x400 200x500 300x200 400x200",
        "Merged 3 files into one document (5 pages) — Save As to write it out", "[30x20] 40x20");
    const char *closing = "Close the current document? Any unsaved changes will be lost.";
    row("close, answered No", "30x20 [40x20]", "Close", { messageBox(closing, QMessageBox::No) },
        "30x20 [40x20]", "", "");
    row("close, answered Yes", "30x20 [40x20]", "Close", { messageBox(closing, QMessageBox::Yes) },
        "", "Closed. Open a PDF (or add images) to start editing.", "");
    // Writing leaves the document and its history as they were.
    const QString out = fixture("out");
    const QString two = "1700x2200 [800x600]", noisy = "~300x200 [~200x300]";
    const QString awkward = "one's v2.final – 页 $(x) & more.pdf";
    const auto failed = [&out](const QString &file) { // then the file, and why
        return messageBox(
            "Could not save the file.\n" + QDir::toNativeSeparators(out + "/" + file));
    };
    const Step replace = messageBox("already exists", QMessageBox::Yes);
    const Step folder = fileDialog("Choose output folder", out, { out });
    const auto name = [&out](const char *title, const QString &name) {
        return fileDialog(title, out, { name });
    };
    row("save nothing", "", "Save As PDF",
        warning("Nothing to save — open a PDF or add pages first."), "", "", "");
    row("save, an awkward name", two, "Save As PDF", { name("Save As PDF", awkward) }, two,
        "Saved " + out + "/" + awkward + " (2 page(s))", "", awkward + ": 1700x2200 800x600");
    row("save, disk full", noisy, "Save As PDF",
        { name("Save As PDF", "s.pdf"), replace, failed("s.pdf: Not every") }, "300x200 [200x300]",
        "", "", "", "disk 4096");
    row("export page", two, "Export page", { name("Export page", "p.png") }, two,
        "Exported page 2 -> " + out + "/p.png", "", "p.png: 800x600");
    // The file dialog adds no suffix here, and without one no image format is known.
    row("export page without suffix", two, "Export page",
        { name("Export page", "p"), failed("p: The name does not end in") }, two, "", "");
    // Small enough to sit in the file's write buffer until it is closed.
    row("export page, disk full", "[64x64]", "Export page",
        { name("Export page", "p.png"), replace, failed("p.png: Not every") }, "[64x64]", "", "",
        "", "disk 100");
    row("export all, a page not written", "[1x25] 2x25 3x25", "Export all", { folder },
        "[1x25] 2x25 3x25",
        "Exported 2 of 3 page(s) to " + out + "; the others could not be written", "",
        "page_1.png: 1x25; page_3.png: 3x25", "page_2.png");
    row("export all, nothing written", "[1x25] 2x25", "Export all",
        { folder, failed("page_1.png") }, "[1x25] 2x25", "", "", "", "page_1.png page_2.png");
    const QList<Step> split { inputDialog("Split document", 2),
        fileDialog("Choose a folder to save both parts", out, { out }) };
    row("split", "[100x250] 125x250 150x250 175x250", "Split", split,
        "[100x250] 125x250 150x250 175x250",
        "Split into document_part1.pdf (2 pages) and document_part2.pdf (2 pages)", "",
        "document_part1.pdf: 100x250 125x250; document_part2.pdf: 150x250 175x250");
    row("split, disk full", "[~300x200] ~200x300 ~300x300", "Split",
        split + QList { messageBox("both files.\n" + out + "/document_part1.pdf: Not every") },
        "[300x200] 200x300 300x300", "", "", "", "disk 4096");
}

void tst_PdfPage::clicks()
{
    QFETCH(QString, before);
    QFETCH(QString, button);
    QFETCH(QList<Step>, steps);
    QFETCH(QString, after);
    QFETCH(QString, status);
    QFETCH(QString, undone);
    QFETCH(QString, files);
    QFETCH(QString, obstacle);
    QFETCH(QString, pixel);
    QDir out(fixture("out"));
    QVERIFY(out.removeRecursively() && out.mkpath("."));
    // Earlier files of the names written must survive a disk that fills up.
    const int limit = obstacle.startsWith("disk") ? obstacle.mid(5).toInt() : 0;
#ifndef Q_OS_UNIX
    if (limit) {
        QSKIP("A full disk is stood for by a file size limit, which needs a Unix system.");
    }
#endif
    const QStringList earlier { "s.pdf", "p.png", "document_part1.pdf", "document_part2.pdf" };
    for (const QString &name : limit ? earlier : obstacle.split(' ', Qt::SkipEmptyParts)) {
        QVERIFY(limit ? writeFile(out.filePath(name), "earlier") : out.mkpath(name));
    }
    PdfPage page;
    QCOMPARE(page.add(before), QString());
    const QList<QImage> original = page.pages();
    const QString statusBefore = page.status();
    {
#ifdef Q_OS_UNIX
        const auto guard = fileSizeLimit(limit);
#endif
        QCOMPARE(page.click(button, steps), QString());
    }
    QCOMPARE(page.status(), status.isEmpty() ? statusBefore : status);
    QStringList written;
    for (const QFileInfo &file : out.entryInfoList(QDir::Files, QDir::Name)) {
        if (contentsOf(file.filePath()) != "earlier") {
            written << file.fileName() + ": "
                    + sizesOf(file.suffix() == "pdf" ? pdf::readPdfPages(file.filePath()).pages
                                                     : QList { QImage(file.filePath()) });
        }
    }
    QCOMPARE(written.join("; "), files);
    const QList<QImage> pages = page.pages();
    QCOMPARE(sizesOf(pages, page.selected()), after);
    QCOMPARE(page.view()->text(), after.contains('[') ? "" : "No page selected");
    if (!pixel.isEmpty()) {
        const QStringList probe = pixel.split(' ');
        const QColor seen =
            pages.value(page.selected()).pixelColor(probe[0].toInt(), probe[1].toInt());
        QVERIFY2(
            qAbs(qGray(seen.rgb()) - qGray(QColor(probe[2]).rgb())) < 8, qPrintable(seen.name()));
    }
    // Wherever the table has the pages as they were, their very pixels are there: after a click
    // that probes no pixel (a probe marks pixels changed in place), and after undo.
    const auto asBefore = [&](QString sizes) {
        return sizes.remove('[').remove(']') == sizesOf(original);
    };
    QVERIFY(!asBefore(after) || !pixel.isEmpty() || pages == original);
    page.button("Undo")->click();
    const QList<QImage> back = page.pages();
    QCOMPARE(sizesOf(back, page.selected()), undone);
    QVERIFY(!asBefore(undone) || back == original);
}

void tst_PdfPage::keepsFifteenSnapshots()
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

void tst_PdfPage::marksByMouse_data()
{
    QTest::addColumn<QString>("clicks"); // C: Crop, F: Fill && Sign, H: Highlight
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<QList<QPoint>>("points"); // on a page shown at half its size
    QTest::addColumn<QRect>("near"); // page pixels where blue marks go
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("status"); // empty: it stays
    const auto row = [](const char *tag, const char *clicks, const char *stamp,
                         const QList<QPoint> &points, const QRect &near, const char *effect,
                         const QString &status) {
        QTest::addRow("%s", tag) << clicks << stamp << points << near << effect << status;
    };
    const QList<QPoint> drag { { 10, 10 }, { 60, 110 }, { 110, 210 } };
    const QString cropped = "Cropped page 1 (Undo to revert)";
    const QString highlighted = "Highlighted page 1 (Undo to revert)";
    row("crop", "C", "Dot", drag, {}, "previewed, 201x401", cropped);
    row("highlight", "H", "Dot", drag, {}, "previewed, yellow", highlighted);
    row("crop hides the stamp bar", "FC", "Dot", drag, {}, "previewed, 201x401", cropped);
    // The buttons keep the state the user's clicks gave them: still checked, they turn off.
    row("crop clicked again", "FCHC", "Dot", drag, {}, "previewed, yellow", highlighted);
    row("fill and sign ends highlight", "HF", "Dot", { { 10, 10 } }, { 5, 5, 30, 30 }, "bar, blue",
        "Stamped 'Dot' on page 1 (Undo to revert)");
    // Text runs right from its baseline's left end; the other stamps sit around the point.
    row("Text", "F", "Text", { { 100, 150 } }, { 200, 260, 150, 45 }, "bar, blue",
        "Stamped 'Text' on page 1 (Undo to revert)");
    for (const char *type : { "X", "Checkmark", "Circle", "Line" }) {
        row(type, "F", type, { { 100, 150 } }, { 170, 270, 61, 61 }, "bar, blue",
            QStringLiteral("Stamped '%1' on page 1 (Undo to revert)").arg(type));
    }
    row("Signature", "F", "Signature", { { 50, 50 }, { 75, 60 }, { 100, 50 } }, { 90, 90, 120, 40 },
        "bar, previewed, blue", "Added signature to page 1 (Undo to revert)");
}

void tst_PdfPage::marksByMouse()
{
    QFETCH(QString, clicks);
    QFETCH(QString, stamp);
    QFETCH(QList<QPoint>, points);
    QFETCH(QRect, near);
    QFETCH(QString, effect);
    QFETCH(QString, status);
    PdfPage page;
    QCOMPARE(page.add({ plainPage({ 1120, 1560 }, Qt::white) }), QString());
    const QList<QImage> original = page.pages();
    // The stamp bar holds the type, then the colour.
    const QList<QComboBox *> boxes = page.widget.findChildren<QComboBox *>();
    boxes.first()->setCurrentText(stamp);
    boxes.last()->setCurrentText("Blue");
    const QStringList buttons { "Crop", "Fill && Sign", "Highlight" };
    for (const QChar c : clicks) {
        QCOMPARE(page.click(buttons.at(QStringLiteral("CFH").indexOf(c))), QString());
    }
    const QString before = page.status();
    const QImage shown = page.view()->pixmap().toImage();
    QStringList seen =
        boxes.first()->isVisibleTo(&page.widget) ? QStringList { "bar" } : QStringList();
    const auto mouse = [&] {
        sendMouse(page.view(), QEvent::MouseButtonPress, points.first());
        for (const QPoint &point : points.mid(1)) {
            sendMouse(page.view(), QEvent::MouseMove, point);
        }
        if (points.size() > 1 && page.view()->pixmap().toImage() != shown) {
            seen << "previewed";
        }
        sendMouse(page.view(), QEvent::MouseButtonRelease, points.last());
    };
    QCOMPARE(runWithDialogs(mouse,
                 stamp == "Text" ? QList { inputDialog("Add text", "WIDE") } : QList<Step>()),
        QString());
    QCOMPARE(page.status(), status.isEmpty() ? before : status);
    const QImage after = page.pages().value(0);
    const int blue = bluePixels(after, after.rect());
    const QColor middle = after.pixelColor(points.first() + points.last()); // in page pixels
    seen << (after.size() != original.first().size()                            ? sizesOf({ after })
            : middle.red() > 240 && middle.green() > 230 && middle.blue() < 200 ? "yellow"
            : blue == 0                                                         ? "nothing"
            : bluePixels(after, near) == blue                                   ? "blue"
                                                                                : "blue astray");
    QCOMPARE(seen.join(", "), effect);
    if (status.isEmpty()) {
        QCOMPARE(page.view()->pixmap().toImage(), shown);
    } else {
        page.button("Undo")->click();
        QCOMPARE(page.pages(), original);
    }
}

void tst_PdfPage::commentsOutliveTheirPages()
{
    // Shown at its own size, so view and page pixels agree.
    const QImage white = plainPage({ 560, 780 }, Qt::white, QImage::Format_ARGB32);
    PdfPage page;
    QCOMPARE(page.add({ white, white }, 1), QString());
    page.widget.findChild<QComboBox *>()->setCurrentText("Comment");
    QCOMPARE(page.click("Fill && Sign"), QString());
    const auto press = [&page] {
        sendMouse(page.view(), QEvent::MouseButtonPress, { 200, 300 });
    };
    QCOMPARE(runWithDialogs(press, { inputDialog("Add comment", "fix %1 and %2") }), QString());
    QCOMPARE(page.status(), "Added a comment to page 2");
    QListWidget *comments = nullptr;
    for (QListWidget *list : page.widget.findChildren<QListWidget *>()) {
        comments = qobject_cast<pdf::ThumbnailList *>(list) ? comments : list;
    }
    QCOMPARE(comments->item(0)->text(), "Page 2: fix %1 and %2");
    // The marker's bubble, in its own colours, sits just above and right of the click.
    QCOMPARE(page.pages().at(1).pixelColor(204, 294), QColor(255, 224, 130));
    // Once its page has gone the row selects none, and nothing acts on a page.
    QCOMPARE(page.click("Remove page"), QString());
    comments->setCurrentRow(-1);
    comments->setCurrentRow(0);
    QCOMPARE(page.selected(), -1);
    QCOMPARE(page.click("Rotate left"), QString());
    QCOMPARE(page.click("OCR", { messageBox("Select a page first.") }), QString());
    QCOMPARE(page.pages(), { white });
}

void tst_PdfPage::recognisesColumnsInReadingOrderOnOneThread()
{
    PdfPage page;
    QCOMPARE(page.add({ plainPage({ 50, 50 }), twoColumnPage() }, 1), QString());
    const QList<QImage> before = page.pages();
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpuBefore = std::clock(); // CPU time of every thread of the process
    QCOMPARE(page.click("OCR"), QString());
    const double cpu = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    const double seconds = double(wall.elapsed()) / 1000.0;
    // Worker threads would spend more CPU time than passes.
    QVERIFY2(cpu < seconds * 1.2 + 0.1,
        qPrintable(QStringLiteral("%1 s CPU in %2 s").arg(cpu).arg(seconds)));
    auto *panel = page.widget.findChild<QTextEdit *>();
    QVERIFY(panel->isVisibleTo(&page.widget));
    QCOMPARE(panel->toPlainText().simplified(), kColumns);
    QCOMPARE(page.status(), "Recognized text from page 2 — edit or copy it from the panel below.");
    QCOMPARE(page.pages(), before); // only read
}

void tst_PdfPage::recognitionEndsQuietlyWhenClosedMeanwhile()
{
    PdfPage page;
    QCOMPARE(page.add({ twoColumnPage() }), QString());
    // A click on "Close" that waits while recognition lets events run.
    QMetaObject::invokeMethod(page.button("Close"), "click", Qt::QueuedConnection);
    QCOMPARE(page.click("OCR", { messageBox("Close the current", QMessageBox::Yes) }), QString());
    QCOMPARE(page.widget.findChild<QTextEdit *>()->toPlainText(), QString());
    QCOMPARE(page.status(), "Closed. Open a PDF (or add images) to start editing.");
}

void tst_PdfPage::roundTripsPagesEdgeToEdge()
{
    // 1653 x 2339 pixels measure 595.08 x 842.04 points, close enough to be written as A4. The
    // writer keeps whole points, so tiny pages come out a pixel longer than 200 / 72 says.
    const QList<QSizeF> points { { 595, 842 }, { 288, 216 }, { 20, 20 }, { 540, 11 } };
    const QString pixels = "1653x2339 800x600 56x56 1500x31"; // read at 200 dpi, and after saves
    const QString path = fixture("document.pdf");
    QVERIFY(writeTestPdf(path, points));
    pdf::PdfReadResult read = pdf::readPdfPages(path);
    QCOMPARE(sizesOf(read.pages), pixels);
    for (QImage &page : read.pages) {
        // White paper, not transparent (black once alpha is dropped); then a red frame.
        QVERIFY(qGray(page.pixel(page.width() / 2, page.height() - 5)) > 245);
        QPainter painter(&page);
        painter.setPen(QPen(Qt::red, 4));
        painter.drawRect(page.rect().adjusted(2, 2, -2, -2));
    }
    // Saved twice over the very file read, the pages keep their sizes and their frames their
    // edges: no white border, no shrinking.
    for (int save = 1; save <= 2; ++save) {
        QString error;
        QVERIFY2(pdf::writePagesAsPdf(read.pages, path, &error), qPrintable(error));
        read = pdf::readPdfPages(path);
        QCOMPARE(sizesOf(read.pages), pixels);
        for (const QImage &page : std::as_const(read.pages)) {
            for (const QPoint &at : { QPoint(1, 1), QPoint(page.width() - 2, page.height() - 2) }) {
                QVERIFY2(qRed(page.pixel(at)) > 150 && qGreen(page.pixel(at)) < 80,
                    qPrintable(QColor(page.pixel(at)).name()));
            }
        }
    }
}

// Marks on a page of one bit, of a palette or of grey levels come out in colour, only where they
// go; a highlight covers the whole of its rectangle.
void tst_PdfPage::marksInColourOnAnyFormat()
{
    const QPoint start(10, 10), end(60, 40);
    for (const QImage::Format format :
        { QImage::Format_Mono, QImage::Format_Indexed8, QImage::Format_Grayscale8 }) {
        const QImage page = plainPage({ 200, 160 }, Qt::white, format);
        // Each mark, the only part it may touch, and how many pixels it must change at least.
        const QList<std::tuple<std::optional<QImage>, QRect, int>> marks {
            { pdf::highlightedPage(page, start, end), QRect(10, 10, 51, 31), 51 * 31 },
            { pdf::stampedPage(page, pdf::StampType::Dot, { 100, 100 }, Qt::blue, QString()),
                QRect(90, 90, 21, 21), 1 },
            { pdf::signedPage(page, { start, end }, Qt::blue), QRect(7, 7, 57, 37), 1 },
        };
        for (const auto &[marked, expected, least] : marks) {
            QVERIFY(marked);
            const QImage rgb = marked->convertToFormat(QImage::Format_RGB32);
            int inside = 0;
            for (int y = 0; y < rgb.height(); ++y) {
                for (int x = 0; x < rgb.width(); ++x) {
                    const QRgb pixel = rgb.pixel(x, y);
                    const bool paper = pixel == qRgb(255, 255, 255);
                    QVERIFY(paper || (expected.contains(x, y) && qBlue(pixel) != qRed(pixel)));
                    inside += paper ? 0 : 1;
                }
            }
            QVERIFY2(inside >= least, qPrintable(QString::number(format)));
        }
    }
}

// A crop never enlarges a page nor cuts it to a sliver; a highlight is clipped to it. Both keep
// the two points dragged between, whichever way the drag went.
void tst_PdfPage::clipsCropsAndHighlights()
{
    const QSize page(200, 160);
    QCOMPARE(pdf::cropRectangle({ 20, 20 }, { 40, 23 }, page).value_or(QRect()), QRect()); // 4 high
    QCOMPARE(pdf::cropRectangle({ -100, -100 }, { 1000, 1000 }, page).value_or(QRect()),
        QRect(0, 0, 200, 160));
    QCOMPARE(
        pdf::cropRectangle({ 60, 50 }, { 10, 20 }, page).value_or(QRect()), QRect(10, 20, 51, 31));
    QCOMPARE(
        pdf::cropRectangle({ 197, 10 }, { 300, 100 }, page).value_or(QRect()), QRect()); // sliver
    QCOMPARE(pdf::highlightRectangle({ 190, 150 }, { 260, 200 }, page).value_or(QRect()),
        QRect(190, 150, 10, 10));
    QCOMPARE(pdf::highlightRectangle({ -50, -50 }, { -10, -10 }, page).value_or(QRect()), QRect());
}

QTEST_MAIN(tst_PdfPage)
#include "tst_pdfpage.moc"
