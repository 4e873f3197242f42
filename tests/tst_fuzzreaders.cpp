// Mutation fuzzing of the readers that turn files into pages: the PDF reader of the PDF page and
// the image readers of the PDF page and the image resizer. Each input is a sound file damaged
// at random (bits flipped, bytes changed, pieces cut, repeated or spliced in, numbers swapped
// for extreme ones, references sent to other objects); every one must give sound pages or
// nothing, without crashing or hanging.
//
// The run is deterministic for a seed. CI runs a short pass; a longer one (Qt Test stops a
// test function after five minutes unless QTEST_FUNCTION_TIMEOUT, in ms, allows more):
//   MIRVALE_FUZZ_SECONDS=300 QTEST_FUNCTION_TIMEOUT=900000 ./tst_fuzzreaders
//                                                        (time per reader, instead of a count)
//   MIRVALE_FUZZ_ITERATIONS=5000 MIRVALE_FUZZ_SEED=7 ./tst_fuzzreaders
//   MIRVALE_FUZZ_KEEP=/some/folder ./tst_fuzzreaders     (inputs are written there, so the one
//                                                        a crash or hang stopped at stays)

#include "tools/image/imagefiles.h"
#include "tools/image/resizemath.h"
#include "tools/pdf/pageio.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace {

qint64 envNumber(const char *name, qint64 fallback)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && value >= 0 ? value : fallback;
}

// Ends the process when one input takes longer than the limit: a hang is a finding too. The
// input it stopped at is on disk (the path is printed), and the seed and count reproduce it.
class Watchdog
{
public:
    explicit Watchdog(std::chrono::seconds limit)
        : m_limit(limit)
        , m_thread([this] { watch(); })
    { }
    ~Watchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Q_DISABLE_COPY_MOVE(Watchdog)

    void started(const QString &what)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_what = what.toLocal8Bit();
        m_since = std::chrono::steady_clock::now();
        m_busy = true;
    }
    void finished()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_busy = false;
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            m_wake.wait_for(lock, std::chrono::seconds(1));
            if (m_busy && std::chrono::steady_clock::now() - m_since > m_limit) {
                std::fprintf(stderr, "FUZZ HANG: no answer after %lld s for %s\n",
                    static_cast<long long>(m_limit.count()), m_what.constData());
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_busy = false;
    QByteArray m_what;
    std::chrono::steady_clock::time_point m_since;
    std::thread m_thread;
};

