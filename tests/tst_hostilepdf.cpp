// PDF files built to break the reader: damaged, empty, encrypted, endless page trees, pages
// too large to hold. Each is refused (the page then says "Could not open: %1") or read whole;
// none may crash, hang, change the file read, or hand back a page that is not a usable image.

#include "pdftesting.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/pdftoolspage.h"
#include "tools/pdf/thumbnaillist.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <array>

namespace {

// A PDF file made of the given object bodies, numbered from 1 (object 1 is the catalogue), with
// a correct cross-reference table. extraTrailer goes into the trailer dictionary.
QByteArray buildPdf(const QList<QByteArray> &objects, const QByteArray &extraTrailer = {})
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
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R "
        + extraTrailer + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray streamObject(const QByteArray &data)
{
    return "<< /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

// A blue square near the lower left corner of the page.
const QByteArray kBlueSquare("0 0 1 rg 10 10 50 50 re f");

// One page with the given media box and page-tree entries, showing the blue square.
QByteArray onePagePdf(const QByteArray &mediaBox, const QByteArray &pagesExtra = "/Count 1")
{
    return buildPdf({ "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] " + pagesExtra + " >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox " + mediaBox
            + " /Resources << >> /Contents 4 0 R >>",
        streamObject(kBlueSquare) });
}

// The standard security handler, revision 2 (RC4, 40-bit key), written out by hand so that the
// tests need no tool to make a password-protected file.
QByteArray rc4(const QByteArray &key, const QByteArray &data)
{
    std::array<unsigned char, 256> s {};
    for (int i = 0; i < 256; ++i) {
        s[std::size_t(i)] = static_cast<unsigned char>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[std::size_t(i)] + static_cast<unsigned char>(key.at(i % key.size()))) & 255;
        std::swap(s[std::size_t(i)], s[std::size_t(j)]);
    }
    QByteArray out(data.size(), Qt::Uninitialized);
    for (qsizetype k = 0, i = 0, j = 0; k < data.size(); ++k) {
        i = (i + 1) & 255;
        j = (j + s[std::size_t(i)]) & 255;
        std::swap(s[std::size_t(i)], s[std::size_t(j)]);
        out[k] = char(data.at(k) ^ s[(s[std::size_t(i)] + s[std::size_t(j)]) & 255]);
    }
    return out;
}

QByteArray md5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

QByteArray paddedPassword(const QByteArray &password)
{
    static const QByteArray padding =
        QByteArray::fromHex("28BF4E5E4E758A4164004E56FFFA01082E2E00B6D0683E802F0CA9FE6453697A");
    return (password + padding).left(32);
}

// The one-page blue-square document, encrypted. An empty user password opens without asking
// (only the owner's permissions are protected); any other needs the password.
QByteArray encryptedPdf(const QByteArray &userPassword, const QByteArray &ownerPassword)
{
    const QByteArray id = md5("mirvale hostile file");
    const QByteArray permissions = QByteArray::fromHex("D4FFFFFF"); // -44, little-endian
    const QByteArray owner =
        rc4(md5(paddedPassword(ownerPassword)).left(5), paddedPassword(userPassword));
    const QByteArray key = md5(paddedPassword(userPassword) + owner + permissions + id).left(5);
    const QByteArray user = rc4(key, paddedPassword({}));
    // Object 4 generation 0: the key, three bytes of the number, two of the generation.
    const QByteArray objectKey = md5(key + QByteArray::fromHex("0400000000")).left(10);
    return buildPdf(
        { "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 144 144] /Resources << >> "
            "/Contents 4 0 R >>",
            streamObject(rc4(objectKey, kBlueSquare)),
            "<< /Filter /Standard /V 1 /R 2 /Length 40 /P -44 /O <" + owner.toHex() + "> /U <"
                + user.toHex() + "> >>" },
        "/Encrypt 5 0 R /ID [<" + id.toHex() + "> <" + id.toHex() + ">]");
}

// A document as the writer makes it: compressed streams, text with an embedded font, a picture.
QByteArray writtenPdf(const QList<QSizeF> &pointSizes)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    QPainter painter;
    for (qsizetype i = 0; i < pointSizes.size(); ++i) {
        writer.setPageSize(
            QPageSize(pointSizes.at(i), QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (i == 0 ? !painter.begin(&writer) : !writer.newPage()) {
            return {};
        }
        painter.fillRect(QRectF(10, 10, 40, 40), Qt::blue);
        painter.drawText(QPointF(10, 80), QStringLiteral("Page %1").arg(i + 1));
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(QColor(255, 0, 0, 128));
        painter.drawImage(QRectF(60, 10, 30, 30), picture);
    }
    painter.end();
    return bytes;
}

// A page tree of depth nodes of type Pages, each naming the next one twice as its kids, above one
// page of the given box: a small file that claims 2^depth pages.
QByteArray sharedBranchesPdf(int depth, const QByteArray &mediaBox)
{
    QList<QByteArray> objects { "<< /Type /Catalog /Pages 2 0 R >>" };
    const int page = depth + 2;
    for (int level = 0; level < depth; ++level) {
        const QByteArray next = QByteArray::number(level + 1 < depth ? level + 3 : page);
        objects.append("<< /Type /Pages /Kids [" + next + " 0 R " + next + " 0 R] /Count "
            + QByteArray::number(qint64(1) << (depth - level)) + " >>");
    }
    objects.append("<< /Type /Page /Parent 2 0 R /MediaBox " + mediaBox + " /Contents "
        + QByteArray::number(page + 1) + " 0 R >>");
    objects.append(streamObject(kBlueSquare));
    return buildPdf(objects);
}

// The one-page document with its page tree (object 2) naming kids, and object 5 as given.
QByteArray pageTreePdf(const QByteArray &kids, const QByteArray &object5 = "<< >>")
{
    return buildPdf(
        { "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [" + kids + "] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 144 144] /Contents 4 0 R >>",
            streamObject(kBlueSquare), object5 });
}

QByteArray randomBytes(quint32 seed, int size)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes) {
        c = char(random.bounded(256));
    }
    return bytes;
}

