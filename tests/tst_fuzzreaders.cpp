// Mutation fuzzing of the readers that turn files into pages: the PDF reader (with its page-tree
// check, which unpacks object streams) and the image readers of the PDF page and the image
// resizer. Each input is a sound file damaged at random (bits flipped, bytes changed, pieces cut,
// repeated or spliced in, numbers swapped for extreme ones, references sent to other objects);
// every one must give sound pages or nothing, without crashing or hanging.
//
// The run is deterministic for a seed. CI runs a short pass; longer ones (Qt Test stops a test
// function after five minutes unless QTEST_FUNCTION_TIMEOUT, in ms, allows more):
//   MIRVALE_FUZZ_SECONDS=300 QTEST_FUNCTION_TIMEOUT=900000 ./tst_fuzzreaders  (time per reader)
//   MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_fuzzreaders
// The input a crash or hang stopped at stays in the temporary folder named in the message.

#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/image/resizemath.h"
#include "tools/pdf/pageio.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <unistd.h>

namespace {

qint64 envNumber(const char *name, qint64 fallback)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && value >= 0 ? value : fallback;
}

// What is being read, told should it hang: the process then ends, since a hang is a finding too.
// The input it stopped at is on disk, and the seed and count reproduce it.
char s_reading[1024];
void onHang(int)
{
    static const char text[] = "FUZZ HANG: no answer for ";
    (void)!::write(STDERR_FILENO, text, sizeof text - 1);
    (void)!::write(STDERR_FILENO, s_reading, strnlen(s_reading, sizeof s_reading));
    std::abort();
}

QByteArray object(qsizetype number, const QByteArray &body)
{
    return QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n";
}

QByteArray stream(const QByteArray &data, const QByteArray &extra = {})
{
    return "<< /Length " + QByteArray::number(data.size()) + extra + " >>\nstream\n" + data
        + "\nendstream";
}

// A PDF of the given objects, numbered from 1 (the catalogue), all but the streams packed into
// an object stream, deflated or not, found through a cross-reference stream.
QByteArray packedPdf(const QList<QByteArray> &objects, bool deflate)
{
    QByteArray pdf("%PDF-1.5\n");
    QByteArray rows = QByteArray::fromHex("0000000000ffff"); // type, offset or stream, index
    QByteArray pairs;
    QByteArray body;
    const auto row = [&rows](char type, qint64 field, qsizetype index) {
        rows += type + QByteArray(6, '\0');
        qToBigEndian(quint32(field), rows.data() + rows.size() - 6);
        qToBigEndian(quint16(index), rows.data() + rows.size() - 2);
    };
    for (int i = 1; i <= objects.size(); ++i) {
        if (objects.at(i - 1).contains("stream")) {
            row(1, pdf.size(), 0);
            pdf += object(i, objects.at(i - 1));
        } else {
            row(2, objects.size() + 1, pairs.count(' ') / 2);
            pairs += QByteArray::number(i) + ' ' + QByteArray::number(body.size()) + ' ';
            body += objects.at(i - 1) + '\n';
        }
    }
    row(1, pdf.size(), 0);
    pdf += object(objects.size() + 1,
        stream(deflate ? qCompress(pairs + body).mid(4) : pairs + body,
            " /Type /ObjStm /N " + QByteArray::number(pairs.count(' ') / 2) + " /First "
                + QByteArray::number(pairs.size()) + (deflate ? " /Filter /FlateDecode" : "")));
    const QByteArray start = QByteArray::number(pdf.size());
    row(1, pdf.size(), 0);
    return pdf
        + object(objects.size() + 2,
            stream(rows,
                " /Type /XRef /W [1 4 2] /Root 1 0 R /Size "
                    + QByteArray::number(objects.size() + 3)))
        + "startxref\n" + start + "\n%%EOF\n";
}

