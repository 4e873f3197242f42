#include <QFile>
#include <QIcon>
#include <QImage>
#include <QResource>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void everyPathOpens_data();
    void everyPathOpens();
};

void tst_Resources::everyPathOpens_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stroke"); // empty for the style sheets
    for (const char *sheet : { ":/resources/theme_light.qss", ":/resources/theme_dark.qss" }) {
        QTest::addRow("%s", sheet) << sheet << QString();
    }
    const std::tuple<const char *, const char *, QString> icons[] = {
        { "icons/", "currentColor",
            "app_logo moon qrcode text-tools image-resize alarm calendar-due pdf" },
        { "icons/pdf/", "black",
            "open add_pages insert_page rotate_left rotate_right black_white remove_page undo crop "
            "fill_sign ocr compress export_image export_all close save merge split highlight "
            "comment" }
    };
    for (const auto &[folder, stroke, names] : icons) {
        for (const QString &name : names.split(' ')) {
            const QString path = ":/resources/" + QLatin1String(folder) + name + ".svg";
            QTest::addRow("%s", qPrintable(path)) << path << QString(stroke);
        }
    }
}

void tst_Resources::everyPathOpens()
{
    QFETCH(QString, path);
    QFETCH(QString, stroke);
    // The sheets are stored zlib-compressed, the icons as they are; readers see plain text.
    QCOMPARE(QResource(path).compressionAlgorithm(),
        stroke.isEmpty() ? QResource::ZlibCompression : QResource::NoCompression);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    if (stroke.isEmpty()) {
        QVERIFY(file.readAll().contains("QWidget#MainDashboard {"));
        return;
    }

    // A line drawing whose root sets the style for every shape.
    QXmlStreamReader xml(&file);
    QVERIFY(xml.readNextStartElement());
    QStringList style;
    for (const char *name :
        { "viewBox", "fill", "stroke", "stroke-width", "stroke-linecap", "stroke-linejoin" }) {
        style << xml.attributes().value(name).toString();
    }
    QCOMPARE(style, QStringList({ "0 0 24 24", "none", stroke, "1.6", "round", "round" }));

    // Drawn through QIcon as the pages draw it (which needs the SVG icon engine at run time), a
    // line icon covers a fair part of its box, never all of it.
    QVERIFY(QSvgRenderer(path).isValid());
    for (const int size : { 24, 32 }) {
        const QImage image = QIcon(path).pixmap(size, size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        int painted = 0;
        for (int i = 0; i < size * size; ++i) {
            painted += qAlpha(image.pixel(i % size, i / size)) > 0 ? 1 : 0;
        }
        QVERIFY2(painted > size * size / 10 && painted < size * size * 3 / 4,
            qPrintable(QStringLiteral("%1 px at %2").arg(painted).arg(size)));
    }
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
