// Every writer of the program against places that cannot take its file: a folder that is a
// plain file, a missing folder, a folder in place of the file, a name longer than the system
// allows, a disk that fills up half-way. Each reports failure, leaves an existing file as it
// was and leaves nothing behind; names with spaces, other scripts and quotes are written fine.
// The pages say "Could not save the file." (or, splitting, "Could not write one or both files.").

#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/pdf/exportfiles.h"
#include "tools/pdf/pageio.h"
#include "tools/pdf/pdftoolspage.h"
#include "tools/pdf/thumbnaillist.h"
#include "tools/qr/qrgeneratorpage.h"
#include "tools/qr/qrsymbol.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace pdftest;

namespace {

// Pixels that compress badly, so that every format writes well over the size limit below.
QImage noisyImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            line[x] = 0xff000000u | (state >> 8);
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
    QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    entries.sort();
    return entries;
}

// The limit files may not grow beyond while a write is meant to fail half-way.
constexpr rlim_t kSmallDisk = 4096;

// One writer of the program: writes page (twice, for a PDF) at path, says whether it did, and
// why not.
using Writer = std::function<bool(const QImage &page, const QString &path, QString *error)>;

struct NamedWriter
{
    QString name;
    QString suffix;
    Writer write;
};

QList<NamedWriter> writers()
{
    return {
        { QStringLiteral("pdf"), QStringLiteral("pdf"),
            [](const QImage &page, const QString &path, QString *error) {
                return writePagesAsPdf({ page, page }, path, error);
            } },
        { QStringLiteral("page as jpg"), QStringLiteral("jpg"),
            [](const QImage &page, const QString &path, QString *error) {
                return writePageImage(page, path, error);
            } },
        { QStringLiteral("page as png"), QStringLiteral("png"),
            [](const QImage &page, const QString &path, QString *error) {
                return writePageImage(page, path, error);
            } },
        { QStringLiteral("resized image"), QStringLiteral("bmp"),
            [](const QImage &page, const QString &path, QString *error) {
                const ImageFiles::SaveResult saved = ImageFiles::save(page, path);
                *error = saved.error;
                return saved.ok;
            } },
        { QStringLiteral("qr symbol"), QStringLiteral("png"),
            [](const QImage &page, const QString &path, QString *error) {
                return writePngFile(page, path, error);
            } },
    };
}

} // namespace

class tst_HostileWrites : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void failsWithoutHarm_data();
    void failsWithoutHarm();
    void writesAwkwardNames_data();
    void writesAwkwardNames();
    void exportAllCountsOnlyWhatWasWritten();
    void qrPageReportsFailedSave_data();
    void qrPageReportsFailedSave();
    void pdfPageReportsFailedSave_data();
    void pdfPageReportsFailedSave();
    void pdfPageReportsFailedSplit();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // A PDF page holding a two-page document opened from the folder.
    std::unique_ptr<PdfToolsPage> openedPdfPage(QLabel **status);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_HostileWrites::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_HostileWrites::failsWithoutHarm_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("place");

    const QList<NamedWriter> all = writers();
    for (int i = 0; i < all.size(); ++i) {
        const QByteArray utf8 = all.at(i).name.toUtf8();
        const char *name = utf8.constData();
        QTest::addRow("%s, folder is a file", name) << i << QStringLiteral("folder is a file");
        QTest::addRow("%s, missing folder", name) << i << QStringLiteral("missing folder");
        QTest::addRow("%s, folder in its place", name) << i << QStringLiteral("folder in place");
        QTest::addRow("%s, name too long", name) << i << QStringLiteral("name too long");
        QTest::addRow("%s, disk fills up", name) << i << QStringLiteral("disk fills up");
        // Small enough to sit in the file's write buffer until the end.
        QTest::addRow("%s, disk fills up, small file", name)
            << i << QStringLiteral("disk fills up, small file");
    }
}

