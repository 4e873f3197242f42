// Every writer of the program against places that cannot take its file: a folder that is a plain
// file, a missing folder, a folder in place of the file, a name longer than the system allows, a
// disk that fills up half-way. Each reports failure, leaves an existing file as it was and leaves
// nothing behind; names with spaces, other scripts and quotes are written fine.

#include "pdftesting.h"
#include "tools/image/imagefiles.h"
#include "tools/pdf/exportfiles.h"
#include "tools/pdf/pageio.h"
#include "tools/qr/qrsymbol.h"

#include <QImageReader>
#include <QtTest>

#include <optional>

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
    void writesAwkwardNames();
};

void tst_HostileWrites::failsWithoutHarm_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("place");

    for (int i = 0; i < kWriters.size(); ++i) {
        for (const char *place : { "folder is a file", "missing folder", "folder in its place",
                 "name too long", "disk fills up", "disk fills up, small file" }) {
            QTest::addRow("%s, %s", std::get<0>(kWriters.at(i)), place) << i << place;
        }
    }
}

void tst_HostileWrites::failsWithoutHarm()
{
    QFETCH(int, writer);
    QFETCH(QString, place);

    QTemporaryDir dir;
    const QString suffix = std::get<1>(kWriters.at(writer));
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
    } else {
        QVERIFY(QFile::copy(plain.fileName(), target));
    }
    const QStringList before = entriesOf(dir.path());

    QString error;
    bool written = true;
    {
        std::optional<FileSizeLimit> limit;
        if (place.startsWith("disk fills up")) {
            // Small enough for the small file to sit in the file's write buffer until the end.
            limit.emplace(place.endsWith("small file") ? 100 : 4096);
        }
        written = std::get<2>(kWriters.at(writer))(
            place.endsWith("small file") ? plainPage({ 64, 64 }) : noisePage({ 300, 200 }), target,
            &error);
    }
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(entriesOf(dir.path()), before);
    QCOMPARE(contentsOf(plain.fileName()), "a file, not a folder");
    if (place.startsWith("disk fills up")) {
        QCOMPARE(contentsOf(target), "a file, not a folder");
    } else if (place == "folder in its place") {
        QCOMPARE(entriesOf(target), QStringList { "inside" });
    }
}

void tst_HostileWrites::writesAwkwardNames()
{
    // Spaces, quotes, another script and what a shell would take for commands. JPEG keeps no
    // alpha: transparent paper goes on white, not black.
    QTemporaryDir dir;
    const QDir folder(dir.filePath("a folder – ü \"x\""));
    QVERIFY(folder.mkpath("."));
    for (const auto &[name, suffix, write] : kWriters) {
        const QString target = folder.filePath(
            QStringLiteral("the \"final\"  one's.v2 – 页 $(x) `y` & * ") + name + suffix);
        QString error;
        QVERIFY2(
            write(plainPage({ 300, 200 }, Qt::transparent, QImage::Format_ARGB32), target, &error),
            qPrintable(error));
        const QImage back(target);
        QCOMPARE(suffix == ".pdf" ? pdfPageSizes(target) : sizesOf({ back }),
            suffix == ".pdf" ? "300x200 300x200" : "300x200");
        if (suffix == ".jpg") {
            QCOMPARE(back.pixelColor(150, 100), QColor(Qt::white));
        }
    }
    QCOMPARE(entriesOf(folder.path()).size(), kWriters.size());
}

QTEST_MAIN(tst_HostileWrites)
#include "tst_hostilewrites.moc"
