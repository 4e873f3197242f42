#include "tools/image/resizemath.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace ResizeMath;

class tst_ImageResizeMath : public QObject
{
    Q_OBJECT

private slots:
    void fittedSize_data();
    void fittedSize();
    void fittedSizeMatchesQtScaling_data();
    void fittedSizeMatchesQtScaling();
    void thumbnailSize_data();
    void thumbnailSize();
    void parseTargetSize_data();
    void parseTargetSize();
    void pixelBudget_data();
    void pixelBudget();
    void markedPaths_data();
    void markedPaths();
    void thumbnailPathFollowsSavedName_data();
    void thumbnailPathFollowsSavedName();
    void sameFile();
};

void tst_ImageResizeMath::fittedSize_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<bool>("keepRatio");
    QTest::addColumn<QSize>("expected");

    QTest::addRow("square exact") << QSize(1000, 1000) << QSize(800, 600) << false
                                  << QSize(800, 600);
    QTest::addRow("square kept") << QSize(1000, 1000) << QSize(800, 600) << true << QSize(600, 600);
    QTest::addRow("wide kept") << QSize(1920, 1080) << QSize(800, 600) << true << QSize(800, 450);
    QTest::addRow("tall kept") << QSize(600, 1200) << QSize(800, 600) << true << QSize(300, 600);
    QTest::addRow("enlarged kept")
        << QSize(100, 50) << QSize(1000, 1000) << true << QSize(1000, 500);
    QTest::addRow("same size") << QSize(640, 480) << QSize(640, 480) << true << QSize(640, 480);
    QTest::addRow("thin line keeps one pixel")
        << QSize(20000, 1) << QSize(800, 600) << true << QSize(800, 1);
    QTest::addRow("thin column keeps one pixel")
        << QSize(1, 20000) << QSize(800, 600) << true << QSize(1, 600);
}

void tst_ImageResizeMath::fittedSize()
{
    QFETCH(QSize, source);
    QFETCH(QSize, box);
    QFETCH(bool, keepRatio);
    QFETCH(QSize, expected);
    QCOMPARE(ResizeMath::fittedSize(source, box, keepRatio), expected);
}

void tst_ImageResizeMath::fittedSizeMatchesQtScaling_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("box");

    QTest::addRow("1000x1000 into 800x600") << QSize(1000, 1000) << QSize(800, 600);
    QTest::addRow("odd ratio") << QSize(997, 613) << QSize(460, 308);
    QTest::addRow("enlarging") << QSize(37, 91) << QSize(1024, 728);
}

// Scaling to the computed size must give what Qt's own keep-aspect-ratio scaling gives.
void tst_ImageResizeMath::fittedSizeMatchesQtScaling()
{
    QFETCH(QSize, source);
    QFETCH(QSize, box);
    QImage image(source, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QImage byQt = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QCOMPARE(ResizeMath::fittedSize(source, box, true), byQt.size());
}

void tst_ImageResizeMath::thumbnailSize_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("expected");

    QTest::addRow("640x480") << QSize(640, 480) << QSize(160, 120);
    QTest::addRow("100x50 enlarged") << QSize(100, 50) << QSize(160, 80);
    QTest::addRow("portrait") << QSize(300, 600) << QSize(80, 160);
    QTest::addRow("square") << QSize(160, 160) << QSize(160, 160);
    QTest::addRow("very thin") << QSize(5000, 1) << QSize(160, 1);
}

void tst_ImageResizeMath::thumbnailSize()
{
    QFETCH(QSize, source);
    QFETCH(QSize, expected);
    QCOMPARE(ResizeMath::thumbnailSize(source), expected);
}