void tst_HostileWrites::failsWithoutHarm()
{
    QFETCH(int, writer);
    QFETCH(QString, place);

    const NamedWriter w = writers().at(writer);
    const QString suffix = QLatin1Char('.') + w.suffix;
    QVERIFY(writeFile(path(QStringLiteral("plain.txt")), "a file, not a folder"));
    // An earlier file of the very name, which must survive every failure.
    const QByteArray earlier("the earlier file, still wanted");
    QString target;
    if (place == QLatin1String("folder is a file")) {
        target = path(QStringLiteral("plain.txt/out") + suffix);
    } else if (place == QLatin1String("missing folder")) {
        target = path(QStringLiteral("no/such/folder/out") + suffix);
    } else if (place == QLatin1String("folder in place")) {
        target = path(QStringLiteral("out") + suffix);
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
    } else if (place == QLatin1String("name too long")) {
        target = path(QString(300, QLatin1Char('n')) + suffix);
    } else {
        target = path(QStringLiteral("out") + suffix);
        QVERIFY(writeFile(target, earlier));
    }
    const QStringList before = entriesOf(m_dir->path());

    const bool small = place.endsWith(QLatin1String("small file"));
    const QImage page = small ? plainPage(QSize(64, 64)) : noisyImage(QSize(300, 200));
    QString error;
    bool written = true;
    if (place.startsWith(QLatin1String("disk fills up"))) {
        const FileSizeLimit limit(small ? 100 : kSmallDisk);
        written = w.write(page, target, &error);
    } else {
        written = w.write(page, target, &error);
    }

    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(entriesOf(m_dir->path()), before);
    QCOMPARE(contentsOf(path(QStringLiteral("plain.txt"))), QByteArray("a file, not a folder"));
    if (place.startsWith(QLatin1String("disk fills up"))) {
        QCOMPARE(contentsOf(target), earlier);
    } else if (place == QLatin1String("folder in place")) {
        QCOMPARE(entriesOf(target), QStringList { QStringLiteral("inside") });
    }
}

void tst_HostileWrites::writesAwkwardNames_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("name");

    const QList<NamedWriter> all = writers();
    for (int i = 0; i < all.size(); ++i) {
        const QString suffix = QLatin1Char('.') + all.at(i).suffix;
        const QByteArray utf8 = all.at(i).name.toUtf8();
        const char *name = utf8.constData();
        QTest::addRow("%s, spaces", name) << i << QStringLiteral("my  page ") + suffix;
        QTest::addRow("%s, non-ASCII", name) << i << QStringLiteral("Seite – 页 ✓") + suffix;
        QTest::addRow("%s, quotes", name) << i << QStringLiteral("the \"final\" one's") + suffix;
        QTest::addRow("%s, shell characters", name) << i << QStringLiteral("$(x) `y` & *") + suffix;
    }
}

void tst_HostileWrites::writesAwkwardNames()
{
    QFETCH(int, writer);
    QFETCH(QString, name);

    const QString folder = path(QStringLiteral("a folder – ü \"x\""));
    QVERIFY(QDir().mkpath(folder));
    const QString target = QDir(folder).filePath(name);
    QString error;
    QVERIFY2(
        writers().at(writer).write(noisyImage(QSize(300, 200)), target, &error), qPrintable(error));
    if (target.endsWith(QLatin1String(".pdf"))) {
        QCOMPARE(pdfPointSizes(target).size(), 2);
    } else {
        QCOMPARE(QImageReader(target).size(), QSize(300, 200));
    }
    QCOMPARE(entriesOf(folder), QStringList { name });
}

void tst_HostileWrites::exportAllCountsOnlyWhatWasWritten()
{
    const QList<QImage> pages { noisyImage(QSize(200, 100)), noisyImage(QSize(100, 200)) };
    QVERIFY(writeFile(path(QStringLiteral("plain.txt")), "a file, not a folder"));
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
    QCOMPARE(entriesOf(m_dir->path()),
        QStringList({ QStringLiteral("page_1.png"), QStringLiteral("plain.txt") }));
}

void tst_HostileWrites::qrPageReportsFailedSave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fillDisk");

    QTest::addRow("folder is a file") << QStringLiteral("plain.txt/qr-code.png") << false;
    QTest::addRow("missing folder") << QStringLiteral("no/such/qr-code.png") << false;
    QTest::addRow("disk fills up over an earlier file") << QStringLiteral("qr-code.png") << true;
}

void tst_HostileWrites::qrPageReportsFailedSave()
{
    QFETCH(QString, name);
    QFETCH(bool, fillDisk);

    QVERIFY(writeFile(path(QStringLiteral("plain.txt")), "a file, not a folder"));
    const QByteArray earlier("the earlier symbol");
    QVERIFY(writeFile(path(QStringLiteral("qr-code.png")), earlier));
    QRGeneratorPage page;
    auto *save = page.findChild<QPushButton *>(QStringLiteral("PrimaryButton"));
    QVERIFY(save);

    QList<Step> steps { fileDialog(QStringLiteral("Save QR code"), m_dir->path(), { name }) };
    if (fillDisk) {
        steps << confirmReplace();
    }
    steps << messageBox(QStringLiteral("Could not save the file."));
    QString report;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fillDisk) {
            limit = std::make_unique<FileSizeLimit>(64);
        }
        report = runWithDialogs([save] { save->click(); }, steps);
    }
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QCOMPARE(contentsOf(path(QStringLiteral("qr-code.png"))), earlier);
    QCOMPARE(entriesOf(m_dir->path()),
        QStringList({ QStringLiteral("plain.txt"), QStringLiteral("qr-code.png") }));
}

