#include "tools/image/resizemath.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace ResizeMath;

class tst_ImageResizeMath : public QObject
{
    Q_OBJECT

private slots:
    void sizes_data();
    void sizes();
    void targetSizeBounds_data();
    void targetSizeBounds();
    void markedPaths_data();
    void markedPaths();
    void sameFile();
};

void tst_ImageResizeMath::sizes_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("box"); // invalid: the thumbnail's size
    QTest::addColumn<bool>("keepRatio");
    QTest::addColumn<QSize>("expected");
    const auto row = [](const char *tag, QSize source, QSize box, bool keepRatio, QSize expected) {
        QTest::addRow("%s", tag) << source << box << keepRatio << expected;
    };

    row("exact", QSize(1000, 1000), QSize(800, 600), false, QSize(800, 600));
    row("kept, height limits", QSize(1000, 1000), QSize(800, 600), true, QSize(600, 600));
    row("kept, width limits", QSize(1920, 1080), QSize(800, 600), true, QSize(800, 450));
    row("kept, enlarged", QSize(100, 50), QSize(1000, 1000), true, QSize(1000, 500));
    row("thin line keeps one pixel", QSize(20000, 1), QSize(800, 600), true, QSize(800, 1));
    row("thumbnail of 640x480", QSize(640, 480), QSize(), true, QSize(160, 120));
    row("thumbnail of 100x50, enlarged", QSize(100, 50), QSize(), true, QSize(160, 80));
}

void tst_ImageResizeMath::sizes()
{
    QFETCH(QSize, source);
    QFETCH(QSize, box);
    QFETCH(bool, keepRatio);
    QFETCH(QSize, expected);
    QCOMPARE(box.isValid() ? fittedSize(source, box, keepRatio) : thumbnailSize(source), expected);
}

void tst_ImageResizeMath::targetSizeBounds_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QSize>("expected"); // invalid: refused
    QTest::addColumn<bool>("fits"); // within the pixel budget
    const auto row = [](const char *tag, const char *width, const char *height, QSize expected,
                         bool fits) {
        QTest::addRow("%s", tag) << QString::fromLatin1(width) << QString::fromLatin1(height)
                                 << expected << fits;
    };

    row("smallest", "1", "1", QSize(1, 1), true);
    row("at the pixel budget", "8192", "4096", QSize(8192, 4096), true);
    row("one row over the budget", "8192", "4097", QSize(8192, 4097), false);
    row("largest sides, 1.6 GB", "20000", "20000", QSize(20000, 20000), false);
    row("zero", "0", "10", QSize(), false);
    row("above 20000", "10", "20001", QSize(), false);
    row("empty", "", "10", QSize(), false);
    row("beyond int", "99999999999", "10", QSize(), false);
}

void tst_ImageResizeMath::targetSizeBounds()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QSize, expected);
    QFETCH(bool, fits);
    const std::optional<QSize> parsed = parseTargetSize(width, height);
    QCOMPARE(parsed.value_or(QSize()), expected);
    QCOMPARE(fitsPixelBudget(expected), fits);
}

void tst_ImageResizeMath::markedPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("resized");
    QTest::addColumn<QString>("thumbnail");
    const auto row = [](const char *tag, const char *path, const char *resized, const char *thumb) {
        QTest::addRow("%s", tag) << QString::fromUtf8(path) << QString::fromUtf8(resized)
                                 << QString::fromUtf8(thumb);
    };

    row("several dots", "/pics/my photo.final.JPG", "/pics/my photo_resized.JPG",
        "/pics/my photo_thumb.JPG");
    row("no suffix", "/pics/scan", "/pics/scan_resized.", "/pics/scan_thumb.");
    row("dotted folder", "/pics.old/cat.png", "/pics.old/cat_resized.png",
        "/pics.old/cat_thumb.png");
}

void tst_ImageResizeMath::markedPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, resized);
    QFETCH(QString, thumbnail);
    QCOMPARE(resizedPath(path), resized);
    QCOMPARE(thumbnailPath(path), thumbnail);
}

// What keeps a thumbnail from replacing the loaded source.
void tst_ImageResizeMath::sameFile()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString source = dir.filePath(QStringLiteral("pic_thumb.png"));
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(source, dir.filePath(QStringLiteral("link.png"))));

    QVERIFY(isSameFile(dir.path() + QStringLiteral("/./pic_thumb.png"), source));
    QVERIFY(isSameFile(dir.filePath(QStringLiteral("link.png")), source));
    QVERIFY(!isSameFile(dir.filePath(QStringLiteral("pic.png")), source));
    QVERIFY(isSameFile(thumbnailPath(dir.filePath(QStringLiteral("pic.png"))), source));
}

QTEST_GUILESS_MAIN(tst_ImageResizeMath)
#include "tst_imageresizemath.moc"
