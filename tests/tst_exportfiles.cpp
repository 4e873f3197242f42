#include "tools/pdf/exportfiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QImage solidPage(const QColor &colour, const QSize &size = QSize(40, 30))
{
    QImage page(size, QImage::Format_ARGB32);
    page.fill(colour);
    return page;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lowers the largest file this process may write, for as long as it lives; writes beyond it fail
// (with SIGXFSZ ignored) as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit lowered = m_previous;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace

class tst_ExportFiles : public QObject
{
    Q_OBJECT

private slots:
    void pageFileNamesArePaddedToThePageCount_data();
    void pageFileNamesArePaddedToThePageCount();
    void exportAllOfTwelvePagesGivesPage01ToPage12();

    void suggestedNames_data();
    void suggestedNames();
    void splitPartsAreNamedAfterTheCurrentFile_data();
    void splitPartsAreNamedAfterTheCurrentFile();
    void splitPointsLeaveNeitherPartEmpty_data();
    void splitPointsLeaveNeitherPartEmpty();
    void splitAtEveryLegalPointKeepsTheOrder();

    void writesTheFormatTheSuffixNames_data();
    void writesTheFormatTheSuffixNames();
    void transparentPagesTurnWhiteNotBlack_data();
    void transparentPagesTurnWhiteNotBlack();
    void refusesNamesWithoutAnImageFormat_data();
    void refusesNamesWithoutAnImageFormat();
    void failedWriteKeepsTheExistingFile();
};

void tst_ExportFiles::pageFileNamesArePaddedToThePageCount_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("name");
    QTest::addRow("1 of 1") << 1 << 1 << "page_1.png";
    QTest::addRow("5 of 5") << 5 << 5 << "page_5.png";
    QTest::addRow("9 of 9") << 9 << 9 << "page_9.png";
    QTest::addRow("1 of 10") << 1 << 10 << "page_01.png";
    QTest::addRow("10 of 10") << 10 << 10 << "page_10.png";
    QTest::addRow("1 of 12") << 1 << 12 << "page_01.png";
    QTest::addRow("12 of 12") << 12 << 12 << "page_12.png";
    QTest::addRow("1 of 99") << 1 << 99 << "page_01.png";
    QTest::addRow("1 of 100") << 1 << 100 << "page_001.png";
    QTest::addRow("100 of 100") << 100 << 100 << "page_100.png";
    QTest::addRow("7 of 1000") << 7 << 1000 << "page_0007.png";
}

void tst_ExportFiles::pageFileNamesArePaddedToThePageCount()
{
    QFETCH(int, page);
    QFETCH(int, count);
    QFETCH(QString, name);
    QCOMPARE(exportPageFileName(page, count), name);
}

void tst_ExportFiles::exportAllOfTwelvePagesGivesPage01ToPage12()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QList<QImage> pages;
    QStringList expected;
    for (int i = 1; i <= 12; ++i) {
        // Each page its own width, so the files can be told apart.
        pages.append(solidPage(Qt::white, QSize(10 + i, 20)));
        expected.append(QStringLiteral("page_%1.png").arg(i, 2, 10, QLatin1Char('0')));
    }
    // An existing file of one of the names is replaced.
    QFile old(dir.filePath(QStringLiteral("page_03.png")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    QCOMPARE(writeAllPagesAsPng(pages, dir.path()), 12);

    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
    for (int i = 1; i <= 12; ++i) {
        QImageReader reader(dir.filePath(expected.at(i - 1)));
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.size(), QSize(10 + i, 20));
    }
}

void tst_ExportFiles::suggestedNames_data()
{
    QTest::addColumn<QString>("currentPath");
    QTest::addColumn<QString>("savePath");
    QTest::addRow("no current file") << ""
                                     << "document.pdf";
    QTest::addRow("base name up to the first dot") << "/docs/report.final.pdf"
                                                   << "/docs/report_edited.pdf";
    QTest::addRow("upper-case suffix") << "/docs/Scan.PDF"
                                       << "/docs/Scan_edited.pdf";
}

void tst_ExportFiles::suggestedNames()
{
    QFETCH(QString, currentPath);
    QFETCH(QString, savePath);
    QCOMPARE(suggestedSavePath(currentPath), savePath);
    QCOMPARE(suggestedPageImageName(3), QStringLiteral("page3.png"));
    QCOMPARE(suggestedPageImageName(12), QStringLiteral("page12.png"));
}

void tst_ExportFiles::splitPartsAreNamedAfterTheCurrentFile_data()
{
    QTest::addColumn<QString>("currentPath");
    QTest::addColumn<QString>("part1");
    QTest::addColumn<QString>("part2");
    QTest::addRow("no current file") << ""
                                     << "/out/document_part1.pdf"
                                     << "/out/document_part2.pdf";
    QTest::addRow("opened file") << "/docs/report.final.pdf"
                                 << "/out/report_part1.pdf"
                                 << "/out/report_part2.pdf";
}