bool isBlue(QRgb pixel)
{
    return qBlue(pixel) > 200 && qRed(pixel) < 60 && qGreen(pixel) < 60;
}

// Reading must end within this time whatever the file holds.
constexpr qint64 kReadDeadlineMs = 20000;

enum class Outcome {
    Refused, // not ok, no pages: the page shows "Could not open: %1"
    Read, // ok, with the expected pages
    Either, // damaged files the engine may mend: refused, or read with sound pages
};

} // namespace

Q_DECLARE_METATYPE(Outcome)

class tst_HostilePdf : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readsOrRefusesWholeFile_data();
    void readsOrRefusesWholeFile();
    void findsPageTreeLoops_data();
    void findsPageTreeLoops();
    void passwordFileNeedsItsPassword();
    void truncatedAtEveryTenthKeepsPagesSound();
    void readsPathsWithAwkwardNames_data();
    void readsPathsWithAwkwardNames();
    void refusesWhatIsNoFile();
    void pageKeepsItsDocumentWhenOpenFails_data();
    void pageKeepsItsDocumentWhenOpenFails();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    bool writeFile(const QString &file, const QByteArray &bytes) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_HostilePdf::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

bool tst_HostilePdf::writeFile(const QString &file, const QByteArray &bytes) const
{
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

void tst_HostilePdf::readsOrRefusesWholeFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QList<QSize>>("pages"); // pixel sizes at 200 dpi, when read

    const QByteArray written = writtenPdf({ { 144, 72 }, { 72, 144 } });
    const QList<QSize> writtenPages { { 400, 200 }, { 200, 400 } };
    const QList<QSize> square { { 400, 400 } };

    QTest::addRow("empty file") << QByteArray() << Outcome::Refused << QList<QSize>();
    QTest::addRow("random bytes") << randomBytes(1, 4096) << Outcome::Refused << QList<QSize>();
    QTest::addRow("random bytes after a header")
        << QByteArray("%PDF-1.7\n") + randomBytes(2, 4096) << Outcome::Refused << QList<QSize>();
    QTest::addRow("header only") << QByteArray("%PDF-1.4\n") << Outcome::Refused << QList<QSize>();
    QTest::addRow("first half of a document")
        << written.left(written.size() / 2) << Outcome::Either << writtenPages;
    QTest::addRow("cross-reference table cut off")
        << written.left(written.lastIndexOf("xref")) << Outcome::Either << writtenPages;
    QTest::addRow("last byte missing") << written.chopped(1) << Outcome::Either << writtenPages;
    QTest::addRow("sound document") << written << Outcome::Read << writtenPages;
    QTest::addRow("needs a password")
        << encryptedPdf("secret", "owner") << Outcome::Refused << QList<QSize>();
    QTest::addRow("protected by an owner password only")
        << encryptedPdf({}, "owner") << Outcome::Read << QList<QSize> { { 400, 400 } };
    QTest::addRow("no pages") << buildPdf(
        { "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>" })
                              << Outcome::Read << QList<QSize>();
    QTest::addRow("page of 14400 x 14400 points")
        << onePagePdf("[0 0 14400 14400]") << Outcome::Refused << QList<QSize>();
    QTest::addRow("page wider than the pixel limit")
        << onePagePdf("[0 0 6000 10]") << Outcome::Refused << QList<QSize>();
    QTest::addRow("second page absurd, first sound") << buildPdf(
        { "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 144 144] /Contents 4 0 R >>",
            streamObject(kBlueSquare),
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 14400 14400] /Contents 4 0 R >>" })
                                                     << Outcome::Refused << QList<QSize>();
    QTest::addRow("box of absurd numbers")
        << onePagePdf("[0 0 1e300 -1e300]") << Outcome::Either << square;
    QTest::addRow("empty media box")
        << onePagePdf("[0 0 0 0]") << Outcome::Either << QList<QSize>();
    QTest::addRow("inverted media box")
        << onePagePdf("[144 144 0 0]") << Outcome::Read << QList<QSize> { { 400, 400 } };
    QTest::addRow("media box that is no box")
        << onePagePdf("(nonsense)") << Outcome::Either << QList<QSize>();
    QTest::addRow("page count far beyond the pages")
        << onePagePdf("[0 0 144 144]", "/Count 2147483647") << Outcome::Either << square;
    QTest::addRow("negative page count")
        << onePagePdf("[0 0 144 144]", "/Count -5") << Outcome::Either << square;
    QTest::addRow("page tree whose first kid is itself")
        << pageTreePdf("2 0 R 3 0 R") << Outcome::Refused << QList<QSize>();
    QTest::addRow("page tree whose only kid is itself")
        << pageTreePdf("2 0 R") << Outcome::Refused << QList<QSize>();
    QTest::addRow("page tree looping through a second node")
        << pageTreePdf("5 0 R", "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 1 >>")
        << Outcome::Refused << QList<QSize>();
    QTest::addRow("page tree loop spelt with escapes")
        << pageTreePdf("5 0 R", "<</Type/P#61ges/Kids[2 0 R]/Count 1>>") << Outcome::Refused
        << QList<QSize>();
    QTest::addRow("page tree node of no type naming itself")
        << pageTreePdf("5 0 R", "<< /Kids [5 0 R 3 0 R] /Count 1 >>") << Outcome::Either << square;
    QTest::addRow("page named twice") << pageTreePdf("3 0 R 3 0 R") << Outcome::Either
                                      << QList<QSize> { { 400, 400 }, { 400, 400 } };
    QTest::addRow("16 million pages from shared branches")
        << sharedBranchesPdf(24, "[0 0 144 144]") << Outcome::Refused << QList<QSize>();
    QTest::addRow("4096 letter pages from shared branches")
        << sharedBranchesPdf(12, "[0 0 612 792]") << Outcome::Refused << QList<QSize>();
    QTest::addRow("eight pages from shared branches") << sharedBranchesPdf(
        3, "[0 0 144 72]") << Outcome::Read << QList<QSize>(8, QSize(400, 200));
    QTest::addRow("page contents that never end") << buildPdf(
        { "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 144 144] /Contents 4 0 R >>",
            "<< /Length 999999999 >>\nstream\n" + kBlueSquare })
                                                  << Outcome::Either << square;
    QTest::addRow("stream length that lies") << buildPdf({ "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 144 144] /Contents 4 0 R >>",
        "<< /Length -40 /Filter /FlateDecode >>\nstream\n" + randomBytes(3, 64) + "\nendstream" })
                                             << Outcome::Either << square;
}

void tst_HostilePdf::readsOrRefusesWholeFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Outcome, outcome);
    QFETCH(QList<QSize>, pages);

    const QString file = path(QStringLiteral("hostile.pdf"));
    QVERIFY(writeFile(file, bytes));

    QElapsedTimer timer;
    timer.start();
    const PdfReadResult read = readPdfPages(file);
    QVERIFY2(timer.elapsed() < kReadDeadlineMs, qPrintable(QString::number(timer.elapsed())));

    switch (outcome) {
    case Outcome::Refused:
        QVERIFY(!read.ok);
        break;
    case Outcome::Read:
        QVERIFY(read.ok);
        QCOMPARE(read.pages.size(), pages.size());
        break;
    case Outcome::Either:
        QVERIFY(read.pages.size() <= qMax(pages.size(), qsizetype(1)));
        break;
    }
    if (!read.ok) {
        QVERIFY(read.pages.isEmpty());
    }
    for (qsizetype i = 0; i < read.pages.size(); ++i) {
        const QImage &page = read.pages.at(i);
        QVERIFY(!page.isNull());
        QCOMPARE(qAlpha(page.pixel(0, 0)), 255);
        QVERIFY(page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide);
        if (outcome == Outcome::Read) {
            QCOMPARE(page.size(), pages.at(i));
        }
    }
    // Reading never writes: the file is as it was, and nothing was left beside it.
    QFile after(file);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytes);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList { QStringLiteral("hostile.pdf") });
}

