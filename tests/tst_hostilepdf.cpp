// PDF files built to break the reader, and readers that hang or crash: each file is refused or
// read whole within the watchdog, nothing of the reading is left in the temporary folder, and
// the page that asked keeps its document, selection and undo history.

#include "pdftesting.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/pdftoolspage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A PDF of the given objects, numbered from 1 (the catalogue), with a cross-reference table.
QByteArray buildPdf(const QList<QByteArray> &objects)
{
    QByteArray pdf("%PDF-1.4\n");
    QByteArray table =
        "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    return pdf + table + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1)
        + " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(pdf.size()) + "\n%%EOF\n";
}

const QByteArray kCatalog("<< /Type /Catalog /Pages 2 0 R >>");
const QByteArray kNoPages = buildPdf({ kCatalog, "<< /Type /Pages /Kids [] /Count 0 >>" });

// depth nodes of type Pages, each naming the next one twice, above one page of the given box:
// a small file claiming 2^depth pages.
QByteArray sharedBranches(int depth, const QByteArray &box)
{
    QList<QByteArray> objects { kCatalog };
    for (int level = 0; level < depth; ++level) {
        const QByteArray next = QByteArray::number(level + 3) + " 0 R ";
        objects << "<< /Type /Pages /Kids [" + next + next + "] /Count "
                + QByteArray::number(qint64(1) << (depth - level)) + " >>";
    }
    objects << "<< /Type /Page /MediaBox " + box + " /Contents " + QByteArray::number(depth + 3)
            + " 0 R >>";
    return buildPdf(objects << "<< /Length 25 >>\nstream\n0 0 1 rg 10 10 50 50 re f\nendstream");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

constexpr int kStallMs = 3000;
// Expected outcomes besides a number of pages read.
constexpr int kRefused = -1;
constexpr int kTooLarge = -2;
constexpr int kEither = -3; // damaged files the engine may mend: refused, or some sound pages

// The sound document: seven pages, each wider than the one before.
const QList<int> kWidths { 100, 125, 150, 175, 200, 225, 250 };

PdfReadOptions options(int helpers, qsizetype pagesBefore = 0)
{
    PdfReadOptions options;
    options.helperCount = helpers;
    options.pagesBefore = pagesBefore;
    options.stallTimeoutMs = kStallMs;
    return options;
}

// Faults the render helper can be told to have (a test-only setting).
void setFault(const QByteArray &fault)
{
    qputenv("MIRVALE_PDFRENDER_FAULT", fault);
}

} // namespace

Q_DECLARE_METATYPE(PdfReadOptions)

class tst_HostilePdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { setFault({}); }
    void readsOrRefusesWithinWatchdog_data();
    void readsOrRefusesWithinWatchdog();
    void pageKeepsDocumentWhenReadingFails_data();
    void pageKeepsDocumentWhenReadingFails();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void tst_HostilePdf::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    QList<QSizeF> sizes;
    for (const int width : kWidths) {
        sizes.append(QSizeF(width * 72 / kPageDpi, 18));
    }
    QVERIFY(pdftest::writeTestPdf(path("sound.pdf"), sizes));
}

void tst_HostilePdf::readsOrRefusesWithinWatchdog_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<PdfReadOptions>("options");
    QTest::addColumn<int>("pages"); // when read, or kRefused, kTooLarge, kEither

    const QByteArray sound = contentsOf(path("sound.pdf"));
    const QByteArray random = "%PDF-1.7\n" + QByteArray::fromHex("9c3fe2d10b47a8").repeated(150);
    const QByteArray noFault;
    // The sound rows also check that pages keep the document's order across helpers.
    QTest::addRow("sound, one helper") << sound << noFault << options(1) << 7;
    QTest::addRow("sound, three helpers") << sound << noFault << options(3) << 7;
    QTest::addRow("sound, more helpers than pages") << sound << noFault << options(20) << 7;
    QTest::addRow("empty file") << QByteArray() << noFault << options(0) << kRefused;
    QTest::addRow("random bytes") << random << noFault << options(0) << kRefused;
    QTest::addRow("cut in half") << sound.left(sound.size() / 2) << noFault << options(0)
                                 << kEither;
    QTest::addRow("no pages") << kNoPages << noFault << options(0) << kRefused;
    QTest::addRow("page tree loop")
        << sharedBranches(2, "[0 0 144 72]").replace("[3 0 R 3", "[2 0 R 3") << noFault
        << options(0) << kRefused;
    QTest::addRow("page too large to render")
        << sharedBranches(1, "[0 0 14400 14400]") << noFault << options(0) << kRefused;
    QTest::addRow("4096 letter pages, too many pixels")
        << sharedBranches(12, "[0 0 612 792]") << noFault << options(0) << kTooLarge;
    QTest::addRow("eight pages from shared branches")
        << sharedBranches(3, "[0 0 144 72]") << noFault << options(0) << 8;
    QTest::addRow("joining a full document")
        << sound << noFault << options(0, kMaxPdfPages - 6) << kTooLarge;
    QTest::addRow("engine crashes") << sound << QByteArray("crash-load") << options(0) << kRefused;
    QTest::addRow("engine never returns")
        << sound << QByteArray("stall-load") << options(0) << kRefused;
    QTest::addRow("engine stops mid-way")
        << sound << QByteArray("stall-render") << options(0) << kRefused;
}