QByteArray buildPdf(const QList<QByteArray> &objects)
{
    QByteArray pdf("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets) {
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1)
        + " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray stream(const QByteArray &data, const QByteArray &extra = {})
{
    return "<< /Length " + QByteArray::number(data.size()) + extra + " >>\nstream\n" + data
        + "\nendstream";
}

// Sound PDFs to start from: as the writer makes them (compressed streams, an embedded font, a
// picture with transparency), and written out by hand in plain text (a page tree of two levels,
// a standard font, an inline picture, an annotation, a rotated page).
QList<QByteArray> pdfSeeds()
{
    QList<QByteArray> seeds;
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter;
        const QList<QSizeF> sizes { { 100, 60 }, { 60, 100 } };
        for (qsizetype i = 0; i < sizes.size(); ++i) {
            writer.setPageSize(QPageSize(sizes.at(i), QPageSize::Point, {}, QPageSize::ExactMatch));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            if (i == 0 ? !painter.begin(&writer) : !writer.newPage()) {
                return {};
            }
            painter.fillRect(QRectF(5, 5, 20, 20), Qt::blue);
            painter.drawText(QPointF(5, 45), QStringLiteral("Page %1 é").arg(i + 1));
            QImage picture(8, 8, QImage::Format_ARGB32);
            picture.fill(QColor(255, 0, 0, 100));
            painter.drawImage(QRectF(30, 5, 20, 20), picture);
            painter.setPen(QPen(Qt::darkGreen, 2, Qt::DashLine));
            painter.drawEllipse(QRectF(10, 10, 40, 30));
        }
        painter.end();
        seeds.append(bytes);
    }
    const QByteArray content =
        "q 0 0 1 rg 5 5 20 20 re f Q BT /F1 12 Tf 5 40 Td (Hi \\(there\\)) Tj "
        "ET q 20 0 0 20 40 5 cm BI /W 2 /H 2 /CS /RGB /BPC 8 ID "
        "\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff EI Q";
    seeds.append(buildPdf({ "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 3 /MediaBox [0 0 100 60] >>",
        "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 2 /Rotate 90 >>",
        "<< /Type /Page /Parent 2 0 R /Contents 7 0 R /Resources << /Font << /F1 8 0 R >> >> "
        "/Annots [9 0 R] >>",
        "<< /Type /Page /Parent 3 0 R /Contents 7 0 R /Resources << /Font << /F1 8 0 R >> >> >>",
        "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 50 80] /CropBox [5 5 45 75] >>",
        stream(content), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /Annot /Subtype /Square /Rect [10 10 50 50] /C [1 0 0] /Border [0 0 3] >>" }));
    return seeds;
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
    // A GIF by hand (Qt does not write GIF): 6 x 5 pixels in four colours, each pixel coded on
    // its own after a clear code, so the code size stays at three bits.
    QByteArray gif = QByteArray::fromHex("4749463839610600050081" // header, screen, table
                                         "0000" // background, aspect
                                         "000000ff000000ff000000ff" // four colours
                                         "2c00000000060005000002"); // frame, two-bit codes
    QByteArray codes;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        for (count += 3; count >= 8; count -= 8) {
            codes.append(char(bits & 0xff));
            bits >>= 8;
        }
    };
    for (int i = 0; i < 30; ++i) {
        put(4);
        put(i % 4);
    }
    put(5);
    codes.append(char(bits & 0xff));
    gif += char(codes.size()) + codes + QByteArray::fromHex("003b");
    return {
        encode(picture, "png"),
        encode(picture.convertToFormat(QImage::Format_Indexed8), "png"),
        encode(picture.convertToFormat(QImage::Format_Grayscale16), "png"),
        encode(picture, "jpeg", 80),
        encode(picture, "jpeg", 80, true),
        encode(picture, "bmp"),
        encode(picture.convertToFormat(QImage::Format_Indexed8), "bmp"),
        encode(picture, "webp", 70),
        encode(picture, "webp", 100),
        encode(picture, "tiff"),
        encode(picture, "ico"),
        gif,
    };
}

// Damages input in one to four random ways.
class Mutator
{
public:
    explicit Mutator(quint32 seed)
        : m_random(seed)
    { }

    QByteArray mutate(QByteArray data, const QList<QByteArray> &others)
    {
        const int rounds = 1 + int(m_random.bounded(4));
        for (int round = 0; round < rounds; ++round) {
            if (data.isEmpty()) {
                data = others.at(int(m_random.bounded(quint32(others.size()))));
            }
            const qsizetype at = position(data);
            switch (m_random.bounded(10)) {
            case 0: // flip a bit
                data[at] = char(data.at(at) ^ (1 << m_random.bounded(8)));
                break;
            case 1: // a byte at random
                data[at] = char(m_random.bounded(256));
                break;
            case 2: { // a byte decoders treat specially
                static const char special[] = { '\0', '\xff', '\x7f', '\x80', '\x01', '(', '<' };
                data[at] = special[m_random.bounded(quint32(sizeof special))];
                break;
            }
            case 3: // cut off the rest
                data.truncate(at);
                break;
            case 4: // take a piece out
                data.remove(at, span(data.size() - at));
                break;
            case 5: { // repeat a piece
                const QByteArray piece = data.mid(at, span(data.size() - at));
                data.insert(position(data), piece.repeated(1 + int(m_random.bounded(8))));
                break;
            }
            case 6: { // a piece of another sound file
                const QByteArray &other = others.at(int(m_random.bounded(quint32(others.size()))));
                const qsizetype from = position(other);
                data.insert(at, other.mid(from, span(other.size() - from)));
                break;
            }
            case 7: // random bytes in
                data.insert(at, randomBytes(1 + int(m_random.bounded(16))));
                break;
            case 8: // a number swapped for an extreme one
                replaceNumber(data);
                break;
            default: // a reference to another object: page trees that loop or share branches
                replaceReference(data);
                break;
            }
            if (data.size() > (1 << 20)) {
                data.truncate(1 << 20);
            }
        }
        return data;
    }

private:
    qsizetype position(const QByteArray &data)
    {
        return data.isEmpty() ? 0 : qsizetype(m_random.bounded(quint32(data.size())));
    }
    qsizetype span(qsizetype available)
    {
        return available <= 0
            ? 0
            : 1 + qsizetype(m_random.bounded(quint32(qMin<qsizetype>(available, 64))));
    }
    QByteArray randomBytes(int count)
    {
        QByteArray bytes(count, Qt::Uninitialized);
        for (char &c : bytes) {
            c = char(m_random.bounded(256));
        }
        return bytes;
    }
    void replaceNumber(QByteArray &data)
    {
        static const char *const extremes[] = { "0", "-1", "1", "2147483647", "2147483648",
            "4294967295", "-2147483649", "99999999999999999999", "1e308", "0.000001", "65535",
            "14400", "100000", "-0", "3" };
        for (int attempt = 0; attempt < 8; ++attempt) {
            qsizetype at = position(data);
            while (at < data.size() && !(data.at(at) >= '0' && data.at(at) <= '9')) {
                ++at;
            }
            if (at >= data.size()) {
                continue;
            }
            qsizetype end = at;
            while (end < data.size() && data.at(end) >= '0' && data.at(end) <= '9') {
                ++end;
            }
            data.replace(at, end - at, extremes[m_random.bounded(quint32(std::size(extremes)))]);
            return;
        }
    }

    void replaceReference(QByteArray &data)
    {
        for (int attempt = 0; attempt < 8; ++attempt) {
            const qsizetype at = data.indexOf(" 0 R", position(data));
            if (at <= 0) {
                continue;
            }
            qsizetype start = at;
            while (start > 0 && data.at(start - 1) >= '0' && data.at(start - 1) <= '9') {
                --start;
            }
            if (start < at) {
                data.replace(start, at - start, QByteArray::number(1 + m_random.bounded(12)));
                return;
            }
        }
    }

    QRandomGenerator m_random;
};

struct Tally
{
    qint64 inputs = 0;
    qint64 read = 0;
    qint64 slowestMs = 0;
};

} // namespace

class tst_FuzzReaders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pdfReader();
    void imageReaders();

private:
    // Feeds mutated inputs to check until the count or the time is spent. check says whether
    // the input was read (true) or refused, and fails the test on an unsound result.
    Tally run(const QString &what, const QList<QByteArray> &seeds, qint64 defaultCount,
        const std::function<bool(const QString &path)> &check);

    std::unique_ptr<QTemporaryDir> m_dir;
    quint32 m_seed = 0;
    qint64 m_iterations = 0;
    qint64 m_seconds = 0;
    QString m_keep;
};