void tst_HostilePdf::findsPageTreeLoops_data()
{
    QTest::addColumn<QByteArray>("pdf");
    QTest::addColumn<bool>("loops");

    const QByteArray loop("1 0 obj << /Type /Pages /Kids [1 0 R] >> endobj\n");
    QTest::addRow("nothing") << QByteArray() << false;
    QTest::addRow("self") << loop << true;
    QTest::addRow("no spaces") << QByteArray("1 0 obj<</Type/Pages/Kids[1 0 R]>>endobj") << true;
    QTest::addRow("three nodes") << QByteArray(
        "1 0 obj <</Type /Pages /Kids [2 0 R]>> endobj "
        "2 0 obj <</Type /Pages /Kids [3 0 R 9 0 R]>> endobj "
        "3 0 obj <</Type /Pages /Kids [1 0 R]>> endobj")
                                 << true;
    QTest::addRow("tree without loop")
        << QByteArray("1 0 obj <</Type /Pages /Kids [2 0 R 3 0 R]>> endobj "
                      "2 0 obj <</Type /Pages /Kids [4 0 R]>> endobj "
                      "3 0 obj <</Type /Pages /Kids [4 0 R]>> endobj "
                      "4 0 obj <</Type /Page>> endobj")
        << false;
    QTest::addRow("page naming itself")
        << QByteArray("1 0 obj << /Type /Page /Kids [1 0 R] >> endobj") << false;
    QTest::addRow("form field naming itself")
        << QByteArray("1 0 obj << /FT /Tx /Kids [1 0 R] >> endobj") << false;
    QTest::addRow("reference in a nested dictionary")
        << QByteArray("1 0 obj << /Type /Pages /Kids [] /Extra << /Kids [1 0 R] >> >> endobj")
        << false;
    QTest::addRow("strings and comments around it")
        << QByteArray("1 0 obj % a comment >> [\n<< /Title (a (nested) string \\) with >>) "
                      "/Id <AB> /Type /Pages /Kids [1 0 R] >> endobj")
        << true;
    QTest::addRow("loop mended by a later update")
        << loop + QByteArray("1 0 obj << /Type /Pages /Kids [2 0 R] >> endobj") << false;
    QTest::addRow("loop made by a later update")
        << QByteArray("1 0 obj << /Type /Pages /Kids [2 0 R] >> endobj\n") + loop << true;
    QTest::addRow("header glued to a word")
        << QByteArray("x1 0 obj << /Type /Pages /Kids [1 0 R] >>") << false;
    QTest::addRow("object cut off") << QByteArray("1 0 obj << /Type /Pages /Kids [1 0 R") << false;
    QTest::addRow("nesting beyond reason")
        << QByteArray("1 0 obj << /A ") + QByteArray(100000, '[') + loop << true;
    QTest::addRow("unclosed string in an earlier object")
        << QByteArray("2 0 obj << /A (never closed >> endobj\n") + loop << true;
    QTest::addRow("random bytes") << randomBytes(7, 1 << 20) << false;
    QTest::addRow("headers without end") << QByteArray("1 0 obj << /A (").repeated(20000) << false;
}

