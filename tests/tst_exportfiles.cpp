#include "tools/pdf/exportfiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QImage solidPage(const QColor &colour)
{
    QImage page(40, 30, QImage::Format_ARGB32);
    page.fill(colour);
    return page;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_ExportFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void padsPageFileNamesToThePageCount_data();
    void padsPageFileNamesToThePageCount();
    void namesFilesAfterTheCurrentFile_data();
    void namesFilesAfterTheCurrentFile();
    void writesTheFormatTheSuffixNames_data();
    void writesTheFormatTheSuffixNames();
    void refusesAndKeepsTheExistingFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ExportFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_ExportFiles::padsPageFileNamesToThePageCount_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("name");

    QTest::addRow("5 of 5") << 5 << 5 << "page_5.png";
    QTest::addRow("1 of 10") << 1 << 10 << "page_01.png";
    QTest::addRow("1 of 100") << 1 << 100 << "page_001.png";
}

void tst_ExportFiles::padsPageFileNamesToThePageCount()
{
    QFETCH(int, page);
    QFETCH(int, count);
    QFETCH(QString, name);
    QCOMPARE(exportPageFileName(page, count), name);
}

void tst_ExportFiles::namesFilesAfterTheCurrentFile_data()
{
    QTest::addColumn<QString>("currentPath");
    QTest::addColumn<QString>("savePath");
    QTest::addColumn<QString>("firstPart");

    QTest::addRow("no current file") << ""
                                     << "document.pdf"
                                     << "/out/document_part1.pdf";
    QTest::addRow("base name up to the first dot") << "/docs/report.final.PDF"
                                                   << "/docs/report_edited.pdf"
                                                   << "/out/report_part1.pdf";
}

void tst_ExportFiles::namesFilesAfterTheCurrentFile()
{
    QFETCH(QString, currentPath);
    QFETCH(QString, savePath);
    QFETCH(QString, firstPart);

    QCOMPARE(suggestedSavePath(currentPath), savePath);
    const auto [first, second] = splitPartPaths(QStringLiteral("/out"), currentPath);
    QCOMPARE(first, firstPart);
    QCOMPARE(second, QString(firstPart).replace("part1", "part2"));
}

void tst_ExportFiles::writesTheFormatTheSuffixNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QColor>("transparentBecomes"); // invalid: stays transparent

    QTest::addRow("dotted name, png") << "page.3.png" << QByteArray("png") << QColor();
    QTest::addRow("upper-case JPG") << "a.JPG" << QByteArray("jpeg") << QColor(Qt::white);
    QTest::addRow("bmp") << "a.bmp" << QByteArray("bmp") << QColor(Qt::white);
}

void tst_ExportFiles::writesTheFormatTheSuffixNames()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(QColor, transparentBecomes);

    const QString path = m_dir->filePath(name);
    QString error;
    QVERIFY2(writePageImage(solidPage(Qt::transparent), path, &error), qPrintable(error));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    const QImage back = reader.read();
    QCOMPARE(back.size(), QSize(40, 30));
    // Formats without alpha get the page on white paper, not black.
    if (transparentBecomes.isValid()) {
        const QColor pixel = back.pixelColor(20, 15);
        QVERIFY2(pixel.red() > 250 && pixel.green() > 250 && pixel.blue() > 250,
            qPrintable(pixel.name()));
    } else {
        QCOMPARE(back.pixelColor(20, 15).alpha(), 0);
    }
}

void tst_ExportFiles::refusesAndKeepsTheExistingFile()
{
    const QString path = m_dir->filePath(QStringLiteral("page1.png"));
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("the old export");
    existing.close();

    QString error;
    QVERIFY(!writePageImage(QImage(), path, &error)); // a null page
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!writePageImage(solidPage(Qt::white), m_dir->filePath("page1.xyz"), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), QByteArray("the old export"));
    QCOMPARE(
        QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "page1.png" });
}

QTEST_MAIN(tst_ExportFiles)
#include "tst_exportfiles.moc"
