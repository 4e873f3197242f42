// Mutation fuzzing of the readers that turn files into pages: the PDF reader and the image
// reader. Each input is a sound file damaged at random (bits flipped, bytes changed, pieces cut,
// repeated or spliced in, numbers swapped for extreme ones); every one must give sound pages or
// nothing, without crashing the test or hanging past the reader's watchdog.
//
// Deterministic for a seed. CI runs a short pass; a longer one:
//   MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_fuzzreaders
#include "pdftesting.h"
#include "tools/pdf/pageio.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Mutator = QByteArray (*)(QRandomGenerator &, QByteArray, const QByteArray &);

int at(QRandomGenerator &random, const QByteArray &data)
{
    return data.isEmpty() ? 0 : int(random.bounded(quint32(data.size())));
}

// One way each to damage data; other is another sound file to take pieces from.
const QList<Mutator> kMutators {
    [](QRandomGenerator &r, QByteArray d, const QByteArray &) {
        if (!d.isEmpty()) {
            d[at(r, d)] ^= char(1 << r.bounded(8));
        }
        return d;
    },
    [](QRandomGenerator &r, QByteArray d, const QByteArray &) {
        if (!d.isEmpty()) {
            d[at(r, d)] = char(r.bounded(256));
        }
        return d;
    },
    [](QRandomGenerator &r, QByteArray d, const QByteArray &) { return d.left(at(r, d)); },
    [](QRandomGenerator &r, QByteArray d, const QByteArray &) {
        return d.remove(at(r, d), r.bounded(64));
    },
    [](QRandomGenerator &r, QByteArray d, const QByteArray &) {
        const int from = at(r, d);
        return d.insert(at(r, d), d.mid(from, r.bounded(256)).repeated(r.bounded(1, 8)));
    },
    [](QRandomGenerator &r, QByteArray d, const QByteArray &other) {
        return d.insert(at(r, d), other.mid(at(r, other), r.bounded(512)));
    },
    [](QRandomGenerator &r, QByteArray d, const QByteArray &) {
        static const QList<QByteArray> extremes { "0", "-1", "2147483647", "-2147483648",
            "99999999999999999999", "1e308", "nan", "4294967296" };
        for (int i = at(r, d); i < d.size(); ++i) {
            if (std::isdigit(uchar(d.at(i)))) {
                int end = i;
                while (end < d.size() && std::isdigit(uchar(d.at(end)))) {
                    ++end;
                }
                return d.replace(i, end - i, extremes.at(r.bounded(int(extremes.size()))));
            }
        }
        return d;
    },
};

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray imageBytes(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

qint64 fromEnvironment(const char *name, qint64 otherwise)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : otherwise;
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
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<qint64>("iterations");
    // Every input of the PDF reader starts helper processes: fewer of them.
    QTest::addRow("pdf") << true << fromEnvironment("MIRVALE_FUZZ_ITERATIONS", 40);
    QTest::addRow("image") << false << fromEnvironment("MIRVALE_FUZZ_ITERATIONS", 600);
}

void tst_FuzzReaders::readersGiveSoundPagesOrNothing()
{
    QFETCH(bool, pdf);
    QFETCH(qint64, iterations);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString input = dir.filePath(pdf ? "input.pdf" : "input.img");

    QList<QByteArray> seeds;
    if (pdf) {
        QVERIFY(pdftest::writeTestPdf(input, { { 144, 72 }, { 72, 144 }, { 100, 100 } }));
        seeds << fileBytes(input);
    } else {
        QImage picture(23, 17, QImage::Format_ARGB32);
        picture.fill(QColor(40, 90, 200, 128));
        for (const char *format : { "PNG", "JPEG", "BMP", "GIF", "WEBP" }) {
            seeds << imageBytes(picture, format);
        }
    }
    QRandomGenerator random(quint32(fromEnvironment("MIRVALE_FUZZ_SEED", 1)));
    for (qint64 i = 0; i < iterations; ++i) {
        QByteArray bytes = seeds.at(random.bounded(int(seeds.size())));
        for (int damage = random.bounded(1, 5); damage > 0; --damage) {
            const Mutator mutate = kMutators.at(random.bounded(int(kMutators.size())));
            bytes = mutate(random, bytes, seeds.at(random.bounded(int(seeds.size()))));
        }
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const QString where = QStringLiteral("input %1 of seed %2")
                                  .arg(i)
                                  .arg(fromEnvironment("MIRVALE_FUZZ_SEED", 1));
        QList<QImage> pages;
        if (pdf) {
            PdfReadOptions options;
            options.stallTimeoutMs = 5000;
            const PdfReadResult read = readPdfPages(input, options);
            QVERIFY2(read.ok || read.pages.isEmpty(), qPrintable(where));
            pages = read.pages;
        } else if (const QImage image = readPageImage(input); !image.isNull()) {
            pages << image;
        }
        for (const QImage &page : std::as_const(pages)) {
            QVERIFY2(!page.isNull() && page.width() <= kMaxRenderSide
                    && page.height() <= kMaxRenderSide,
                qPrintable(where));
        }
    }
}

QTEST_MAIN(tst_FuzzReaders)
#include "tst_fuzzreaders.moc"