void tst_HostilePdf::readsOrRefusesWithinWatchdog()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, fault);
    QFETCH(PdfReadOptions, options);
    QFETCH(int, pages);

    const QString file = path(QStringLiteral("hostile.pdf"));
    QVERIFY(writeFile(file, bytes));
    setFault(fault);
    QElapsedTimer timer;
    timer.start();
    const PdfReadResult read = readPdfPages(file, options);
    QVERIFY2(timer.elapsed() < 3 * kStallMs, qPrintable(QString::number(timer.elapsed())));

    QCOMPARE(read.tooLarge, pages == kTooLarge);
    if (pages != kEither) {
        QCOMPARE(read.ok, pages >= 0);
        QCOMPARE(read.pages.size(), qMax(pages, 0));
    }
    QVERIFY(read.ok || read.pages.isEmpty());
    for (const QImage &page : read.pages) {
        QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
    }
    if (pages == 7) {
        QList<int> widths;
        for (const QImage &page : read.pages) {
            widths << page.width();
        }
        QCOMPARE(widths, kWidths);
    }
    // Reading never writes the file, and nothing of it stays behind, killed helpers included.
    QCOMPARE(contentsOf(file), bytes);
    QStringList left;
    for (const QString &folder : { QDir::tempPath(), QStringLiteral("/dev/shm") }) {
        left += QDir(folder).entryList(
            { QStringLiteral("mirvale-pages-%1-*").arg(QCoreApplication::applicationPid()) });
    }
    QCOMPARE(left, QStringList());
}

void tst_HostilePdf::pageKeepsDocumentWhenReadingFails_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("warnings");

    const QString open = "Could not open: " + path("hostile.pdf");
    const QByteArray sound = contentsOf(path("sound.pdf"));
    QTest::addRow("open, engine crashes")
        << "Open PDF" << QByteArray("crash-load") << sound << QStringList { open };
    QTest::addRow("open, no pages")
        << "Open PDF" << QByteArray() << kNoPages << QStringList { open };
    QTest::addRow("add, too large")
        << "Add pages" << QByteArray() << sharedBranches(12, "[0 0 612 792]")
        << QStringList {
               "Could not open " + path("hostile.pdf")
               + ": the document would have more than 5000 pages or more than 8 GiB of page images."
           };
    QTest::addRow("merge, nothing opens")
        << "Merge files" << QByteArray("crash-load") << sound
        << QStringList { open, "Could not open: " + path("sound.pdf"),
               "None of the chosen files could be opened" };
}

void tst_HostilePdf::pageKeepsDocumentWhenReadingFails()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, fault);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, warnings);
    using namespace dialogs;

    PdfToolsPage page;
    auto *thumbnails = page.findChild<QListWidget *>();
    QCOMPARE(click(&page, "Open PDF", { fileDialog("Open PDF", m_dir.path(), { "sound.pdf" }) }),
        QString());
    QCOMPARE(click(&page, "Rotate right"), QString());
    thumbnails->setCurrentRow(1);

    QVERIFY(writeFile(path("hostile.pdf"), bytes));
    setFault(fault);
    const bool merge = button == "Merge files";
    QList<Step> steps { fileDialog(merge ? "Choose PDF files to merge" : button, m_dir.path(),
        QStringList { "hostile.pdf", "sound.pdf" }.mid(0, merge ? 2 : 1)) };
    for (const QString &warning : std::as_const(warnings)) {
        steps << messageBox(warning);
    }
    QCOMPARE(click(&page, button, steps), QString());
    QCOMPARE(thumbnails->count(), kWidths.size());
    QCOMPARE(thumbnails->currentRow(), 1);
    // The rotation can still be undone: page 1 is wide again.
    QCOMPARE(click(&page, "Undo"), QString());
    const QSize icon = thumbnails->item(0)->icon().availableSizes().value(0);
    QVERIFY(icon.width() > icon.height());
}

QTEST_MAIN(tst_HostilePdf)
#include "tst_hostilepdf.moc"
