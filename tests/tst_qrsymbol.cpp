#include "tools/qr/qrsymbol.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using QrCodePtr = std::unique_ptr<QRcode, decltype(&QRcode_free)>;

// What the library itself returns for the text, as the page calls it for plain text.
QrCodePtr libraryCode(const QString &text, QRecLevel level)
{
    const QByteArray bytes = text.toUtf8();
    return QrCodePtr(QRcode_encodeString(bytes.constData(), 0, level, QR_MODE_8, 1), &QRcode_free);
}

QString longText(int length)
{
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i) {
        text += QChar(u'a' + i % 26);
    }
    return text;
}

QList<int> runLengths(const QImage &image, int y)
{
    QList<int> runs;
    QRgb previous = image.pixel(0, y);
    int length = 0;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != previous) {
            runs.append(length);
            previous = image.pixel(x, y);
            length = 0;
        }
        ++length;
    }
    runs.append(length);
    return runs;
}

} // namespace

class tst_QrSymbol : public QObject
{
    Q_OBJECT

private slots:
    void paintedSymbolMatchesLibraryMatrix_data();
    void paintedSymbolMatchesLibraryMatrix();
    void paintsOnlyBitZeroAsDark();
    void accuracyIndexSelectsLevel_data();
    void accuracyIndexSelectsLevel();
    void textTooLongForLevelGivesNoSymbol();
    void emptyTextGivesNoSymbol();
    void textAfterNulIsEncoded();
    void nonAsciiTextEncodesAtEveryLevel();
    void scaledSymbolHasChosenSide_data();
    void scaledSymbolHasChosenSide();
    void smallSymbolAt512HasModulesOf24Or25Pixels();
    void writesPngDataWhateverTheSuffix();
    void reportsUnwritableDestination();
};

void tst_QrSymbol::paintedSymbolMatchesLibraryMatrix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("level");

    const QList<std::pair<const char *, QString>> texts = {
        { "url", QStringLiteral("https://example.org/path?q=1") },
        { "digits", QStringLiteral("0123456789012345") },
        { "spaces only", QStringLiteral("   ") },
        { "mixed case", QStringLiteral("Hello World, MiXeD case") },
        { "version 40 at low", longText(2900) },
    };
    const QList<std::pair<const char *, QRecLevel>> levels = { { "L", QR_ECLEVEL_L },
        { "M", QR_ECLEVEL_M }, { "Q", QR_ECLEVEL_Q }, { "H", QR_ECLEVEL_H } };
    for (const auto &[textTag, text] : texts) {
        for (const auto &[levelTag, level] : levels) {
            if (!libraryCode(text, level)) {
                continue; // too long for this level; covered elsewhere
            }
            QTest::addRow("%s, %s", textTag, levelTag) << text << int(level);
        }
    }
}

void tst_QrSymbol::paintedSymbolMatchesLibraryMatrix()
{
    QFETCH(QString, text);
    QFETCH(int, level);

    const QrCodePtr code = libraryCode(text, QRecLevel(level));
    QVERIFY(code);
    const std::optional<QrMatrix> matrix = encodeQrText(text, QRecLevel(level));
    QVERIFY(matrix);
    QCOMPARE(matrix->width, code->width);

    const QImage image = paintQrSymbol(*matrix);
    QCOMPARE(image.size(), QSize(code->width, code->width));
    QCOMPARE(image.format(), QImage::Format_RGB32);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            const bool dark = code->data[y * code->width + x] & 1;
            const QRgb expected = dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            if (image.pixel(x, y) != expected) {
                QFAIL(qPrintable(QStringLiteral("module (%1, %2) differs").arg(x).arg(y)));
            }
        }
    }
}

void tst_QrSymbol::paintsOnlyBitZeroAsDark()
{
    // 3 x 2 would not be a symbol; a 3 x 3 matrix with the other bits set on light modules
    // checks both the bit and that rows are not swapped with columns.
    QrMatrix matrix;
    matrix.width = 3;
    matrix.modules = QByteArray::fromHex("01fe00"
                                         "c0c1ff"
                                         "80fe02");
    const QImage image = paintQrSymbol(matrix);
    const QList<QPoint> dark = { { 0, 0 }, { 1, 1 }, { 2, 1 } };
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            const QRgb expected = dark.contains(QPoint(x, y)) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            QCOMPARE(image.pixel(x, y), expected);
        }
    }
}

void tst_QrSymbol::accuracyIndexSelectsLevel_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("level");
    QTest::addRow("Low") << 0 << int(QR_ECLEVEL_L);
    QTest::addRow("Medium") << 1 << int(QR_ECLEVEL_M);
    QTest::addRow("Quartile") << 2 << int(QR_ECLEVEL_Q);
    QTest::addRow("High") << 3 << int(QR_ECLEVEL_H);
    QTest::addRow("no selection") << -1 << int(QR_ECLEVEL_M);
    QTest::addRow("past the end") << 4 << int(QR_ECLEVEL_M);
}

void tst_QrSymbol::accuracyIndexSelectsLevel()
{
    QFETCH(int, index);
    QFETCH(int, level);
    QCOMPARE(int(qrLevelForIndex(index)), level);
}

