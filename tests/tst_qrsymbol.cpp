#include "tools/qr/qrsymbol.h"

#include <QTest>

#include <memory>

namespace {

const QRgb black = qRgb(0, 0, 0);
const QRgb white = qRgb(255, 255, 255);

QString longText(int length)
{
    QString text;
    for (int i = 0; i < length; ++i) {
        text += QChar(u'a' + i % 26);
    }
    return text;
}

} // namespace

class tst_QrSymbol : public QObject
{
    Q_OBJECT

private slots:
    void paintedSymbolMatchesLibraryMatrix_data();
    void paintedSymbolMatchesLibraryMatrix();
    void encodesOnlyTextThatFitsLevel_data();
    void encodesOnlyTextThatFitsLevel();
    void textAfterNulIsEncoded();
    void scalingKeepsModulesSharpWithoutMargin();
};

void tst_QrSymbol::paintedSymbolMatchesLibraryMatrix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("level");

    const std::pair<const char *, QString> texts[] = {
        { "url", QStringLiteral("https://example.org/path?q=1") },
        { "digits", QStringLiteral("0123456789012345") },
        { "1200 bytes", longText(1200) },
    };
    const std::pair<const char *, QRecLevel> levels[] = { { "L", QR_ECLEVEL_L },
        { "M", QR_ECLEVEL_M }, { "Q", QR_ECLEVEL_Q }, { "H", QR_ECLEVEL_H } };
    for (const auto &[textTag, text] : texts) {
        for (const auto &[levelTag, level] : levels) {
            QTest::addRow("%s, %s", textTag, levelTag) << text << int(level);
        }
    }
}

void tst_QrSymbol::paintedSymbolMatchesLibraryMatrix()
{
    QFETCH(QString, text);
    QFETCH(int, level);

    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(bytes.constData(), 0, QRecLevel(level), QR_MODE_8, 1), &QRcode_free);
    QVERIFY(code);
    const std::optional<QrMatrix> matrix = encodeQrText(text, QRecLevel(level));
    QVERIFY(matrix);

    const QImage image = paintQrSymbol(*matrix);
    QCOMPARE(image.size(), QSize(code->width, code->width));
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            const QRgb expected = (code->data[y * code->width + x] & 1) ? black : white;
            if (image.pixel(x, y) != expected) {
                QFAIL(qPrintable(QStringLiteral("module (%1, %2) differs").arg(x).arg(y)));
            }
        }
    }
}

void tst_QrSymbol::encodesOnlyTextThatFitsLevel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("fits");

    // The largest symbol holds 2953 bytes at low, 1273 at high.
    QTest::addRow("empty") << QString() << int(QR_ECLEVEL_M) << false;
    QTest::addRow("2000 bytes at low") << longText(2000) << int(QR_ECLEVEL_L) << true;
    QTest::addRow("2000 bytes at high") << longText(2000) << int(QR_ECLEVEL_H) << false;
    QTest::addRow("3000 bytes at low") << longText(3000) << int(QR_ECLEVEL_L) << false;
}

void tst_QrSymbol::encodesOnlyTextThatFitsLevel()
{
    QFETCH(QString, text);
    QFETCH(int, level);
    QFETCH(bool, fits);
    QCOMPARE(encodeQrText(text, QRecLevel(level)).has_value(), fits);
}

void tst_QrSymbol::textAfterNulIsEncoded()
{
    // A pasted NUL must not cut the text short.
    const auto withNul =
        encodeQrText(QString::fromUtf8("a\0bcdefghijklmnopqrstuvwxyz0123456789", 37), QR_ECLEVEL_L);
    const auto cut = encodeQrText(QStringLiteral("a"), QR_ECLEVEL_L);
    QVERIFY(withNul && cut);
    QVERIFY(withNul->width > cut->width);
}

void tst_QrSymbol::scalingKeepsModulesSharpWithoutMargin()
{
    const std::optional<QrMatrix> matrix = encodeQrText(QStringLiteral("hi"), QR_ECLEVEL_L);
    QVERIFY(matrix);
    QCOMPARE(matrix->width, 21);
    const QImage scaled = scaleQrSymbol(paintQrSymbol(*matrix), 512);
    QCOMPARE(scaled.size(), QSize(512, 512));
    // No light margin: three corners lie in finder patterns.
    QCOMPARE(scaled.pixel(0, 0), black);
    QCOMPARE(scaled.pixel(511, 0), black);
    QCOMPARE(scaled.pixel(0, 511), black);

    // Row 6 is the timing pattern: a finder (7 modules), 7 alternating modules, a finder. Every
    // pixel is black or white and every module 24 or 25 pixels wide.
    const int y = 6 * 512 / 21 + 12;
    QList<int> runs = { 0 };
    for (int x = 0; x < 512; ++x) {
        QVERIFY(scaled.pixel(x, y) == black || scaled.pixel(x, y) == white);
        if (x > 0 && scaled.pixel(x, y) != scaled.pixel(x - 1, y)) {
            runs.append(0);
        }
        ++runs.last();
    }
    QCOMPARE(runs.size(), 9);
    for (int i = 1; i < runs.size() - 1; ++i) {
        QVERIFY2(runs.at(i) == 24 || runs.at(i) == 25, qPrintable(QString::number(runs.at(i))));
    }
}

QTEST_GUILESS_MAIN(tst_QrSymbol)
#include "tst_qrsymbol.moc"
