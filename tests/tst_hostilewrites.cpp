// Every writer of the program against places that cannot take its file: a folder that is a plain
// file, a missing folder, a folder in place of the file, a name longer than the system allows, a
// disk that fills up half-way. Each reports failure, leaves an existing file as it was and leaves
// nothing behind. Names with spaces, quotes, other scripts and dots are written fine.

#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/pdf/exportfiles.h"
#include "tools/pdf/pageio.h"
#include "tools/qr/qrsymbol.h"

#include <QtTest>

using namespace pdftest;

namespace {
QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// One writer of the program: writes the page (twice, for a PDF) at path, says whether it did,
// and why not.
using Write = std::function<bool(const QImage &page, const QString &path, QString *error)>;
const QList<std::tuple<const char *, QString, Write>> kWriters {
    { "pdf", ".pdf",
        [](const QImage &page, const QString &path, QString *error) {
            return writePagesAsPdf({ page, page }, path, error);
        } },
    { "page as jpg", ".jpg", &writePageImage },
    { "page as png", ".png", &writePageImage },
    { "resized image", ".bmp",
        [](const QImage &page, const QString &path, QString *error) {
            const ImageFiles::SaveResult saved = ImageFiles::save(page, path);
            *error = saved.error;
            return saved.ok;
        } },
    { "qr symbol", ".png", &writePngFile },
};
} // namespace

class tst_HostileWrites : public QObject
{
    Q_OBJECT

private slots:
    void failsWithoutHarm_data();
    void failsWithoutHarm();
};

void tst_HostileWrites::failsWithoutHarm_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("place");

    for (int i = 0; i < kWriters.size(); ++i) {
        for (const char *place : { "folder is a file", "missing folder", "folder in its place",
                 "name too long", "disk fills up", "disk fills up, small file", "awkward name" }) {
            QTest::addRow("%s, %s", std::get<0>(kWriters.at(i)), place) << i << place;
        }
    }
}

void tst_HostileWrites::failsWithoutHarm()
{
    QFETCH(int, writer);
    QFETCH(QString, place);

    QTemporaryDir dir;
    const auto &[name, suffix, write] = kWriters.at(writer);
    QFile plain(dir.filePath("plain.txt"));
    QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("a file, not a folder") > 0);
    plain.close();
    // An earlier file of the very name, where there can be one, must survive every failure.
    QString target = dir.filePath("out" + suffix);
    if (place == "folder is a file") {
        target = dir.filePath("plain.txt/out" + suffix);
    } else if (place == "missing folder") {
        target = dir.filePath("no/such/out" + suffix);
    } else if (place == "folder in its place") {
        QVERIFY(QDir().mkpath(target + "/inside"));
    } else if (place == "name too long") {
        target = dir.filePath(QString(300, 'n') + suffix);
    } else if (place == "awkward name") {
        target = dir.filePath(QStringLiteral("the \"final\"  one's.v2 – 页 $(x) `y` & *") + suffix);
    } else {
        QVERIFY(QFile::copy(plain.fileName(), target));
    }
    const QStringList before = entriesOf(dir.path());

    // Small enough for the small file to sit in the file's write buffer until the end.
    const bool small = place.endsWith("small file");
    QString error;
    bool written = false;
    {
        const auto limit = fileSizeLimit(!place.startsWith("disk") ? 0 : small ? 100 : 4096);
        // Transparent paper goes on white where the format keeps no alpha, not on black.
        written = write(small ? plainPage({ 64, 64 })
                : place == "awkward name"
                ? plainPage({ 300, 200 }, Qt::transparent, QImage::Format_ARGB32)
                : noisePage({ 300, 200 }),
            target, &error);
    }
    QCOMPARE(contentsOf(plain.fileName()), "a file, not a folder");
    if (place == "awkward name") {
        QVERIFY2(written, qPrintable(error));
        const QString sizes = suffix == ".pdf" ? pdfPageSizes(target) : sizesOf({ QImage(target) });
        QCOMPARE(sizes, suffix == ".pdf" ? "300x200 300x200" : "300x200");
        QCOMPARE(entriesOf(dir.path()), before + QStringList { QFileInfo(target).fileName() });
        QVERIFY(suffix != ".jpg" || QImage(target).pixel(150, 100) == qRgb(255, 255, 255));
        return;
    }
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(entriesOf(dir.path()), before);
    if (place.startsWith("disk")) {
        QCOMPARE(contentsOf(target), "a file, not a folder");
    } else if (place == "folder in its place") {
        QCOMPARE(entriesOf(target), QStringList { "inside" });
    }
}

QTEST_MAIN(tst_HostileWrites)
#include "tst_hostilewrites.moc"
