// Mutation fuzzing of the PDF reader: a sound file damaged at random must give sound pages or
// nothing, without crashing the test or hanging past the reader's watchdog. Deterministic for a
// seed; CI runs a short pass:
//   MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_fuzzreaders
#include "pdftesting.h"
#include "tools/pdf/pageio.h"

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
};

} // namespace

class tst_FuzzReaders : public QObject
{
    Q_OBJECT

private slots:
    void pdfReaderGivesSoundPagesOrNothing();
};

void tst_FuzzReaders::pdfReaderGivesSoundPagesOrNothing()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString input = dir.filePath(QStringLiteral("input.pdf"));
    QVERIFY(pdftest::writeTestPdf(input, { { 144, 72 }, { 72, 144 }, { 100, 100 } }));
    QFile sound(input);
    QVERIFY(sound.open(QIODevice::ReadOnly));
    const QByteArray seed = sound.readAll();
    const int seedNumber = qEnvironmentVariableIntValue("MIRVALE_FUZZ_SEED");
    QRandomGenerator random { quint32(seedNumber) };
    // Every input starts helper processes: a short pass by default.
    const int iterations = qMax(qEnvironmentVariableIntValue("MIRVALE_FUZZ_ITERATIONS"), 40);
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
