// Hostile input: PDF files built to break the reader, images whose header claims an absurd size,
// and sound files damaged at random. Each is refused or read whole within the watchdog. The
// random pass
// is deterministic for a seed; CI runs a short one:
//   MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_hostileinput

#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/pdfreader.h"

#include <QtTest>

namespace {

const QByteArray kCatalog("<< /Type /Catalog /Pages 2 0 R >>");
const QByteArray kNoPages = pdftest::buildPdf({ kCatalog, "<< /Type /Pages /Kids [] /Count 0 >>" });

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
    return pdftest::buildPdf(
        objects << "<< /Length 25 >>\nstream\n0 0 1 rg 10 10 50 50 re f\nendstream");
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
// Outcomes besides a number of pages read; damaged files the engine may mend: refused, or some
// sound pages.
enum { kRefused = -1, kTooLarge = -2, kEither = -3 };

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

// A CRC as PNG chunks carry it, so a mended header is read as sound.
quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffff;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (crc & 1 ? 0xedb88320 : 0);
        }
    }
    return ~crc;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format) ? bytes : QByteArray();
}

using Mutator = void (*)(QRandomGenerator &, QByteArray &, const QByteArray &);

qsizetype at(QRandomGenerator &r, const QByteArray &data)
{
    return qsizetype(r.bounded(quint32(data.size() + 1)));
}

// Each damages data one way; o is the sound file to take pieces from.
const Mutator kMutators[] = {
    [](QRandomGenerator &r, QByteArray &d, const QByteArray &) {
        d.insert(at(r, d), char(r.generate()));
    },
    [](QRandomGenerator &r, QByteArray &d, const QByteArray &) { d.truncate(at(r, d)); },
    [](QRandomGenerator &r, QByteArray &d, const QByteArray &) { d.remove(at(r, d), 64); },
    [](QRandomGenerator &r, QByteArray &d, const QByteArray &) {
        d.insert(at(r, d), d.mid(at(r, d), 200).repeated(3));
    },
    [](QRandomGenerator &r, QByteArray &d, const QByteArray &o) {
        d.insert(at(r, d), o.mid(at(r, o), 500));
    },
    [](QRandomGenerator &r, QByteArray &d, const QByteArray &) {
        const qsizetype digit = d.indexOf(QByteArray::number(r.bounded(10)), at(r, d));
        d.replace(qMax(digit, qsizetype(0)), digit < 0 ? 0 : 1, "99999999999999999999");
    },
    // A header field (a size, a length) claiming the most it can.
    [](QRandomGenerator &r, QByteArray &d, const QByteArray &) {
        d.replace(at(r, d), 4, QByteArray(4, char(0xff)));
    },
};

} // namespace

Q_DECLARE_METATYPE(PdfReadOptions)

class tst_HostileInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsOrRefusesWithinWatchdog_data();
    void readsOrRefusesWithinWatchdog();
    void pageKeepsDocumentWhenAddingTooMuch();
    void imagesClaimingAbsurdSizesAreRefused_data();
    void imagesClaimingAbsurdSizesAreRefused();
    void damagedFilesGiveSoundPagesOrNothing_data();
    void damagedFilesGiveSoundPagesOrNothing();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_HostileInput::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    QList<QSizeF> sizes;
    for (const int width : kWidths) {
        sizes.append(QSizeF(width * 72 / kPageDpi, 18));
    }
    QVERIFY(pdftest::writeTestPdf(path("sound.pdf"), sizes));
}

void tst_HostileInput::readsOrRefusesWithinWatchdog_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<PdfReadOptions>("options");
    QTest::addColumn<int>("pages"); // when read, or kRefused, kTooLarge, kEither
    const auto row = [](const char *tag, const QByteArray &bytes, int pages,
                         const PdfReadOptions &read = options(0)) {
        QTest::addRow("%s", tag) << bytes << read << pages;
    };
    const QByteArray sound = contentsOf(path("sound.pdf"));
    // The sound rows also check that pages keep the document's order across helpers.
    row("sound, one helper", sound, 7, options(1));
    row("sound, more helpers than pages", sound, 7, options(20));
    row("empty file", {}, kRefused);
    row("random bytes", "%PDF-1.7\n" + QByteArray::fromHex("9c3fe2d10b47a8").repeated(150),
        kRefused);
    row("cut in half", sound.left(sound.size() / 2), kEither);
    row("no pages", kNoPages, kRefused);
    row("page tree loop", sharedBranches(2, "[0 0 144 72]").replace("[3 0 R 3", "[2 0 R 3"),
        kRefused);
    row("page too large to render", sharedBranches(1, "[0 0 14400 14400]"), kRefused);
    row("4096 letter pages, too many pixels", sharedBranches(12, "[0 0 612 792]"), kTooLarge);
    row("eight pages from shared branches", sharedBranches(3, "[0 0 144 72]"), 8);
    row("joining a full document", sound, kTooLarge, options(0, kMaxPdfPages - 6));
}