void tst_QrSymbol::textTooLongForLevelGivesNoSymbol()
{
    // 8-bit capacity of the largest symbol: 2953 bytes at low, 1273 at high.
    const QString fitsLowOnly = longText(2000);
    QVERIFY(encodeQrText(fitsLowOnly, QR_ECLEVEL_L));
    QVERIFY(!encodeQrText(fitsLowOnly, QR_ECLEVEL_H));

    const QString fitsNowhere = longText(3000);
    for (const QRecLevel level : { QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H }) {
        QVERIFY(!encodeQrText(fitsNowhere, level));
    }
}

void tst_QrSymbol::emptyTextGivesNoSymbol()
{
    QVERIFY(!encodeQrText(QString(), QR_ECLEVEL_M));
}

void tst_QrSymbol::textAfterNulIsEncoded()
{
    // A pasted NUL must not cut the text short.
    const std::optional<QrMatrix> withNul =
        encodeQrText(QString::fromUtf8("a\0bcdefghijklmnopqrstuvwxyz0123456789", 37), QR_ECLEVEL_L);
    const std::optional<QrMatrix> cut = encodeQrText(QStringLiteral("a"), QR_ECLEVEL_L);
    QVERIFY(withNul);
    QVERIFY(cut);
    QVERIFY(withNul->width > cut->width);
}

void tst_QrSymbol::nonAsciiTextEncodesAtEveryLevel()
{
    const QString text = QStringLiteral("Crème brûlée 😀 日本");
    for (const QRecLevel level : { QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H }) {
        const std::optional<QrMatrix> matrix = encodeQrText(text, level);
        QVERIFY(matrix);
        QCOMPARE(matrix->modules.size(), qsizetype(matrix->width) * matrix->width);
    }
}

void tst_QrSymbol::scaledSymbolHasChosenSide_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("side");
    QTest::addRow("256 x 256 px") << 0 << 256;
    QTest::addRow("512 x 512 px") << 1 << 512;
    QTest::addRow("1024 x 1024 px") << 2 << 1024;
    QTest::addRow("2048 x 2048 px") << 3 << 2048;
}

void tst_QrSymbol::scaledSymbolHasChosenSide()
{
    QFETCH(int, index);
    QFETCH(int, side);
    QCOMPARE(qrSaveSideForIndex(index), side);

    for (const QString &text : { QStringLiteral("x"), longText(500), longText(2900) }) {
        const std::optional<QrMatrix> matrix = encodeQrText(text, QR_ECLEVEL_L);
        QVERIFY(matrix);
        const QImage scaled = scaleQrSymbol(paintQrSymbol(*matrix), side);
        QCOMPARE(scaled.size(), QSize(side, side));
        // No light margin: all four corners lie in finder patterns or the dark corner module.
        QCOMPARE(scaled.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(scaled.pixel(side - 1, 0), qRgb(0, 0, 0));
        QCOMPARE(scaled.pixel(0, side - 1), qRgb(0, 0, 0));
    }
}

void tst_QrSymbol::smallSymbolAt512HasModulesOf24Or25Pixels()
{
    const std::optional<QrMatrix> matrix = encodeQrText(QStringLiteral("hi"), QR_ECLEVEL_L);
    QVERIFY(matrix);
    QCOMPARE(matrix->width, 21);
    const QImage scaled = scaleQrSymbol(paintQrSymbol(*matrix), 512);

    // Row 6 of the symbol is the timing pattern: between the finders, one module per run.
    const int row = 6 * 512 / 21 + 12;
    const QList<int> runs = runLengths(scaled, row);
    QCOMPARE(runs.size(), 1 + 7 + 1); // finder (7 modules), 7 alternating modules, finder
    for (int i = 1; i < runs.size() - 1; ++i) {
        QVERIFY2(runs.at(i) == 24 || runs.at(i) == 25, qPrintable(QString::number(runs.at(i))));
    }
}

void tst_QrSymbol::writesPngDataWhateverTheSuffix()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const std::optional<QrMatrix> matrix = encodeQrText(QStringLiteral("suffix"), QR_ECLEVEL_M);
    QVERIFY(matrix);
    const QImage image = scaleQrSymbol(paintQrSymbol(*matrix), 256);

    const QString name = dir.filePath(QStringLiteral("code.jpg"));
    QString error;
    QVERIFY2(writePngFile(image, name, &error), qPrintable(error));
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    file.close();

    QImageReader reader(name);
    reader.setDecideFormatFromContent(true);
    const QImage back = reader.read();
    QCOMPARE(back.convertToFormat(QImage::Format_RGB32), image);
}

void tst_QrSymbol::reportsUnwritableDestination()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    // A regular file in place of the folder stops the write even for root.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const std::optional<QrMatrix> matrix = encodeQrText(QStringLiteral("nowhere"), QR_ECLEVEL_M);
    QVERIFY(matrix);
    QString error;
    QVERIFY(!writePngFile(
        paintQrSymbol(*matrix), dir.filePath(QStringLiteral("blocker/qr.png")), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_QrSymbol)
#include "tst_qrsymbol.moc"