// Sound PDFs to start from: as the writer makes them (compressed streams, an embedded font),
// and by hand (a page tree of two levels, a standard font, an inline picture, an annotation, a
// rotated page) packed into an object stream, deflated or not; unpacked, its objects are plain
// text to damage.
QList<QByteArray> pdfSeeds()
{
    QTemporaryDir dir;
    const QString written = dir.filePath(QStringLiteral("written.pdf"));
    QFile file(written);
    if (!pdftest::writeTestPdf(written, { { 100, 60 }, { 60, 100 } })
        || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QList<QByteArray> objects { "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 3 /MediaBox [0 0 100 60] >>",
        "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 2 /Rotate 90 >>",
        "<< /Type /Page /Parent 2 0 R /Contents 7 0 R /Resources << /Font << /F1 8 0 R >> >> "
        "/Annots [9 0 R] >>",
        "<< /Type /Page /Parent 3 0 R /Contents 7 0 R /Resources << /Font << /F1 8 0 R >> >> >>",
        "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 50 80] /CropBox [5 5 45 75] >>",
        stream("q 0 0 1 rg 5 5 20 20 re f Q BT /F1 12 Tf 5 40 Td (Hi \\(there\\)) Tj ET q 20 0 0 "
               "20 40 5 cm BI /W 2 /H 2 /CS /RGB /BPC 8 ID \xff\x00\x00\x00\xff\x00\x00\x00\xff"
               "\xff\xff\xff EI Q"),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /Annot /Subtype /Square /Rect [10 10 50 50] /C [1 0 0] /Border [0 0 3] >>" };
    return { file.readAll(), packedPdf(objects, true), packedPdf(objects, false) };
}

// Sound images to start from, in every format the readers meet.
QList<QByteArray> imageSeeds()
{
    QImage picture(24, 16, QImage::Format_ARGB32);
    picture.fill(QColor(250, 240, 200, 200));
    QPainter painter(&picture);
    painter.setBrush(Qt::red);
    painter.drawEllipse(QRect(2, 2, 12, 10));
    painter.end();
    const auto encode = [](const QImage &image, const char *format, int quality = -1,
                            bool progressive = false) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        writer.setQuality(quality);
        writer.setProgressiveScanWrite(progressive);
        writer.write(image);
        return bytes;
    };
    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8);
    // Qt reads GIF but does not write it: one pixel, by hand.
    return { encode(picture, "png"), encode(indexed, "png"),
        encode(picture.convertToFormat(QImage::Format_Grayscale16), "png"),
        encode(picture, "jpeg", 80), encode(picture, "jpeg", 80, true), encode(picture, "bmp"),
        encode(indexed, "bmp"), encode(picture, "webp", 70), encode(picture, "webp", 100),
        encode(picture, "tiff"), encode(picture, "ico"),
        QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c000000000100"
                            "01000002024401003b") };
}

// Damages data in one to four random ways; others are sound files to take pieces of.
QByteArray mutate(QByteArray data, const QList<QByteArray> &others, QRandomGenerator &random)
{
    const auto pick = [&random](qsizetype below) {
        return below <= 0 ? 0 : qsizetype(random.bounded(quint32(below)));
    };
    const auto piece = [&pick](const QByteArray &from) {
        return from.mid(pick(from.size()), 1 + pick(64));
    };
    const auto digit = [&data](qsizetype i) {
        return i >= 0 && i < data.size() && data.at(i) >= '0' && data.at(i) <= '9';
    };
    static const char special[] = { '\0', '\xff', '\x7f', '\x80', '\x01', '(', '<' };
    static const char *const extremes[] = { "0", "-1", "2147483647", "2147483648", "4294967295",
        "99999999999999999999", "1e308", "0.000001", "65535", "14400", "3" };
    for (qsizetype round = 0, rounds = 1 + pick(4); round < rounds; ++round) {
        if (data.isEmpty()) {
            data = others.at(pick(others.size()));
        }
        const qsizetype at = pick(data.size());
        const qsizetype choice = pick(10);
        if (choice == 0) { // a bit flipped
            data[at] = char(data.at(at) ^ (1 << pick(8)));
        } else if (choice == 1) { // a byte at random, or one decoders treat specially
            data[at] = pick(2) ? char(pick(256)) : special[pick(sizeof special)];
        } else if (choice == 2) { // the rest cut off
            data.truncate(at);
        } else if (choice == 3) { // a piece taken out
            data.remove(at, 1 + pick(64));
        } else if (choice == 4) { // a piece repeated
            data.insert(at, piece(data).repeated(1 + int(pick(8))));
        } else if (choice == 5) { // a piece of another sound file
            data.insert(at, piece(others.at(pick(others.size()))));
        } else if (choice == 6) { // random bytes in
            for (qsizetype i = pick(16); i >= 0; --i) {
                data.insert(at, char(pick(256)));
            }
        } else {
            // A number swapped for an extreme one, or a reference sent to another object (page
            // trees that loop or share branches).
            const bool reference = choice > 7;
            qsizetype end = reference ? data.indexOf(" 0 R", at) : at;
            while (!reference && end < data.size() && !digit(end)) {
                ++end;
            }
            while (!reference && digit(end)) {
                ++end;
            }
            qsizetype start = end;
            while (digit(start - 1)) {
                --start;
            }
            if (start < end) {
                data.replace(start, end - start,
                    reference ? QByteArray::number(1 + pick(12))
                              : QByteArray(extremes[pick(std::size(extremes))]));
            }
        }
        data.truncate(1 << 20);
    }
    return data;
}

} // namespace

