// Every writer of the program against places that cannot take its file: a folder that is a
// plain file, a missing folder, a folder in place of the file, a name longer than the system
// allows, a disk that fills up half-way. Each reports failure, leaves an existing file as it
// was and leaves nothing behind; names with spaces, other scripts and quotes are written fine.
// The PDF page says "Could not save the file." (or, splitting, "Could not write one or both
// files.") and keeps its document.

#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/pdf/exportfiles.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/pdftoolspage.h"
#include "tools/pdf/thumbnaillist.h"
#include "tools/qr/qrsymbol.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace pdftest;

namespace {

// Pixels that compress badly, so that every format writes well over the size limit below.
QImage noisyImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, 0xff000000u | (state >> 8));
        }
    }
    return image;
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

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// The limit files may not grow beyond while a write is meant to fail half-way.
constexpr rlim_t kSmallDisk = 4096;

// One writer of the program: writes page (twice, for a PDF) at path, says whether it did, and
// why not.
struct Writer
{
    const char *name;
    QString suffix;
    std::function<bool(const QImage &page, const QString &path, QString *error)> write;
};

const QList<Writer> &writers()
{
    static const QList<Writer> all {
        { "pdf", QStringLiteral(".pdf"),
            [](const QImage &page, const QString &path, QString *error) {
                return writePagesAsPdf({ page, page }, path, error);
            } },
        { "page as jpg", QStringLiteral(".jpg"), &writePageImage },
        { "page as png", QStringLiteral(".png"), &writePageImage },
        { "resized image", QStringLiteral(".bmp"),
            [](const QImage &page, const QString &path, QString *error) {
                const ImageFiles::SaveResult saved = ImageFiles::save(page, path);
                *error = saved.error;
                return saved.ok;
            } },
        { "qr symbol", QStringLiteral(".png"), &writePngFile },
    };
    return all;
}

} // namespace

class tst_HostileWrites : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void failsWithoutHarm_data();
    void failsWithoutHarm();
    void writesAwkwardNames();
    void exportAllCountsOnlyWhatWasWritten();
    void pdfPageReportsFailedWrites_data();
    void pdfPageReportsFailedWrites();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_HostileWrites::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
    QVERIFY(writeFile(path(QStringLiteral("plain.txt")), "a file, not a folder"));
}

void tst_HostileWrites::failsWithoutHarm_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("place");

    for (int i = 0; i < writers().size(); ++i) {
        for (const char *place : { "folder is a file", "missing folder", "folder in its place",
                 "name too long", "disk fills up", "disk fills up, small file" }) {
            QTest::addRow("%s, %s", writers().at(i).name, place) << i << QString::fromUtf8(place);
        }
    }
}

void tst_HostileWrites::failsWithoutHarm()
{
    QFETCH(int, writer);
    QFETCH(QString, place);

    const Writer &w = writers().at(writer);
    const bool fillDisk = place.startsWith(QLatin1String("disk fills up"));
    // Small enough to sit in the file's write buffer until the end.
    const bool small = place.endsWith(QLatin1String("small file"));
    QString target = path(QStringLiteral("out") + w.suffix);
    // An earlier file of the very name, which must survive every failure.
    const QByteArray earlier("the earlier file, still wanted");
    if (place == QLatin1String("folder is a file")) {
        target = path(QStringLiteral("plain.txt/out") + w.suffix);
    } else if (place == QLatin1String("missing folder")) {
        target = path(QStringLiteral("no/such/out") + w.suffix);
    } else if (place == QLatin1String("folder in its place")) {
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
    } else if (place == QLatin1String("name too long")) {
        target = path(QString(300, QLatin1Char('n')) + w.suffix);
    } else {
        QVERIFY(writeFile(target, earlier));
    }
    const QStringList before = entriesOf(m_dir->path());

    QString error;
    bool written = true;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fillDisk) {
            limit = std::make_unique<FileSizeLimit>(small ? 100 : kSmallDisk);
        }
        written =
            w.write(small ? plainPage(QSize(64, 64)) : noisyImage({ 300, 200 }), target, &error);
    }
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(entriesOf(m_dir->path()), before);
    QCOMPARE(contentsOf(path(QStringLiteral("plain.txt"))), QByteArray("a file, not a folder"));
    if (fillDisk) {
        QCOMPARE(contentsOf(target), earlier);
    } else if (place == QLatin1String("folder in its place")) {
        QCOMPARE(entriesOf(target), QStringList { QStringLiteral("inside") });
    }
}