void tst_HostilePdf::findsPageTreeLoops()
{
    QFETCH(QByteArray, pdf);
    QFETCH(bool, loops);

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(pdfPageTreeLoops(pdf), loops);
    QVERIFY(timer.elapsed() < 5000);
}

void tst_HostilePdf::passwordFileNeedsItsPassword()
{
    // The fixture is a real protected document: refused without the password, and showing the
    // blue square with it. The reader itself never asks for one.
    const QString file = path(QStringLiteral("locked.pdf"));
    QVERIFY(writeFile(file, encryptedPdf("secret", "owner")));

    QPdfDocument doc;
    QCOMPARE(doc.load(file), QPdfDocument::Error::IncorrectPassword);
    doc.setPassword(QStringLiteral("secret"));
    QCOMPARE(doc.load(file), QPdfDocument::Error::None);
    const QImage page = renderPage(doc, 0, kPageDpi);
    QCOMPARE(page.size(), QSize(400, 400));
    // 10 to 60 points from the lower left corner: pixels 28 to 166, counted from the bottom.
    QVERIFY(isBlue(page.pixel(100, 400 - 100)));
    QVERIFY(!isBlue(page.pixel(300, 100)));
    doc.close();

    const PdfReadResult read = readPdfPages(file);
    QVERIFY(!read.ok);
    QVERIFY(read.pages.isEmpty());
}

