// PDF files built to break the reader: damaged, empty, encrypted, with page trees that loop
// (which Qt Pdf's engine never returns from) in plain text or packed into object streams, with
// pages too large to hold. Each is refused (the PDF page, which reads every file through it, then
// says "Could not open: %1") or read whole; none may crash, hang, change the file read, or give a
// page that is no usable image.

#include "pdftesting.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/pdfpagetree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <numeric>
#include <unistd.h>

namespace {

// What is being read, told should it hang: the engine never returns from some files, and such a
// hang must end the run with a message instead of stalling it.
char s_reading[512];

template <typename Read> auto watched(const QString &what, Read read)
{
    qstrncpy(s_reading, qPrintable(QStringLiteral("HANG: %1\n").arg(what)), sizeof s_reading);
    std::signal(SIGALRM, [](int) {
        (void)!::write(STDERR_FILENO, s_reading, strnlen(s_reading, sizeof s_reading));
        std::abort();
    });
    alarm(60);
    auto result = read();
    alarm(0);
    return result;
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

// A PDF of the given objects, numbered from 1 (the catalogue), with a cross-reference table.
QByteArray buildPdf(const QList<QByteArray> &objects, const QByteArray &extraTrailer = {})
{
    QByteArray pdf("%PDF-1.4\n");
    QByteArray table =
        "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += object(i + 1, objects.at(i));
    }
    return pdf + table + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1)
        + " /Root 1 0 R " + extraTrailer + " >>\nstartxref\n" + QByteArray::number(pdf.size())
        + "\n%%EOF\n";
}

// A zlib stream, as Flate filters hold it (qCompress puts the size in front).
QByteArray deflated(const QByteArray &data)
{
    return qCompress(data).mid(4);
}

// A PDF of the given objects in which those listed in packed sit in one object stream, found
// through a cross-reference stream, as current writers do it. The stream is deflated, or else
// holds the plain objects under the filter named (none: unfiltered).
QByteArray packedPdf(const QList<QByteArray> &objects, const QList<int> &packed,
    bool deflate = true, const QByteArray &filter = "/FlateDecode")
{
    QByteArray pdf("%PDF-1.5\n");
    QByteArray pairs;
    QByteArray body;
    QByteArray table = QByteArray::fromHex("0000000000ffff"); // type, offset or stream, index
    const auto entry = [&table](char type, qint64 field, qsizetype index) {
        table += type + QByteArray(6, '\0');
        qToBigEndian(quint32(field), table.data() + table.size() - 6);
        qToBigEndian(quint16(index), table.data() + table.size() - 2);
    };
    for (int i = 1; i <= objects.size(); ++i) {
        if (packed.contains(i)) {
            entry(2, objects.size() + 1, pairs.count(' ') / 2);
            pairs += QByteArray::number(i) + ' ' + QByteArray::number(body.size()) + ' ';
            body += objects.at(i - 1) + '\n';
        } else {
            entry(1, pdf.size(), 0);
            pdf += object(i, objects.at(i - 1));
        }
    }
    entry(1, pdf.size(), 0);
    pdf += object(objects.size() + 1,
        stream(deflate ? deflated(pairs + body) : pairs + body,
            " /Type /ObjStm /N " + QByteArray::number(packed.size()) + " /First "
                + QByteArray::number(pairs.size())
                + (filter.isEmpty() ? "" : " /Filter " + filter)));
    const qsizetype xref = pdf.size();
    entry(1, xref, 0);
    return pdf
        + object(objects.size() + 2,
            stream(table,
                " /Type /XRef /W [1 4 2] /Root 1 0 R /Size "
                    + QByteArray::number(objects.size() + 3)))
        + "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
}

const QByteArray kCatalog("<< /Type /Catalog /Pages 2 0 R >>");
const QByteArray kBlueSquare("0 0 1 rg 10 10 50 50 re f");

// A document whose page tree (object 2) names kids and holds the page (3) showing the blue
// square (4) with the given box; more objects follow from 5.
QList<QByteArray> pageTree(const QByteArray &kids, const QByteArray &box = "[0 0 144 144]",
    const QList<QByteArray> &more = {})
{
    return QList<QByteArray> { kCatalog, "<< /Type /Pages /Kids [" + kids + "] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Contents 4 0 R >>",
        stream(kBlueSquare) }
    + more;
}

