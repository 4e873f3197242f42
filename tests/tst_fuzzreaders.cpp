// Mutation fuzzing of the readers that turn files into pages, the PDF reader and the image
// reader: sound files damaged at random must give sound pages or nothing, without crashing the
// test or hanging past the reader's watchdog. Deterministic for a seed; CI runs a short pass:
//   MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_fuzzreaders
#include "pdftesting.h"
#include "tools/pdf/pageio.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Mutator = void (*)(QRandomGenerator &, QByteArray &, const QByteArray &);

qsizetype at(QRandomGenerator &r, const QByteArray &data)
{
    return qsizetype(r.bounded(quint32(data.size() + 1)));
}

// Each damages data one way; other is a sound file to take pieces from.
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
    void readersGiveSoundPagesOrNothing_data();
    void readersGiveSoundPagesOrNothing();
};

void tst_FuzzReaders::readersGiveSoundPagesOrNothing_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<int>("iterations"); // a PDF read starts helper processes: fewer
    QTest::addRow("pdf") << true << qEnvironmentVariableIntValue("MIRVALE_FUZZ_ITERATIONS") / 10;
    QTest::addRow("image") << false << qEnvironmentVariableIntValue("MIRVALE_FUZZ_ITERATIONS");
}

void tst_FuzzReaders::readersGiveSoundPagesOrNothing()
{
    QFETCH(bool, pdf);
    QFETCH(int, iterations);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString input = dir.filePath(QStringLiteral("input"));
    QList<QByteArray> seeds;
    if (pdf) {
        QVERIFY(pdftest::writeTestPdf(input, { { 144, 72 }, { 72, 144 }, { 100, 100 } }));
        QFile file(input);
        QVERIFY(file.open(QIODevice::ReadOnly));
        seeds << file.readAll();
    }
    for (const char *format : { "PNG", "JPEG", "BMP", "WEBP" }) {
        QImage picture(23, 17, QImage::Format_ARGB32);
        picture.fill(QColor(40, 90, 200, 128));
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, format));
        if (!pdf) {
            seeds << buffer.data();
        }
    }
    const int seed = qEnvironmentVariableIntValue("MIRVALE_FUZZ_SEED");
    QRandomGenerator random { quint32(seed) };
    for (int i = 0; i < qMax(iterations, pdf ? 40 : 600); ++i) {
        QByteArray bytes = seeds.at(random.bounded(int(seeds.size())));
        for (int damage = random.bounded(1, 5); damage > 0; --damage) {
            kMutators[random.bounded(int(std::size(kMutators)))](
                random, bytes, seeds.at(random.bounded(int(seeds.size()))));
        }
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const QByteArray where =
            "input " + QByteArray::number(i) + " of seed " + QByteArray::number(seed);
        PdfReadOptions options;
        options.stallTimeoutMs = 5000;
        const PdfReadResult read = pdf ? readPdfPages(input, options)
                                       : PdfReadResult { true, false, { readPageImage(input) } };
        QVERIFY2(read.ok || read.pages.isEmpty(), where);
        for (const QImage &page : read.pages) {
            QVERIFY2(pdf ? page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide
                         : page.isNull() || page.format() != QImage::Format_Indexed8,
                where);
        }
    }
}

QTEST_MAIN(tst_FuzzReaders)
#include "tst_fuzzreaders.moc"