void tst_HostilePdf::truncatedAtEveryTenthKeepsPagesSound()
{
    const QByteArray whole = writtenPdf({ { 144, 72 }, { 72, 144 }, { 100, 100 } });
    QVERIFY(!whole.isEmpty());
    const QString file = path(QStringLiteral("cut.pdf"));
    for (int tenth = 0; tenth < 10; ++tenth) {
        const QByteArray cut = whole.left(whole.size() * tenth / 10);
        QVERIFY(writeFile(file, cut));
        const PdfReadResult read = readPdfPages(file);
        QVERIFY2(read.ok || read.pages.isEmpty(), qPrintable(QString::number(tenth)));
        QVERIFY(read.pages.size() <= 3);
        for (const QImage &page : read.pages) {
            QVERIFY(!page.isNull());
            QVERIFY(page.width() <= kMaxRenderSide && page.height() <= kMaxRenderSide);
        }
    }
}

void tst_HostilePdf::readsPathsWithAwkwardNames_data()
{
    QTest::addColumn<QString>("name");

    QTest::addRow("spaces") << QStringLiteral("my scanned   file .pdf");
    QTest::addRow("non-ASCII") << QStringLiteral("Bücher – résumé 文書 ✓.pdf");
    QTest::addRow("quotes") << QStringLiteral("the \"final\" one's copy.pdf");
    QTest::addRow("shell characters") << QStringLiteral("$(rm -rf x); `y` & z | *.pdf");
    QTest::addRow("leading dash") << QStringLiteral("-rf.pdf");
    QTest::addRow("upper-case suffix") << QStringLiteral("SCAN.PDF");
    QTest::addRow("no suffix") << QStringLiteral("report");
}