// The one-page document, encrypted with the standard security handler, revision 2 (RC4 with a
// 40-bit key), written out by hand. An empty user password opens without asking.
QByteArray encryptedPdf(const QByteArray &userPassword)
{
    const auto rc4 = [](const QByteArray &key, QByteArray data) {
        quint8 s[256];
        std::iota(s, s + 256, 0);
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + quint8(key.at(i % key.size()))) & 255;
            std::swap(s[i], s[j]);
        }
        for (qsizetype k = 0, i = 0, j = 0; k < data.size(); ++k) {
            i = (i + 1) & 255;
            j = (j + s[i]) & 255;
            std::swap(s[i], s[j]);
            data[k] = char(data.at(k) ^ s[(s[i] + s[j]) & 255]);
        }
        return data;
    };
    const auto md5 = [](const QByteArray &data) {
        return QCryptographicHash::hash(data, QCryptographicHash::Md5);
    };
    const auto padded = [](const QByteArray &password) {
        return (password
            + QByteArray::fromHex("28BF4E5E4E758A4164004E56FFFA01082E2E00B6D0683E80"
                                  "2F0CA9FE6453697A"))
            .left(32);
    };
    const QByteArray id = md5("mirvale hostile file");
    const QByteArray owner = rc4(md5(padded("owner")).left(5), padded(userPassword));
    // Permissions -44, little-endian.
    const QByteArray key = md5(padded(userPassword) + owner + "\xD4\xFF\xFF\xFF" + id).left(5);
    // Object 4 generation 0: the key, three bytes of the number, two of the generation.
    const QByteArray objectKey = md5(key + QByteArray::fromHex("0400000000")).left(10);
    QList<QByteArray> objects = pageTree("3 0 R");
    objects[3] = stream(rc4(objectKey, kBlueSquare));
    objects << "<< /Filter /Standard /V 1 /R 2 /Length 40 /P -44 /O <" + owner.toHex() + "> /U <"
            + rc4(key, padded({})).toHex() + "> >>";
    return buildPdf(objects, "/Encrypt 5 0 R /ID [<" + id.toHex() + "> <" + id.toHex() + ">]");
}

// depth nodes of type Pages, each naming the next one twice, above one page of the given box:
// a small file claiming 2^depth pages.
QByteArray sharedBranchesPdf(int depth, const QByteArray &box)
{
    QList<QByteArray> objects { kCatalog };
    for (int level = 0; level < depth; ++level) {
        const QByteArray next = QByteArray::number(level + 3) + " 0 R ";
        objects << "<< /Type /Pages /Kids [" + next + next + "] /Count "
                + QByteArray::number(qint64(1) << (depth - level)) + " >>";
    }
    objects << "<< /Type /Page /MediaBox " + box + " /Contents " + QByteArray::number(depth + 3)
            + " 0 R >>";
    return buildPdf(objects << stream(kBlueSquare));
}

QByteArray randomBytes(quint32 seed, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A document as the writer makes it: compressed streams, text with an embedded font.
QByteArray writtenPdf()
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("written.pdf"));
    return pdftest::writeTestPdf(file, { { 144, 72 }, { 72, 144 } }) ? contentsOf(file)
                                                                     : QByteArray();
}

// Expected outcomes besides a number of pages read: not ok and no pages (the page then shows
// "Could not open: %1"), or for damaged files the engine may mend, either that or no more than
// two sound pages.
constexpr int kRefused = -1;
constexpr int kEither = -2;

} // namespace