class tst_FuzzReaders : public QObject
{
    Q_OBJECT

private slots:
    void pdfReader();
    void imageReaders();

private:
    // Feeds mutated inputs to read until the count or the time is spent. read says whether the
    // input gave something, and fails the test on an unsound result.
    void run(const QString &what, const QList<QByteArray> &seeds, qint64 defaultCount,
        const std::function<bool(const QString &path)> &read);

    QTemporaryDir m_dir;
};

void tst_FuzzReaders::run(const QString &what, const QList<QByteArray> &seeds, qint64 defaultCount,
    const std::function<bool(const QString &path)> &read)
{
    const quint32 seed = quint32(envNumber("MIRVALE_FUZZ_SEED", 20240611));
    const qint64 count = envNumber("MIRVALE_FUZZ_ITERATIONS", defaultCount);
    const qint64 seconds = envNumber("MIRVALE_FUZZ_SECONDS", 0);
    const QString input = m_dir.filePath(what);
    const auto write = [&input](const QByteArray &bytes) {
        QFile file(input);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    for (const QByteArray &sound : seeds) {
        QVERIFY2(write(sound) && read(input), "a seed does not read");
    }
    QRandomGenerator random(seed);
    // Generous: the slowest sound input under the sanitizers takes a few seconds.
    const auto hangSeconds = unsigned(envNumber("MIRVALE_FUZZ_HANG_SECONDS", 120));
    std::signal(SIGALRM, onHang);
    qint64 inputs = 0;
    qint64 gave = 0;
    qint64 slowest = 0;
    QElapsedTimer total;
    total.start();
    for (; seconds > 0 ? total.elapsed() < seconds * 1000 : inputs < count; ++inputs) {
        const QByteArray bytes = mutate(seeds.at(inputs % seeds.size()), seeds, random);
        QVERIFY(write(bytes));
        const QString reading = QStringLiteral("%1 input %2 of seed %3 (%4)\n");
        qstrncpy(s_reading, qPrintable(reading.arg(what).arg(inputs).arg(seed).arg(input)),
            sizeof s_reading);
        alarm(hangSeconds);
        QElapsedTimer one;
        one.start();
        gave += read(input) ? 1 : 0;
        alarm(0);
        slowest = qMax(slowest, one.elapsed());
        if (QTest::currentTestFailed()) {
            qWarning("%s input %lld of seed %u was read unsoundly", qPrintable(what),
                static_cast<long long>(inputs), seed);
            return;
        }
    }
    qInfo("%s: %lld inputs in %.1f s, %lld read, %lld refused, slowest %lld ms (seed %u)",
        qPrintable(what), static_cast<long long>(inputs), total.elapsed() / 1000.0,
        static_cast<long long>(gave), static_cast<long long>(inputs - gave),
        static_cast<long long>(slowest), seed);
    QVERIFY(inputs > 0);
}

void tst_FuzzReaders::pdfReader()
{
    run(QStringLiteral("pdf"), pdfSeeds(), 1500, [](const QString &path) {
        const PdfReadResult result = readPdfPages(path);
        [&] {
            QVERIFY(result.ok || result.pages.isEmpty());
            QVERIFY(result.pages.size() <= kMaxPdfPages);
            qint64 pixels = 0;
            for (const QImage &page : result.pages) {
                QVERIFY(page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide);
                QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
                pixels += qint64(page.width()) * page.height();
            }
            QVERIFY(pixels <= kMaxPdfPixels);
        }();
        return result.ok;
    });
}

void tst_FuzzReaders::imageReaders()
{
    // Qt's decoders complain about damaged data through the message logger: counted, not shown.
    static std::atomic<qint64> complaints { 0 };
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            // The tally is ours (the default category); the decoders use categories of Qt's.
            const bool ours = !context.category || qstrcmp(context.category, "default") == 0;
            if ((type == QtInfoMsg && ours) || type == QtFatalMsg) {
                return previous(type, context, text);
            }
            ++complaints;
        });
    run(QStringLiteral("image"), imageSeeds(), 6000, [](const QString &path) {
        const QImage page = readPageImage(path);
        const ImageFiles::LoadResult loaded = ImageFiles::load(path);
        [&] {
            QVERIFY(page.isNull() || page.format() == QImage::Format_RGB32
                || page.format() == QImage::Format_ARGB32
                || page.format() == QImage::Format_ARGB32_Premultiplied);
            QVERIFY(loaded.image.isNull() ? !loaded.error.isEmpty()
                                          : ResizeMath::fitsPixelBudget(loaded.image.size()));
        }();
        return !page.isNull() || !loaded.image.isNull();
    });
    qInstallMessageHandler(previous);
    qInfo("image: %lld complaints from the decoders", static_cast<long long>(complaints.load()));
}

QTEST_MAIN(tst_FuzzReaders)
#include "tst_fuzzreaders.moc"