void tst_HostilePdf::readsPathsWithAwkwardNames()
{
    QFETCH(QString, name);

    const QString folder = path(QStringLiteral("a folder – ü \"x\""));
    QVERIFY(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath(name);
    QVERIFY(writeFile(file, onePagePdf("[0 0 144 72]")));
    const PdfReadResult read = readPdfPages(file);
    QVERIFY(read.ok);
    QCOMPARE(read.pages.size(), 1);
    QCOMPARE(read.pages.first().size(), QSize(400, 200));
    QVERIFY(isBlue(read.pages.first().pixel(100, 200 - 100)));
}

void tst_HostilePdf::refusesWhatIsNoFile()
{
    // A folder, a missing file, a name with nothing in it.
    QVERIFY(!readPdfPages(m_dir->path()).ok);
    QVERIFY(!readPdfPages(path(QStringLiteral("missing.pdf"))).ok);
    QVERIFY(!readPdfPages(QString()).ok);
    QVERIFY(!readPdfPages(path(QStringLiteral("missing/folder/x.pdf"))).ok);
}

void tst_HostilePdf::pageKeepsItsDocumentWhenOpenFails_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pages"); // after opening; -1: refused

    QTest::addRow("empty file") << "empty.pdf" << QByteArray() << -1;
    QTest::addRow("random bytes") << "noise.pdf" << randomBytes(4, 2000) << -1;
    QTest::addRow("needs a password") << "locked.pdf" << encryptedPdf("secret", "owner") << -1;
    QTest::addRow("page tree loop") << "loop.pdf" << pageTreePdf("2 0 R 3 0 R") << -1;
    QTest::addRow("16 million pages") << "bomb.pdf" << sharedBranchesPdf(24, "[0 0 144 144]") << -1;
    QTest::addRow("page of 14400 points") << "poster.pdf" << onePagePdf("[0 0 14400 14400]") << -1;
    QTest::addRow("image named pdf") << "photo.pdf" << QByteArray("\x89PNG\r\n\x1a\n", 8) << -1;
    QTest::addRow("spaces and non-ASCII")
        << "Jahresbericht – 報告 2024 .pdf" << onePagePdf("[0 0 144 72]") << 1;
    QTest::addRow("no pages") << "blank.pdf"
                              << buildPdf({ "<< /Type /Catalog /Pages 2 0 R >>",
                                     "<< /Type /Pages /Kids [] /Count 0 >>" })
                              << 0;
}

void tst_HostilePdf::pageKeepsItsDocumentWhenOpenFails()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, pages);

    using namespace pdftest;
    PdfToolsPage page;
    QLabel *status = nullptr;
    for (auto *label : page.findChildren<QLabel *>()) {
        if (label->text() == QLatin1String("Open a PDF (or add images) to start editing.")) {
            status = label;
        }
    }
    auto *thumbnails = page.findChild<ThumbnailList *>();
    QVERIFY(status && thumbnails);

    // A document already open, as the user had it.
    QVERIFY(
        writeFile(path(QStringLiteral("report.pdf")), writtenPdf({ { 144, 72 }, { 72, 144 } })));
    QString report = runWithDialogs(&page, "openDocument",
        { fileDialog(
            QStringLiteral("Open PDF"), m_dir->path(), { QStringLiteral("report.pdf") }) });
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QCOMPARE(thumbnails->count(), 2);
    const QString opened = status->text();

    QVERIFY(writeFile(path(name), bytes));
    QList<Step> steps { fileDialog(QStringLiteral("Open PDF"), m_dir->path(), { name }) };
    if (pages < 0) {
        steps << messageBox(QStringLiteral("Could not open: %1").arg(path(name)));
    }
    QElapsedTimer timer;
    timer.start();
    report = runWithDialogs(&page, "openDocument", steps);
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QVERIFY(timer.elapsed() < kReadDeadlineMs);
    if (pages < 0) {
        QCOMPARE(thumbnails->count(), 2);
        QCOMPARE(status->text(), opened);
    } else {
        // A file with no pages opens as an empty document.
        QCOMPARE(thumbnails->count(), pages);
        QCOMPARE(status->text(), QStringLiteral("Opened %1 (%2 pages)").arg(name).arg(pages));
    }
    QFile after(path(name));
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytes);
}

QTEST_MAIN(tst_HostilePdf)
#include "tst_hostilepdf.moc"
