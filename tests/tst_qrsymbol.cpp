#include "tools/qr/qrsymbol.h"

#include <QTest>

#include <memory>

namespace {
const QRgb black = qRgb(0, 0, 0);
const QRgb white = qRgb(255, 255, 255);

} // namespace

class tst_QrSymbol : public QObject
{
    Q_OBJECT

private slots:
    void paintedSymbolMatchesLibraryMatrix_data();
    void paintedSymbolMatchesLibraryMatrix();
    void encodesOnlyTextThatFitsLevel_data();
    void encodesOnlyTextThatFitsLevel();
    void scalingKeepsModulesSharpWithoutMargin();
};

void tst_QrSymbol::paintedSymbolMatchesLibraryMatrix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRecLevel>("level");
    const std::pair<const char *, QString> texts[] = { { "url", "https://example.org/path?q=1" },
        { "digits", "0123456789012345" }, { "1200 bytes", QString(1200, u'a') } };
    const std::pair<const char *, QRecLevel> levels[] = { { "L", QR_ECLEVEL_L },
        { "M", QR_ECLEVEL_M }, { "Q", QR_ECLEVEL_Q }, { "H", QR_ECLEVEL_H } };
    for (const auto &[textTag, text] : texts) {
        for (const auto &[levelTag, level] : levels) {
            QTest::addRow("%s, %s", textTag, levelTag) << text << level;
        }
    }
}

void tst_QrSymbol::paintedSymbolMatchesLibraryMatrix()
{
    QFETCH(QString, text);
    QFETCH(QRecLevel, level);
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.toUtf8().constData(), 0, level, QR_MODE_8, 1), &QRcode_free);
    const std::optional<QrMatrix> matrix = encodeQrText(text, level);
    QVERIFY(code && matrix);
    const QImage image = paintQrSymbol(*matrix);
    QCOMPARE(image.size(), QSize(code->width, code->width));
    for (int i = 0; i < code->width * code->width; ++i) {
        const QPoint module(i % code->width, i / code->width);
        QVERIFY2(image.pixel(module) == ((code->data[i] & 1) ? black : white),
            qPrintable(QStringLiteral("module (%1, %2)").arg(module.x()).arg(module.y())));
    }
}

void tst_QrSymbol::encodesOnlyTextThatFitsLevel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRecLevel>("level");
    QTest::addColumn<bool>("fits");
    // The largest symbol holds 2953 bytes at low, 1273 at high.
    QTest::addRow("empty") << QString() << QR_ECLEVEL_M << false;
    QTest::addRow("2000 bytes at low") << QString(2000, u'a') << QR_ECLEVEL_L << true;
    QTest::addRow("2000 bytes at high") << QString(2000, u'a') << QR_ECLEVEL_H << false;
    QTest::addRow("3000 bytes at low") << QString(3000, u'a') << QR_ECLEVEL_L << false;
}

void tst_QrSymbol::encodesOnlyTextThatFitsLevel()
{
    QFETCH(QString, text);
    QFETCH(QRecLevel, level);
    QFETCH(bool, fits);
    QCOMPARE(encodeQrText(text, level).has_value(), fits);
}

void tst_QrSymbol::scalingKeepsModulesSharpWithoutMargin()
{
    const std::optional<QrMatrix> matrix = encodeQrText(QStringLiteral("hi"), QR_ECLEVEL_L);
    QVERIFY(matrix);
    QCOMPARE(matrix->width, 21);
    const QImage scaled = scaleQrSymbol(paintQrSymbol(*matrix), 512);
    QCOMPARE(scaled.size(), QSize(512, 512));
    // No light margin: three corners lie in finder patterns.
    QCOMPARE(QList<QRgb>({ scaled.pixel(0, 0), scaled.pixel(511, 0), scaled.pixel(0, 511) }),
        QList<QRgb>(3, black));
    // Row 6 is the timing pattern: a finder (7 modules), 7 alternating modules, a finder. Every
    // pixel is black or white and every module 24 or 25 pixels wide.
    const int y = 6 * 512 / 21 + 12;
    QList<int> runs = { 1 };
    for (int x = 1; x < 512; ++x) {
        QVERIFY(scaled.pixel(x, y) == black || scaled.pixel(x, y) == white);
        if (scaled.pixel(x, y) == scaled.pixel(x - 1, y)) {
            ++runs.last();
        } else {
            runs.append(1);
        }
    }
    QCOMPARE(runs.size(), 9);
    for (const int run : runs.mid(1, 7)) {
        QVERIFY2(run == 24 || run == 25, qPrintable(QString::number(run)));
    }
}

QTEST_GUILESS_MAIN(tst_QrSymbol)
#include "tst_qrsymbol.moc"