class tst_HostilePdf : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readsOrRefusesWholeFile_data();
    void readsOrRefusesWholeFile();
    void findsPageTreesThatMayLoop_data();
    void findsPageTreesThatMayLoop();
    void refusesWhatIsNoFile();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_HostilePdf::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_HostilePdf::readsOrRefusesWholeFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pages"); // when read, or kRefused, or kEither

    const auto row = [](const char *tag, const QByteArray &bytes, int pages) {
        QTest::addRow("%s", tag) << bytes << pages;
    };
    const QByteArray written = writtenPdf();
    const QList<QByteArray> sound = pageTree("3 0 R");
    const QList<QByteArray> looping = pageTree("2 0 R 3 0 R");
    const QByteArray packed = packedPdf(sound, { 2, 3 });
    QList<QByteArray> heldKids = pageTree({}, "[0 0 144 144]", { "[2 0 R 3 0 R]" });
    heldKids[1] = "<< /Type /Pages /Kids 5 0 R /Count 1 >>";

    row("empty file", {}, kRefused);
    row("random bytes after a header", "%PDF-1.7\n" + randomBytes(2, 4096), kRefused);
    row("sound document", written, 2);
    for (int tenth = 1; tenth < 10; ++tenth) {
        QTest::addRow("cut at %d/10", tenth)
            << written.left(written.size() * tenth / 10) << kEither;
    }
    row("needs a password", encryptedPdf("secret"), kRefused);
    row("owner password only", encryptedPdf({}), 1);
    row("no pages", buildPdf({ kCatalog, "<< /Type /Pages /Kids [] /Count 0 >>" }), 0);
    row("page of 14400 x 14400 points", buildPdf(pageTree("3 0 R", "[0 0 14400 14400]")), kRefused);
    row("media box of absurd numbers", buildPdf(pageTree("3 0 R", "[0 0 1e300 -1e300]")), kEither);
    row("page count that lies", buildPdf(sound).replace("/Count 1", "/Count 2147483647"), kEither);
    row("stream length that lies", buildPdf(sound).replace("/Length 25", "/Length -40"), kEither);
    row("16 million pages from shared branches", sharedBranchesPdf(24, "[0 0 144 144]"), kRefused);
    row("4096 letter pages, too many pixels", sharedBranchesPdf(12, "[0 0 612 792]"), kRefused);
    row("eight pages from shared branches", sharedBranchesPdf(3, "[0 0 144 72]"), 8);
    row("page tree loop", buildPdf(looping), kRefused);
    row("page tree in an object stream", packed, 1);
    row("page tree in an unfiltered object stream", packedPdf(sound, { 2, 3 }, false, {}), 1);
    row("object stream that does not inflate", packedPdf(sound, { 2, 3 }, false), kEither);
    row("object stream cut short", packed.left(packed.indexOf("/Type /ObjStm") + 70), kEither);
    row("object stream of 2^31 objects", QByteArray(packed).replace("/N 2 ", "/N 2147483647 "),
        kEither);
    row("object stream unpacking to 65 MiB",
        packedPdf(pageTree("3 0 R", "[0 0 144 144]", { QByteArray(65 << 20, ' ') + "0" }), { 5 }),
        kRefused);
    row("object stream in an encoding not read", packedPdf(sound, { 2, 3 }, false, "/LZWDecode"),
        kRefused);
    row("page tree loop in an object stream", packedPdf(looping, { 2 }), kRefused);
    row("page tree loop, unfiltered object stream", packedPdf(looping, { 2, 3 }, false, {}),
        kRefused);
    row("page tree loop through packed kids", packedPdf(heldKids, { 2, 5 }), kRefused);
}

void tst_HostilePdf::readsOrRefusesWholeFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, pages);

    const QString file = path(QStringLiteral("hostile.pdf"));
    QVERIFY(writeFile(file, bytes));
    QElapsedTimer timer;
    timer.start();
    const PdfReadResult read =
        watched(QString::fromUtf8(QTest::currentDataTag()), [&] { return readPdfPages(file); });
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));

    if (pages != kEither) {
        QCOMPARE(read.ok, pages != kRefused);
        QCOMPARE(int(read.pages.size()), qMax(pages, 0));
    }
    QVERIFY(read.ok ? read.pages.size() <= qMax(pages, 2) : read.pages.isEmpty());
    for (const QImage &page : read.pages) {
        QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
        QVERIFY(page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide);
    }
    if (pages == 1) {
        QCOMPARE(read.pages.first().size(), QSize(400, 400));
        // The blue square, 10 to 60 points from the lower left corner.
        QCOMPARE(read.pages.first().pixel(100, 300), qRgb(0, 0, 255));
    }
    // Reading never writes: the file is as it was, and nothing was left beside it.
    QCOMPARE(contentsOf(file), bytes);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList { QStringLiteral("hostile.pdf") });
}