std::unique_ptr<PdfToolsPage> tst_HostileWrites::openedPdfPage(QLabel **status)
{
    auto page = std::make_unique<PdfToolsPage>();
    *status = nullptr;
    for (auto *label : page->findChildren<QLabel *>()) {
        if (label->text() == QLatin1String("Open a PDF (or add images) to start editing.")) {
            *status = label;
        }
    }
    const QString source = path(QStringLiteral("report.pdf"));
    if (!*status || !writeTestPdf(source, { { 144, 72 }, { 72, 144 } })) {
        return {};
    }
    const QString report = runWithDialogs(page.get(), "openDocument",
        { fileDialog(
            QStringLiteral("Open PDF"), m_dir->path(), { QStringLiteral("report.pdf") }) });
    if (!report.isEmpty() || page->findChild<ThumbnailList *>()->count() != 2) {
        return {};
    }
    return page;
}

void tst_HostileWrites::pdfPageReportsFailedSave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fillDisk");

    QTest::addRow("folder is a file") << QStringLiteral("plain.txt/saved.pdf") << false;
    QTest::addRow("missing folder") << QStringLiteral("no/such/saved.pdf") << false;
    QTest::addRow("disk fills up over an earlier file") << QStringLiteral("keep.pdf") << true;
}

void tst_HostileWrites::pdfPageReportsFailedSave()
{
    QFETCH(QString, name);
    QFETCH(bool, fillDisk);

    QLabel *status = nullptr;
    const std::unique_ptr<PdfToolsPage> page = openedPdfPage(&status);
    QVERIFY(page);
    const QString statusBefore = status->text();
    QVERIFY(writeFile(path(QStringLiteral("plain.txt")), "a file, not a folder"));
    QVERIFY(QDir().mkpath(path(QStringLiteral("taken.pdf/inside"))));
    const QByteArray earlier("%PDF-1.4 the earlier document");
    QVERIFY(writeFile(path(QStringLiteral("keep.pdf")), earlier));
    const QStringList before = entriesOf(m_dir->path());

    QList<Step> steps { fileDialog(QStringLiteral("Save As PDF"), m_dir->path(), { name }) };
    if (fillDisk) {
        steps << confirmReplace();
    }
    steps << messageBox(QStringLiteral("Could not save the file."));
    QString report;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fillDisk) {
            limit = std::make_unique<FileSizeLimit>(kSmallDisk);
        }
        report = runWithDialogs(page.get(), "saveAs", steps);
    }
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QCOMPARE(contentsOf(path(QStringLiteral("keep.pdf"))), earlier);
    QCOMPARE(entriesOf(m_dir->path()), before);
    QCOMPARE(entriesOf(path(QStringLiteral("taken.pdf"))), QStringList { "inside" });
    QCOMPARE(page->findChild<ThumbnailList *>()->count(), 2);
    QCOMPARE(status->text(), statusBefore);
}

void tst_HostileWrites::pdfPageReportsFailedSplit()
{
    QLabel *status = nullptr;
    const std::unique_ptr<PdfToolsPage> page = openedPdfPage(&status);
    QVERIFY(page);
    const QString statusBefore = status->text();
    const QByteArray earlier("%PDF-1.4 an earlier part");
    QVERIFY(writeFile(path(QStringLiteral("report_part1.pdf")), earlier));
    QVERIFY(writeFile(path(QStringLiteral("report_part2.pdf")), earlier));
    const QStringList before = entriesOf(m_dir->path());

    QString report;
    {
        const FileSizeLimit limit(kSmallDisk);
        report = runWithDialogs(page.get(), "splitDocument",
            { numberDialog(QStringLiteral("Split document"), 1),
                folderDialog(QStringLiteral("Choose a folder to save both parts"), m_dir->path()),
                messageBox(QStringLiteral("Could not write one or both files.")) });
    }
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QCOMPARE(contentsOf(path(QStringLiteral("report_part1.pdf"))), earlier);
    QCOMPARE(contentsOf(path(QStringLiteral("report_part2.pdf"))), earlier);
    QCOMPARE(entriesOf(m_dir->path()), before);
    QCOMPARE(page->findChild<ThumbnailList *>()->count(), 2);
    QCOMPARE(status->text(), statusBefore);
}

QTEST_MAIN(tst_HostileWrites)
#include "tst_hostilewrites.moc"
