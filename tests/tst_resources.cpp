#include <QFile>
#include <QIcon>
#include <QImage>
#include <QResource>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>

namespace {
const QStringList sheets { QStringLiteral(":/resources/theme_light.qss"),
    QStringLiteral(":/resources/theme_dark.qss") };

// Every icon path with the colour its strokes must use.
QList<QPair<QString, QString>> allIcons()
{
    QList<QPair<QString, QString>> icons;
    const QString shell = QStringLiteral("app_logo moon qrcode text-tools image-resize alarm "
                                         "calendar-due pdf");
    for (const QString &name : shell.split(QLatin1Char(' '))) {
        icons.append({ QStringLiteral(":/resources/icons/%1.svg").arg(name),
            QStringLiteral("currentColor") });
    }
    const QString pdf = QStringLiteral("open add_pages insert_page rotate_left rotate_right "
                                       "black_white remove_page undo crop fill_sign ocr compress "
                                       "export_image export_all close save merge split highlight "
                                       "comment");
    for (const QString &name : pdf.split(QLatin1Char(' '))) {
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
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
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
    void iconIsALineDrawingAtBothSizes_data();
    void iconIsALineDrawingAtBothSizes();
};

void tst_Resources::everyPathOpens_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("compression");
    for (const QString &sheet : sheets) {
        QTest::addRow("%s", qPrintable(sheet)) << sheet << int(QResource::ZlibCompression);
    }
    for (const auto &icon : allIcons()) {
        QTest::addRow("%s", qPrintable(icon.first)) << icon.first << int(QResource::NoCompression);
    }
}

void tst_Resources::everyPathOpens()
{
    QFETCH(QString, path);
    QFETCH(int, compression);
    QCOMPARE(int(QResource(path).compressionAlgorithm()), compression);
    // Readers see the plain text whatever the storage.
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray content = file.readAll();
    QVERIFY(sheets.contains(path) ? content.contains("QWidget#MainDashboard {")
                                  : content.startsWith("<svg "));
}

void tst_Resources::iconIsALineDrawingAtBothSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stroke");
    for (const auto &icon : allIcons()) {
        QTest::addRow("%s", qPrintable(icon.first)) << icon.first << icon.second;
    }
}

void tst_Resources::iconIsALineDrawingAtBothSizes()
{
    QFETCH(QString, path);
    QFETCH(QString, stroke);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QVERIFY(xml.readNextStartElement());
    const QXmlStreamAttributes root = xml.attributes();
    const QList<QPair<QString, QString>> lineStyle { { "viewBox", "0 0 24 24" }, { "fill", "none" },
        { "stroke", stroke }, { "stroke-width", "1.6" }, { "stroke-linecap", "round" },
        { "stroke-linejoin", "round" } };
    for (const auto &[name, value] : lineStyle) {
        QCOMPARE(root.value(name).toString(), value);
    }
    // Shapes inherit that style, so they follow the theme; a filled shape only drops its outline.
    while (xml.readNextStartElement()) {
        const QXmlStreamAttributes attributes = xml.attributes();
        QVERIFY(!attributes.hasAttribute(QLatin1String("style")));
        QVERIFY(!attributes.hasAttribute(QLatin1String("stroke-width")));
        const QString ownStroke = attributes.value(QLatin1String("stroke")).toString();
        QVERIFY2(ownStroke.isEmpty() || ownStroke == QLatin1String("none"), qPrintable(ownStroke));
        xml.skipCurrentElement();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

    // A line icon covers a fair part of its box, never all of it. Drawn through QIcon as the
    // pages draw it, which also needs the SVG icon engine at run time.
    QVERIFY(QSvgRenderer(path).isValid());
    for (const int size : { 24, 32 }) {
        const QPixmap pixmap = QIcon(path).pixmap(size, size);
        QCOMPARE(pixmap.size(), QSize(size, size));
        const int painted = paintedPixels(pixmap.toImage());
        QVERIFY2(painted > size * size / 10 && painted < size * size * 3 / 4,
            qPrintable(QStringLiteral("%1 px at %2").arg(painted).arg(size)));
    }
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
