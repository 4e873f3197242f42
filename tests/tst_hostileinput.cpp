// Hostile input: PDF files built to break the reader, images whose header claims an absurd size,
// and sound files damaged at random. Each is refused or read whole within the watchdog. The
// random pass is deterministic for a seed; CI runs a short one, and a longer one is asked for
// by hand: MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_hostileinput

#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/reading/pdfreader.h"
#include "tools/pdf/reading/renderprotocol.h"

#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

using pdftest::contentsOf;
using pdftest::sharedBranches;
using pdftest::writeFile;

constexpr int kStallMs = 3000;
constexpr int kTooLarge = -1; // the outcome besides a number of pages read

// The sound document: seven pages, each wider than the one before.
const QList<int> kWidths { 100, 125, 150, 175, 200, 225, 250 };

// Read with a short watchdog, joining a document of pagesBefore pages.
pdf::PdfReadResult read(const QString &path, int helpers = 0, int pagesBefore = 0)
{
    pdf::PdfReadOptions options;
    options.helperCount = helpers;
    options.pagesBefore = pagesBefore;
    options.stallTimeoutMs = kStallMs;
    return pdf::readPdfPages(path, options);
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

class tst_HostileInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsOrRefusesWithinWatchdog_data();
    void readsOrRefusesWithinWatchdog();
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
        sizes.append(QSizeF(width * 72 / pdf::kPageDpi, 18));
    }
    QVERIFY(pdftest::writeTestPdf(path("sound.pdf"), sizes));
}

void tst_HostileInput::readsOrRefusesWithinWatchdog_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("helpers");
    QTest::addColumn<int>("pagesBefore");
    QTest::addColumn<int>("pages"); // when read, or kTooLarge
    const auto row = [](const char *tag, const QByteArray &bytes, int pages, int helpers = 0,
                         int pagesBefore = 0) {
        QTest::addRow("%s", tag) << bytes << helpers << pagesBefore << pages;
    };
    const QByteArray sound = contentsOf(path("sound.pdf"));
    // The sound rows also check that pages keep the document's order across helpers.
    row("sound, more helpers than pages", sound, 7, 20);
    row("4096 letter pages, too many pixels", sharedBranches(12, "[0 0 612 792]"), kTooLarge);
    // Refused as too many pages, before the engine makes room for every page claimed.
    row("a billion pages claimed", sharedBranches(30, "[0 0 612 792]"), kTooLarge);
    row("eight pages from shared branches", sharedBranches(3, "[0 0 144 72]"), 8);
    row("joining a full document", sound, kTooLarge, 0, pdf::kMaxPdfPages - 6);
}

void tst_HostileInput::readsOrRefusesWithinWatchdog()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, helpers);
    QFETCH(int, pagesBefore);
    QFETCH(int, pages);
    const QString file = path(QStringLiteral("hostile.pdf"));
    QVERIFY(writeFile(file, bytes));
    QElapsedTimer timer;
    timer.start();
    const pdf::PdfReadResult result = read(file, helpers, pagesBefore);
    QVERIFY2(timer.elapsed() < 3 * kStallMs, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(result.status == pdf::PdfReadStatus::TooLarge, pages == kTooLarge);
    QCOMPARE(result.ok(), pages >= 0);
    QCOMPARE(result.pages.size(), qMax(pages, 0));
    QList<int> widths;
    for (const QImage &page : result.pages) {
        QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
        widths << page.width();
    }
    QVERIFY(pages != 7 || widths == kWidths);
    // Reading never writes the file, and no helper takes a gigabyte for these small pages.
    QCOMPARE(contentsOf(file), bytes);
#ifdef Q_OS_UNIX
    rusage usage {};
    QVERIFY(getrusage(RUSAGE_CHILDREN, &usage) == 0);
    QVERIFY2(usage.ru_maxrss < 1024 * 1024, qPrintable(QString::number(usage.ru_maxrss)));
#endif
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
    QVERIFY(pdf::readPageImage(file).isNull());
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
    const bool isPdf = format == QLatin1String("pdf");
    const QByteArray seed = isPdf ? contentsOf(path("sound.pdf"))
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
        if (!isPdf) {
            // A page can be marked on; the resizer says why it refuses what it refuses.
            QImage page = pdf::readPageImage(input);
            QVERIFY2(page.isNull() || QPainter(&page).isActive(), where);
            const image::LoadResult loaded = image::load(input);
            QVERIFY2(loaded.image.isNull() != loaded.error.isEmpty(), where);
            continue;
        }
        const pdf::PdfReadResult result = read(input);
        for (const QImage &page : result.pages) {
            QVERIFY2(
                page.width() <= pdf::kMaxRenderSide && page.height() <= pdf::kMaxRenderSide, where);
            QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
        }
    }
}

QTEST_MAIN(tst_HostileInput)
#include "tst_hostileinput.moc"