void tst_ExportFiles::splitPartsAreNamedAfterTheCurrentFile()
{
    QFETCH(QString, currentPath);
    QFETCH(QString, part1);
    QFETCH(QString, part2);
    const auto [first, second] = splitPartPaths(QStringLiteral("/out"), currentPath);
    QCOMPARE(first, part1);
    QCOMPARE(second, part2);
}

void tst_ExportFiles::splitPointsLeaveNeitherPartEmpty_data()
{
    QTest::addColumn<int>("afterPage");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<bool>("valid");
    QTest::addRow("before the first page") << 0 << 5 << false;
    QTest::addRow("negative") << -1 << 5 << false;
    QTest::addRow("after the first page") << 1 << 5 << true;
    QTest::addRow("before the last page") << 4 << 5 << true;
    QTest::addRow("after the last page") << 5 << 5 << false;
    QTest::addRow("two pages") << 1 << 2 << true;
    QTest::addRow("one page") << 1 << 1 << false;
    QTest::addRow("no pages") << 0 << 0 << false;
}

void tst_ExportFiles::splitPointsLeaveNeitherPartEmpty()
{
    QFETCH(int, afterPage);
    QFETCH(int, pageCount);
    QFETCH(bool, valid);
    QCOMPARE(isValidSplitPoint(afterPage, pageCount), valid);
}

void tst_ExportFiles::splitAtEveryLegalPointKeepsTheOrder()
{
    QList<QImage> pages;
    for (int i = 0; i < 5; ++i) {
        pages.append(solidPage(Qt::white, QSize(10 + i, 10)));
    }
    for (int k = 1; k <= 4; ++k) {
        const auto [first, second] = splitPages(pages, k);
        QCOMPARE(first.size(), k);
        QCOMPARE(second.size(), 5 - k);
        QCOMPARE(first + second, pages);
    }
}

void tst_ExportFiles::writesTheFormatTheSuffixNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addRow("png") << "a.png" << QByteArray("png");
    QTest::addRow("jpg") << "a.jpg" << QByteArray("jpeg");
    QTest::addRow("jpeg") << "a.jpeg" << QByteArray("jpeg");
    QTest::addRow("upper-case JPG") << "a.JPG" << QByteArray("jpeg");
    QTest::addRow("bmp") << "a.bmp" << QByteArray("bmp");
    QTest::addRow("dotted name") << "page.3.png" << QByteArray("png");
}

void tst_ExportFiles::writesTheFormatTheSuffixNames()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(name);

    QString error;
    QVERIFY2(writePageImage(solidPage(QColor(10, 120, 200)), path, &error), qPrintable(error));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), QSize(40, 30));
}

void tst_ExportFiles::transparentPagesTurnWhiteNotBlack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("keepsAlpha");
    QTest::addRow("jpg") << "a.jpg" << false;
    QTest::addRow("bmp") << "a.bmp" << false;
    QTest::addRow("png") << "a.png" << true;
}

void tst_ExportFiles::transparentPagesTurnWhiteNotBlack()
{
    QFETCH(QString, name);
    QFETCH(bool, keepsAlpha);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(name);

    QVERIFY(writePageImage(solidPage(Qt::transparent), path));
    const QImage back(path);
    QVERIFY(!back.isNull());
    const QRgb pixel = back.pixel(20, 15);
    if (keepsAlpha) {
        QCOMPARE(qAlpha(pixel), 0);
    } else {
        QCOMPARE(qAlpha(pixel), 255);
        QVERIFY2(qRed(pixel) > 250 && qGreen(pixel) > 250 && qBlue(pixel) > 250,
            qPrintable(QString::number(pixel, 16)));
    }
}

void tst_ExportFiles::refusesNamesWithoutAnImageFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("no suffix") << "page3";
    QTest::addRow("unknown suffix") << "page3.xyz";
    QTest::addRow("pdf") << "page3.pdf";
}

void tst_ExportFiles::refusesNamesWithoutAnImageFormat()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(name);

    QString error;
    QVERIFY(!writePageImage(solidPage(Qt::white), path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void tst_ExportFiles::failedWriteKeepsTheExistingFile()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("page1.png"));
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("the old export");
    existing.close();

    QString error;
    QVERIFY(!writePageImage(QImage(), path, &error)); // a null page
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), QByteArray("the old export"));

    QVERIFY(!writePageImage(solidPage(Qt::white), dir.filePath(QStringLiteral("no/such/a.png"))));

    // Noise does not compress: far more than the limit allows.
    QImage noise(300, 300, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x) {
            noise.setPixel(x, y, random.generate());
        }
    }
    {
        const FileSizeLimit limit(4096);
        QVERIFY(!writePageImage(noise, path, &error));
    }
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), QByteArray("the old export"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "page1.png" });
}

QTEST_MAIN(tst_ExportFiles)
#include "tst_exportfiles.moc"