void tst_ImageResizeMath::parseTargetSize_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QSize>("expected"); // invalid size: refused

    QTest::addRow("preset") << "1024"
                            << "728" << QSize(1024, 728);
    QTest::addRow("smallest") << "1"
                              << "1" << QSize(1, 1);
    QTest::addRow("largest") << "20000"
                             << "20000" << QSize(20000, 20000);
    QTest::addRow("width zero") << "0"
                                << "10" << QSize();
    QTest::addRow("height zero") << "10"
                                 << "0" << QSize();
    QTest::addRow("width above bound") << "20001"
                                       << "10" << QSize();
    QTest::addRow("height above bound") << "10"
                                        << "20001" << QSize();
    QTest::addRow("image wider than bound") << "30000"
                                            << "200" << QSize();
    QTest::addRow("negative") << "-5"
                              << "10" << QSize();
    QTest::addRow("empty width") << ""
                                 << "10" << QSize();
    QTest::addRow("empty height") << "10"
                                  << "" << QSize();
    QTest::addRow("not a number") << "abc"
                                  << "10" << QSize();
    QTest::addRow("beyond int") << "99999999999"
                                << "10" << QSize();
}

void tst_ImageResizeMath::parseTargetSize()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QSize, expected);
    const std::optional<QSize> parsed = ResizeMath::parseTargetSize(width, height);
    QCOMPARE(parsed.has_value(), expected.isValid());
    if (parsed) {
        QCOMPARE(*parsed, expected);
    }
}

void tst_ImageResizeMath::pixelBudget_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("fits");

    QTest::addRow("preset") << QSize(1024, 728) << true;
    QTest::addRow("at the budget") << QSize(8192, 4096) << true;
    QTest::addRow("one row over") << QSize(8192, 4097) << false;
    QTest::addRow("largest sides") << QSize(20000, 20000) << false;
    QTest::addRow("long strip") << QSize(20000, 1000) << true;
    QTest::addRow("empty") << QSize(0, 10) << false;
}

void tst_ImageResizeMath::pixelBudget()
{
    QFETCH(QSize, size);
    QFETCH(bool, fits);
    QCOMPARE(ResizeMath::fitsPixelBudget(size), fits);
}

void tst_ImageResizeMath::markedPaths_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    QTest::addRow("jpeg") << "/pics/cat.jpeg"
                          << "/pics/cat_resized.jpeg";
    QTest::addRow("several dots") << "/pics/a.b.png"
                                  << "/pics/a_resized.png";
    QTest::addRow("dots and spaces") << "/pics/my photo.final.JPG"
                                     << "/pics/my photo_resized.JPG";
    QTest::addRow("no suffix") << "/pics/scan"
                               << "/pics/scan_resized.";
    QTest::addRow("dotted folder") << "/pics.old/cat.png"
                                   << "/pics.old/cat_resized.png";
}

void tst_ImageResizeMath::markedPaths()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    QCOMPARE(ResizeMath::resizedPath(source), expected);
}

void tst_ImageResizeMath::thumbnailPathFollowsSavedName_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("expected");

    QTest::addRow("png") << "/out/out.png"
                         << "/out/out_thumb.png";
    QTest::addRow("resized name") << "/out/a_resized.jpg"
                                  << "/out/a_resized_thumb.jpg";
    QTest::addRow("several dots") << "/out/x.y.z.jpg"
                                  << "/out/x_thumb.jpg";
    QTest::addRow("no suffix") << "/out/plain"
                               << "/out/plain_thumb.";
}

void tst_ImageResizeMath::thumbnailPathFollowsSavedName()
{
    QFETCH(QString, saved);
    QFETCH(QString, expected);
    QCOMPARE(ResizeMath::thumbnailPath(saved), expected);
}

void tst_ImageResizeMath::sameFile()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString source = dir.filePath(QStringLiteral("pic_thumb.png"));
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(source, dir.filePath(QStringLiteral("link.png"))));

    QVERIFY(isSameFile(source, source));
    QVERIFY(isSameFile(dir.path() + QStringLiteral("/./pic_thumb.png"), source));
    QVERIFY(isSameFile(dir.filePath(QStringLiteral("link.png")), source));
    QVERIFY(!isSameFile(dir.filePath(QStringLiteral("pic.png")), source));
    QVERIFY(isSameFile(thumbnailPath(dir.filePath(QStringLiteral("pic.png"))), source));
}

QTEST_GUILESS_MAIN(tst_ImageResizeMath)
#include "tst_imageresizemath.moc"