void tst_HostileWrites::writesAwkwardNames()
{
    // Spaces, quotes, another script and what a shell would take for commands.
    const QString folder = path(QStringLiteral("a folder – ü \"x\""));
    QVERIFY(QDir().mkpath(folder));
    QStringList names;
    for (const Writer &writer : writers()) {
        names << QStringLiteral("the \"final\"  one's – 页 $(x) `y` & * ") + writer.name
                + writer.suffix;
        const QString target = QDir(folder).filePath(names.last());
        QString error;
        QVERIFY2(writer.write(noisyImage({ 300, 200 }), target, &error), qPrintable(error));
        if (writer.suffix == QLatin1String(".pdf")) {
            QCOMPARE(pdfPointSizes(target).size(), 2);
        } else {
            QCOMPARE(QImageReader(target).size(), QSize(300, 200));
        }
    }
    names.sort();
    QCOMPARE(entriesOf(folder), names);
}

void tst_HostileWrites::exportAllCountsOnlyWhatWasWritten()
{
    const QList<QImage> pages { noisyImage({ 200, 100 }), noisyImage({ 100, 200 }) };
    QCOMPARE(writeAllPagesAsPng(pages, path(QStringLiteral("plain.txt"))), 0);
    QCOMPARE(writeAllPagesAsPng(pages, path(QStringLiteral("no/such/folder"))), 0);

    const QByteArray earlier("the earlier page_1.png");
    QVERIFY(writeFile(path(QStringLiteral("page_1.png")), earlier));
    int written = -1;
    {
        const FileSizeLimit limit(kSmallDisk);
        written = writeAllPagesAsPng(pages, m_dir->path());
    }
    QCOMPARE(written, 0);
    QCOMPARE(contentsOf(path(QStringLiteral("page_1.png"))), earlier);
    QCOMPARE(entriesOf(m_dir->path()).size(), 2);
}

void tst_HostileWrites::pdfPageReportsFailedWrites_data()
{
    QTest::addColumn<QString>("name"); // saved as; none: split
    QTest::addColumn<bool>("fillDisk");

    QTest::addRow("save, missing folder") << "no/such/saved.pdf" << false;
    QTest::addRow("save, disk fills up over an earlier file") << "keep.pdf" << true;
    QTest::addRow("split, disk fills up over earlier parts") << QString() << true;
}

void tst_HostileWrites::pdfPageReportsFailedWrites()
{
    QFETCH(QString, name);
    QFETCH(bool, fillDisk);

    // A page holding a two-page document, and earlier files of the names it would write.
    PdfToolsPage page;
    QVERIFY(writeTestPdf(path(QStringLiteral("report.pdf")), { { 144, 72 }, { 72, 144 } }));
    const QString opened = runWithDialogs(&page, "openDocument",
        { fileDialog(
            QStringLiteral("Open PDF"), m_dir->path(), { QStringLiteral("report.pdf") }) });
    QVERIFY2(opened.isEmpty(), qPrintable(opened));
    const QByteArray earlier("%PDF-1.4 an earlier file");
    const QStringList kept { "keep.pdf", "report_part1.pdf", "report_part2.pdf" };
    for (const QString &keep : kept) {
        QVERIFY(writeFile(path(keep), earlier));
    }
    const QStringList before = entriesOf(m_dir->path());

    const QList<Step> steps = name.isEmpty()
        ? QList<Step> { numberDialog(QStringLiteral("Split document"), 1),
              folderDialog(QStringLiteral("Choose a folder to save both parts"), m_dir->path()),
              messageBox(QStringLiteral("Could not write one or both files.")) }
        : QList<Step> { fileDialog(QStringLiteral("Save As PDF"), m_dir->path(), { name }) }
            + (fillDisk ? QList<Step> { confirmReplace() } : QList<Step>())
            + QList<Step> { messageBox(QStringLiteral("Could not save the file.")) };
    QString report;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fillDisk) {
            limit = std::make_unique<FileSizeLimit>(kSmallDisk);
        }
        report = runWithDialogs(&page, name.isEmpty() ? "splitDocument" : "saveAs", steps);
    }
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QCOMPARE(entriesOf(m_dir->path()), before);
    for (const QString &keep : kept) {
        QCOMPARE(contentsOf(path(keep)), earlier);
    }
    QCOMPARE(page.findChild<ThumbnailList *>()->count(), 2);
}

QTEST_MAIN(tst_HostileWrites)
#include "tst_hostilewrites.moc"
