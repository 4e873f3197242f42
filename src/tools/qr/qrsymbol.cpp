#include "qrsymbol.h"

#include "common/atomicwrite.h"

#include <algorithm>
#include <array>
#include <memory>

namespace qr {

namespace {

constexpr std::array<int, kSaveSideCount> kSaveSides = { 256, 512, 1024, 2048 };

// ECI designator for UTF-8. Without it readers take byte-mode data as ISO-8859-1 or guess the
// character set, and "é" came back as "Ã©" or as a CJK character.
constexpr unsigned int kUtf8Eci = 26;

using QrCodePtr = std::unique_ptr<QRcode, decltype(&QRcode_free)>;
using QrInputPtr = std::unique_ptr<QRinput, decltype(&QRinput_free)>;

bool isNulFreeAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 || byte >= 0x80) {
            return false;
        }
    }
    return true;
}

// Plain ASCII goes through the library's string entry point, which also picks compact modes for
// runs of digits and capitals. Anything else is appended with its length as one byte segment: a
// NUL would end the string there and silently drop the rest of the text, and non-ASCII bytes
// need the UTF-8 designator in front.
QrCodePtr encodeBytes(const QByteArray &bytes, QRecLevel level)
{
    if (isNulFreeAscii(bytes)) {
        return QrCodePtr(
            QRcode_encodeString(bytes.constData(), 0, level, QR_MODE_8, 1), &QRcode_free);
    }

    QrInputPtr input(QRinput_new2(0, level), &QRinput_free);
    if (!input) {
        return QrCodePtr(nullptr, &QRcode_free);
    }
    const bool hasNonAscii = std::any_of(
        bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (hasNonAscii && QRinput_appendECIheader(input.get(), kUtf8Eci) != 0) {
        return QrCodePtr(nullptr, &QRcode_free);
    }
    if (QRinput_append(input.get(), QR_MODE_8, int(bytes.size()),
            reinterpret_cast<const unsigned char *>(bytes.constData()))
        != 0) {
        return QrCodePtr(nullptr, &QRcode_free);
    }
    return QrCodePtr(QRcode_encodeInput(input.get()), &QRcode_free);
}

} // namespace

QRecLevel levelForIndex(int index)
{
    switch (index) {
    case 0:
        return QR_ECLEVEL_L;
    case 1:
        return QR_ECLEVEL_M;
    case 2:
        return QR_ECLEVEL_Q;
    case 3:
        return QR_ECLEVEL_H;
    default:
        return QR_ECLEVEL_M;
    }
}

int saveSideForIndex(int index)
{
    if (index < 0 || index >= kSaveSideCount) {
        return kSaveSides[1];
    }
    return kSaveSides[static_cast<std::size_t>(index)];
}

std::optional<Matrix> encodeText(const QString &text, QRecLevel level)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty()) {
        return std::nullopt;
    }
    const QrCodePtr code = encodeBytes(bytes, level);
    if (!code || code->width <= 0 || !code->data) {
        return std::nullopt;
    }
    Matrix matrix;
    matrix.width = code->width;
    matrix.modules = QByteArray(
        reinterpret_cast<const char *>(code->data), qsizetype(code->width) * code->width);
    return matrix;
}

QImage paintSymbol(const Matrix &matrix)
{
    if (matrix.width <= 0 || matrix.modules.size() < qsizetype(matrix.width) * matrix.width) {
        return {};
    }
    QImage image(matrix.width, matrix.width, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QRgb dark = qRgb(0, 0, 0);
    for (int y = 0; y < matrix.width; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < matrix.width; ++x) {
            if (matrix.isDark(x, y)) {
                line[x] = dark;
            }
        }
    }
    return image;
}

QImage scaleSymbol(const QImage &symbol, int side)
{
    return symbol.scaled(side, side, Qt::KeepAspectRatio, Qt::FastTransformation);
}

bool writePngFile(const QImage &image, const QString &fileName, QString *errorString)
{
    // A null image (one too large to make) is refused by the image writer, with its reason.
    return writeImageAtomically(fileName, image, "PNG", errorString);
}

} // namespace qr
