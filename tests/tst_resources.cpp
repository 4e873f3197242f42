#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QResource>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>

namespace {
const QString sheetLight = QStringLiteral(":/resources/theme_light.qss");
const QString sheetDark = QStringLiteral(":/resources/theme_dark.qss");

QStringList shellIcons()
{
    return { QStringLiteral("app_logo"), QStringLiteral("moon"), QStringLiteral("qrcode"),
        QStringLiteral("text-tools"), QStringLiteral("image-resize"), QStringLiteral("alarm"),
        QStringLiteral("calendar-due"), QStringLiteral("pdf") };
}

QStringList pdfIcons()
{
    return { QStringLiteral("open"), QStringLiteral("add_pages"), QStringLiteral("insert_page"),
        QStringLiteral("rotate_left"), QStringLiteral("rotate_right"),
        QStringLiteral("black_white"), QStringLiteral("remove_page"), QStringLiteral("undo"),
        QStringLiteral("crop"), QStringLiteral("fill_sign"), QStringLiteral("ocr"),
        QStringLiteral("compress"), QStringLiteral("export_image"), QStringLiteral("export_all"),
        QStringLiteral("close"), QStringLiteral("save"), QStringLiteral("merge"),
        QStringLiteral("split"), QStringLiteral("highlight"), QStringLiteral("comment") };
}

// Every icon path with the colour its strokes must use.
QList<QPair<QString, QString>> allIcons()
{
    QList<QPair<QString, QString>> icons;
    for (const QString &name : shellIcons()) {
        icons.append({ QStringLiteral(":/resources/icons/%1.svg").arg(name),
            QStringLiteral("currentColor") });
    }
    for (const QString &name : pdfIcons()) {
        icons.append(
            { QStringLiteral(":/resources/icons/pdf/%1.svg").arg(name), QStringLiteral("black") });
    }
    return icons;
}

int paintedPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                ++count;
            }
        }
    }
    return count;
}
} // namespace

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void everyPathOpens_data();
    void everyPathOpens();
    void sheetsAreCompressedAndIconsAreNot_data();
    void sheetsAreCompressedAndIconsAreNot();
    void iconRendersAtToolbarAndCardSizes_data();
    void iconRendersAtToolbarAndCardSizes();
    void iconFollowsTheLineStyle_data();
    void iconFollowsTheLineStyle();
};

void tst_Resources::everyPathOpens_data()
{
    QTest::addColumn<QString>("path");
    QTest::addRow("%s", qPrintable(sheetLight)) << sheetLight;
    QTest::addRow("%s", qPrintable(sheetDark)) << sheetDark;
    for (const auto &icon : allIcons()) {
        QTest::addRow("%s", qPrintable(icon.first)) << icon.first;
    }
}

void tst_Resources::everyPathOpens()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray content = file.readAll();
    QVERIFY(!content.isEmpty());
    // Readers see the plain text whatever the storage.
    if (path.endsWith(QLatin1String(".qss"))) {
        QVERIFY(content.contains("QWidget#MainDashboard {"));
    } else {
        QVERIFY(content.startsWith("<svg "));
    }
}

void tst_Resources::sheetsAreCompressedAndIconsAreNot_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("algorithm");
    QTest::addRow("light sheet") << sheetLight << int(QResource::ZlibCompression);
    QTest::addRow("dark sheet") << sheetDark << int(QResource::ZlibCompression);
    for (const auto &icon : allIcons()) {
        QTest::addRow("%s", qPrintable(icon.first)) << icon.first << int(QResource::NoCompression);
    }
}

void tst_Resources::sheetsAreCompressedAndIconsAreNot()
{
    QFETCH(QString, path);
    QFETCH(int, algorithm);
    const QResource resource(path);
    QVERIFY(resource.isValid());
    QCOMPARE(int(resource.compressionAlgorithm()), algorithm);
}

void tst_Resources::iconRendersAtToolbarAndCardSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    for (const auto &icon : allIcons()) {
        for (const int size : { 24, 32 }) {
            QTest::addRow("%s at %d", qPrintable(icon.first), size) << icon.first << size;
        }
    }
}

void tst_Resources::iconRendersAtToolbarAndCardSizes()
{
    QFETCH(QString, path);
    QFETCH(int, size);

    QSvgRenderer renderer(path);
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBoxF(), QRectF(0, 0, 24, 24));

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    // A line icon covers a fair part of its box, never all of it.
    const int painted = paintedPixels(image);
    QVERIFY2(painted > size * size / 10, qPrintable(QString::number(painted)));
    QVERIFY2(painted < size * size * 3 / 4, qPrintable(QString::number(painted)));

    // The pages draw them through QIcon, which needs the SVG icon engine at run time.
    const QPixmap pixmap = QIcon(path).pixmap(size, size);
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.size(), QSize(size, size));
    QVERIFY(paintedPixels(pixmap.toImage()) > size * size / 10);
}

void tst_Resources::iconFollowsTheLineStyle_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stroke");
    for (const auto &icon : allIcons()) {
        QTest::addRow("%s", qPrintable(icon.first)) << icon.first << icon.second;
    }
}

void tst_Resources::iconFollowsTheLineStyle()
{
    QFETCH(QString, path);
    QFETCH(QString, stroke);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name(), QLatin1String("svg"));
    const QXmlStreamAttributes root = xml.attributes();
    QCOMPARE(root.value(QLatin1String("viewBox")), QLatin1String("0 0 24 24"));
    QCOMPARE(root.value(QLatin1String("fill")), QLatin1String("none"));
    QCOMPARE(root.value(QLatin1String("stroke")), stroke);
    QCOMPARE(root.value(QLatin1String("stroke-width")), QLatin1String("1.6"));
    QCOMPARE(root.value(QLatin1String("stroke-linecap")), QLatin1String("round"));
    QCOMPARE(root.value(QLatin1String("stroke-linejoin")), QLatin1String("round"));

    // Only two shapes are filled: the "PDF" lettering and the dark half of the contrast icon.
    QStringList fills;
    while (xml.readNextStartElement()) {
        const QXmlStreamAttributes attributes = xml.attributes();
        QVERIFY2(!attributes.hasAttribute(QLatin1String("style")),
            "style attributes hide the line style");
        QVERIFY(!attributes.hasAttribute(QLatin1String("stroke-width")));
        if (attributes.hasAttribute(QLatin1String("fill"))) {
            fills.append(xml.name().toString() + QLatin1Char('=')
                + attributes.value(QLatin1String("fill")).toString());
            QCOMPARE(attributes.value(QLatin1String("stroke")), QLatin1String("none"));
        } else {
            QVERIFY(!attributes.hasAttribute(QLatin1String("stroke")));
        }
        if (xml.name() == QLatin1String("text")) {
            QCOMPARE(xml.readElementText(), QStringLiteral("PDF"));
        } else {
            xml.skipCurrentElement();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

    QStringList expectedFills;
    if (path.endsWith(QLatin1String("/icons/pdf.svg"))) {
        expectedFills << QStringLiteral("text=currentColor");
    } else if (path.endsWith(QLatin1String("/black_white.svg"))) {
        expectedFills << QStringLiteral("path=black");
    }
    QCOMPARE(fills, expectedFills);
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