void tst_FuzzReaders::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_seed = quint32(envNumber("MIRVALE_FUZZ_SEED", 20240611));
    m_iterations = envNumber("MIRVALE_FUZZ_ITERATIONS", -1);
    m_seconds = envNumber("MIRVALE_FUZZ_SECONDS", 0);
    m_keep = qEnvironmentVariable("MIRVALE_FUZZ_KEEP");
    if (!m_keep.isEmpty()) {
        QVERIFY(QDir().mkpath(m_keep));
    }
}

Tally tst_FuzzReaders::run(const QString &what, const QList<QByteArray> &seeds, qint64 defaultCount,
    const std::function<bool(const QString &path)> &check)
{
    Tally tally;
    const qint64 count = m_iterations >= 0 ? m_iterations : defaultCount;
    Mutator mutator(m_seed);
    // Generous: the slowest sound input under the sanitizers takes a few seconds.
    Watchdog watchdog(std::chrono::seconds(envNumber("MIRVALE_FUZZ_HANG_SECONDS", 120)));
    const QString input =
        m_keep.isEmpty() ? m_dir->filePath(QStringLiteral("input")) : QDir(m_keep).filePath(what);
    QElapsedTimer total;
    total.start();
    for (qint64 i = 0; m_seconds > 0 ? total.elapsed() < m_seconds * 1000 : i < count; ++i) {
        const QByteArray &seed = seeds.at(int(i % seeds.size()));
        const QByteArray bytes = mutator.mutate(seed, seeds);
        {
            QFile file(input);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
                QTest::qFail("cannot write the input", __FILE__, __LINE__);
                return tally;
            }
        }
        watchdog.started(
            QStringLiteral("%1 input %2 of seed %3 (%4)").arg(what).arg(i).arg(m_seed).arg(input));
        QElapsedTimer one;
        one.start();
        const bool read = check(input);
        watchdog.finished();
        tally.slowestMs = qMax(tally.slowestMs, one.elapsed());
        ++tally.inputs;
        tally.read += read ? 1 : 0;
        if (QTest::currentTestFailed()) {
            qWarning("%s input %lld of seed %u was read unsoundly", qPrintable(what),
                static_cast<long long>(i), m_seed);
            QFile::copy(input, m_dir->filePath(QStringLiteral("unsound")));
            return tally;
        }
    }
    qInfo("%s: %lld inputs in %.1f s, %lld read, %lld refused, slowest %lld ms (seed %u)",
        qPrintable(what), static_cast<long long>(tally.inputs), total.elapsed() / 1000.0,
        static_cast<long long>(tally.read), static_cast<long long>(tally.inputs - tally.read),
        static_cast<long long>(tally.slowestMs), m_seed);
    return tally;
}

