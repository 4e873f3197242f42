// Mutation fuzzing of the readers: a sound PDF or image file damaged at random must give sound
// pages or nothing, without crashing the test or hanging past the PDF reader's watchdog.
// Deterministic for a seed; CI runs a short pass:
//   MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_fuzzreaders
#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/pdf/pageio.h"

#include <QBuffer>
#include <QLoggingCategory>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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

// The sound file each pass damages: a small PDF, or a picture with some detail in an image
// format the readers take.
QByteArray soundFile(const QString &format, const QString &pdfPath)
{
    if (format == QLatin1String("pdf")) {
        QFile file(pdfPath);
        return pdftest::writeTestPdf(pdfPath, { { 144, 72 }, { 72, 144 }, { 100, 100 } })
                && file.open(QIODevice::ReadOnly)
            ? file.readAll()
            : QByteArray();
    }
    const QImage picture = pdftest::noisePage({ 48, 32 });
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return picture.save(&buffer, qPrintable(format)) ? bytes : QByteArray();
}

} // namespace

class tst_FuzzReaders : public QObject
{
    Q_OBJECT

private slots:
    void readersGiveSoundPagesOrNothing_data();
    void readersGiveSoundPagesOrNothing();
};

void tst_FuzzReaders::readersGiveSoundPagesOrNothing_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("iterations");
    // Every PDF input starts helper processes: a short pass by default.
    QTest::addRow("pdf") << "pdf" << 40;
    for (const char *format : { "png", "jpeg", "bmp", "webp" }) {
        QTest::addRow("%s", format) << format << 300;
    }
}

void tst_FuzzReaders::readersGiveSoundPagesOrNothing()
{
    QFETCH(QString, format);
    QFETCH(int, iterations);
    // The decoders describe every damaged input they meet.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString input = dir.filePath("input." + format);
    const QByteArray seed = soundFile(format, input);
    QVERIFY(!seed.isEmpty());
    const int seedNumber = qEnvironmentVariableIntValue("MIRVALE_FUZZ_SEED");
    QRandomGenerator random { quint32(seedNumber) };
    iterations = qMax(qEnvironmentVariableIntValue("MIRVALE_FUZZ_ITERATIONS"), iterations);
    for (int i = 0; i < iterations; ++i) {
        QByteArray bytes = seed;
        for (int damage = random.bounded(1, 5); damage > 0; --damage) {
            kMutators[random.bounded(int(std::size(kMutators)))](random, bytes, seed);
        }
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const QByteArray where =
            "input " + QByteArray::number(i) + " of seed " + QByteArray::number(seedNumber);
        if (format != QLatin1String("pdf")) {
            // A page can be marked on; the resizer says why it refuses what it refuses.
            QImage page = readPageImage(input);
            QPainter painter;
            QVERIFY2(page.isNull() || painter.begin(&page), where);
            if (painter.isActive()) {
                painter.end();
            }
            const ImageFiles::LoadResult loaded = ImageFiles::load(input);
            QVERIFY2(loaded.image.isNull() != loaded.error.isEmpty(), where);
            continue;
        }
        PdfReadOptions options;
        options.stallTimeoutMs = 5000;
        const PdfReadResult read = readPdfPages(input, options);
        QVERIFY2(read.ok || read.pages.isEmpty(), where);
        for (const QImage &page : read.pages) {
            QVERIFY2(page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide, where);
            QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
        }
    }
}

QTEST_MAIN(tst_FuzzReaders)
#include "tst_fuzzreaders.moc"