void tst_HostilePdf::findsPageTreesThatMayLoop_data()
{
    QTest::addColumn<QByteArray>("pdf");
    QTest::addColumn<bool>("mayLoop");

    const auto row = [](const char *tag, const QByteArray &pdf, bool mayLoop) {
        QTest::addRow("%s", tag) << pdf << mayLoop;
    };
    const QByteArray loop("1 0 obj << /Type /Pages /Kids [1 0 R] >> endobj\n");
    const QByteArray tree("1 0 obj << /Type /Pages /Kids [2 0 R] >> endobj\n");
    const QByteArray pairs("1 0 << /Type /Pages /Kids [1 0 R] >>");
    const QByteArray treePairs = QByteArray(pairs).replace("[1", "[2");
    // Object 7 packing the loop above as the data says.
    const auto packed = [](const QByteArray &dictionary, const QByteArray &data) {
        return "7 0 obj << /Type /ObjStm /N 1 /First 4 " + dictionary + " >>\nstream\n" + data
            + "\nendstream endobj";
    };

    row("self", loop, true);
    row("through three nodes",
        "1 0 obj<</Type/Pages/Kids[2 0 R]>>endobj 2 0 obj <</Type /Pages /Kids [3 0 R 9 0 R]>> "
        "endobj 3 0 obj <</Type /Pages /Kids [1 0 R]>> endobj",
        true);
    row("tree of shared branches",
        tree + "2 0 obj <</Type /Pages /Kids [3 0 R 3 0 R]>> 3 0 obj <</Type /Page>>", false);
    row("page naming itself", "1 0 obj << /Type /Page /Kids [1 0 R] >>", false);
    row("strings, comments, escapes",
        "1 0 obj % >> [\n<< /T (a (nested) \\) >>) /Id <AB> /Type /P#61ges /Kids [1 0 R] >>", true);
    // The engine may take any definition, whichever the cross-reference data names.
    row("loop in an earlier definition", loop + tree, true);
    row("kids held in another object", "1 0 obj << /Type /Pages /Kids 2 0 R >> 2 0 obj [1 0 R]",
        true);
    row("kid written in place", "1 0 obj << /Type /Pages /Kids [<< /Kids [1 0 R] >>] >>", true);
    row("kids given twice", "1 0 obj << /Type /Pages /Kids [] /Kids [1 0 R] >>", true);
    row("stray words and brackets", "1 0 obj << /Type /Pages ) foo ] /A ] /Kids [1 0 R] >>", true);
    row("dictionary never closed", "1 0 obj << /Type /Pages /Kids [1 0 R", true);
    row("nesting the engine gives up on",
        "1 0 obj << /Type /Pages /A " + QByteArray(70, '[') + QByteArray(70, ']')
            + " /Kids [1 0 R] >>",
        true);
    row("comments in the header", "1 % one\n0 % zero\nobj << /Type /Pages /Kids [1 0 R] >>", true);
    row("header glued to a word", "x1 0 obj << /Type /Pages /Kids [1 0 R] >>", true);
    row("tail of a longer number", "21 0 obj << /Type /Pages /Kids [1 0 R] >>", true);
    row("tail of a number defined apart", "21 0 obj << /Type /Pages /Kids [1 0 R] >> 1 0 obj 5",
        false);
    row("loop inside a string", "2 0 obj << /A (" + loop + ") >>", true);
    row("random bytes", randomBytes(7, 1 << 20), false);
    row("headers that make the scan go over it again",
        QByteArray("1 0 obj << /A (").repeated(20000), true);
    row("packed", packed("/Filter /FlateDecode", deflated(pairs)), true);
    row("packed, no filter", packed({}, pairs), true);
    row("packed, deflated twice", packed("/Filter [/Fl /Fl]", deflated(deflated(pairs))), true);
    row("packed, length that lies", packed("/Length 3", pairs), true);
    row("packed tree", packed({}, treePairs), false);
    row("packed, offset no number", packed({}, QByteArray(pairs).replace(2, 1, "\xB0")), true);
    row("packed, offset beyond the data", packed({}, QByteArray(pairs).replace(2, 1, "99")), false);
    row("packed, data cut off", packed("/Filter /Fl", deflated(pairs).left(12)), false);
    // Any tree at all is taken as a loop where the objects cannot be read.
    row("packed in an encoding not read", packed("/Filter /LZWDecode", treePairs), true);
    row("packed with a predictor",
        packed("/Filter /Fl /DecodeParms << /Predictor 12 >>", deflated(treePairs)), true);
}

void tst_HostilePdf::findsPageTreesThatMayLoop()
{
    QFETCH(QByteArray, pdf);
    QFETCH(bool, mayLoop);

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(pdfPageTreeMayLoop(pdf), mayLoop);
    QVERIFY(timer.elapsed() < 5000);
}

void tst_HostilePdf::refusesWhatIsNoFile()
{
    QVERIFY(!readPdfPages(m_dir->path()).ok);
    QVERIFY(!readPdfPages(path(QStringLiteral("missing/x.pdf"))).ok);
    QVERIFY(!readPdfPages(QString()).ok);
}

QTEST_MAIN(tst_HostilePdf)
#include "tst_hostilepdf.moc"