void tst_FuzzReaders::pdfReader()
{
    const QList<QByteArray> seeds = pdfSeeds();
    QCOMPARE(seeds.size(), 2);
    for (const QByteArray &seed : seeds) {
        const QString file = m_dir->filePath(QStringLiteral("seed.pdf"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(seed);
        out.close();
        QVERIFY2(readPdfPages(file).ok, "a seed does not read");
    }
    const Tally tally = run(QStringLiteral("pdf"), seeds, 1500, [](const QString &path) {
        const PdfReadResult result = readPdfPages(path);
        if (!result.ok) {
            [&] {
                QVERIFY(result.pages.isEmpty());
            }();
            return false;
        }
        [&] {
            QVERIFY(result.pages.size() <= kMaxPdfPages);
            qint64 pixels = 0;
            for (const QImage &page : result.pages) {
                QVERIFY(!page.isNull());
                QVERIFY(page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide);
                QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
                pixels += qint64(page.width()) * page.height();
            }
            QVERIFY(pixels <= kMaxPdfPixels);
        }();
        return true;
    });
    QVERIFY(tally.inputs > 0);
}

void tst_FuzzReaders::imageReaders()
{
    const QList<QByteArray> seeds = imageSeeds();
    for (qsizetype i = 0; i < seeds.size(); ++i) {
        QVERIFY2(!QImage::fromData(seeds.at(i)).isNull(), qPrintable(QString::number(i)));
    }
    // Qt's decoders complain about damaged data through the message logger: counted, not shown.
    static std::atomic<qint64> complaints { 0 };
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            // The tally is ours (the default category); the decoders use categories of Qt's.
            const bool ours = !context.category || qstrcmp(context.category, "default") == 0;
            if ((type == QtInfoMsg && ours) || type == QtFatalMsg) {
                previous(type, context, text);
                return;
            }
            ++complaints;
        });
    const Tally tally = run(QStringLiteral("image"), seeds, 6000, [](const QString &path) {
        const QImage page = readPageImage(path);
        const ImageFiles::LoadResult loaded = ImageFiles::load(path);
        [&] {
            if (!page.isNull()) {
                QVERIFY(page.format() == QImage::Format_RGB32
                    || page.format() == QImage::Format_ARGB32
                    || page.format() == QImage::Format_ARGB32_Premultiplied
                    || page.format() == QImage::Format_RGB888
                    || page.format() == QImage::Format_RGBX8888
                    || page.format() == QImage::Format_RGBA8888
                    || page.format() == QImage::Format_RGBA8888_Premultiplied);
            }
            if (loaded.image.isNull()) {
                QVERIFY(!loaded.error.isEmpty());
            } else {
                QVERIFY(ResizeMath::fitsPixelBudget(loaded.image.size()));
            }
        }();
        return !page.isNull() || !loaded.image.isNull();
    });
    qInstallMessageHandler(previous);
    qInfo("image: %lld complaints from the decoders", static_cast<long long>(complaints.load()));
    QVERIFY(tally.inputs > 0);
}

QTEST_MAIN(tst_FuzzReaders)
#include "tst_fuzzreaders.moc"