void tst_HostileInput::readsOrRefusesWithinWatchdog()
{
    QFETCH(QByteArray, bytes);
    QFETCH(PdfReadOptions, options);
    QFETCH(int, pages);
    const QString file = path(QStringLiteral("hostile.pdf"));
    QVERIFY(writeFile(file, bytes));
    QElapsedTimer timer;
    timer.start();
    const PdfReadResult read = readPdfPages(file, options);
    QVERIFY2(timer.elapsed() < 3 * kStallMs, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(read.status == PdfReadStatus::TooLarge, pages == kTooLarge);
    if (pages != kEither) {
        QCOMPARE(read.ok(), pages >= 0);
        QCOMPARE(read.pages.size(), qMax(pages, 0));
    }
    QList<int> widths;
    for (const QImage &page : read.pages) {
        QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
        widths << page.width();
    }
    QVERIFY(pages != 7 || widths == kWidths);
    // Reading never writes the file.
    QCOMPARE(contentsOf(file), bytes);
}

// The page keeps its document, selection and undo history.
void tst_HostileInput::pageKeepsDocumentWhenAddingTooMuch()
{
    using namespace dialogs;
    PdfToolsPage page;
    auto *thumbnails = page.findChild<QListWidget *>();
    QCOMPARE(click(&page, "Open PDF", { fileDialog("Open PDF", m_dir.path(), { "sound.pdf" }) }),
        QString());
    QCOMPARE(click(&page, "Rotate right"), QString());
    thumbnails->setCurrentRow(1);
    QVERIFY(writeFile(path("hostile.pdf"), sharedBranches(12, "[0 0 612 792]")));
    QCOMPARE(click(&page, "Add pages",
                 { fileDialog("Add pages", m_dir.path(), { "hostile.pdf" }),
                     messageBox("Could not open " + path("hostile.pdf")
                         + ": the document would have more than 5000 pages or more than 8 GiB") }),
        QString());
    QCOMPARE(thumbnails->count(), kWidths.size());
    QCOMPARE(thumbnails->currentRow(), 1);
    // The rotation can still be undone: page 1 is wide again.
    QCOMPARE(click(&page, "Undo"), QString());
    const QSize icon = thumbnails->item(0)->icon().availableSizes().value(0);
    QVERIFY(icon.width() > icon.height());
}

void tst_HostileInput::imagesClaimingAbsurdSizesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray png = encoded(pdftest::plainPage({ 4, 4 }), "png");
    png.replace(16, 8, QByteArray::fromHex("000186a0000186a0")); // IHDR: 100000 x 100000
    const quint32 crc = qToBigEndian(crc32(png.mid(12, 17)));
    png.replace(29, 4, QByteArray(reinterpret_cast<const char *>(&crc), 4));
    QTest::addRow("png, 100000 x 100000") << png;
    QByteArray bmp = encoded(pdftest::plainPage({ 1, 1 }), "bmp");
    QTest::addRow("bmp, 2^30 x 1") << bmp.replace(18, 4, QByteArray::fromHex("00000040"));
}

void tst_HostileInput::imagesClaimingAbsurdSizesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    const QString file = path("huge.img");
    QVERIFY(writeFile(file, bytes));
    QElapsedTimer timer;
    timer.start();
    const image::LoadResult loaded = image::load(file);
    QVERIFY(loaded.image.isNull() && !loaded.error.isEmpty());
    QVERIFY(readPageImage(file).isNull());
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void tst_HostileInput::damagedFilesGiveSoundPagesOrNothing_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("iterations");
    // Every PDF input starts helper processes: a short pass by default.
    QTest::addRow("pdf") << "pdf" << 40;
    for (const char *format : { "png", "jpeg", "bmp", "webp" }) {
        QTest::addRow("%s", format) << format << 300;
    }
}

void tst_HostileInput::damagedFilesGiveSoundPagesOrNothing()
{
    QFETCH(QString, format);
    QFETCH(int, iterations);
    // The decoders describe every damaged input they meet.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    const QString input = path("input." + format);
    const bool pdf = format == QLatin1String("pdf");
    const QByteArray seed = pdf ? contentsOf(path("sound.pdf"))
                                : encoded(pdftest::noisePage({ 48, 32 }), qPrintable(format));
    QVERIFY(!seed.isEmpty());
    const int seedNumber = qEnvironmentVariableIntValue("MIRVALE_FUZZ_SEED");
    QRandomGenerator random { quint32(seedNumber) };
    iterations = qMax(qEnvironmentVariableIntValue("MIRVALE_FUZZ_ITERATIONS"), iterations);
    for (int i = 0; i < iterations; ++i) {
        QByteArray bytes = seed;
        for (int damage = random.bounded(1, 5); damage > 0; --damage) {
            kMutators[random.bounded(int(std::size(kMutators)))](random, bytes, seed);
        }
        QVERIFY(writeFile(input, bytes));
        const QByteArray where =
            "input " + QByteArray::number(i) + " of seed " + QByteArray::number(seedNumber);
        if (!pdf) {
            // A page can be marked on; the resizer says why it refuses what it refuses.
            QImage page = readPageImage(input);
            QVERIFY2(page.isNull() || QPainter(&page).isActive(), where);
            const image::LoadResult loaded = image::load(input);
            QVERIFY2(loaded.image.isNull() != loaded.error.isEmpty(), where);
            continue;
        }
        const PdfReadResult read = readPdfPages(input, options(0));
        QVERIFY2(read.ok() || read.pages.isEmpty(), where);
        for (const QImage &page : read.pages) {
            QVERIFY2(page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide, where);
            QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
        }
    }
}

QTEST_MAIN(tst_HostileInput)
#include "tst_hostileinput.moc"
