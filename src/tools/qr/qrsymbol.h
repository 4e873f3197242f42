#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <qrencode.h>

#include <optional>

namespace qr {

// A QR symbol as the encoder returns it: `width` modules per side, one byte per module, row by
// row from the top row and each row from left to right; bit 0 set means a dark module.
struct Matrix
{
    int width = 0;
    QByteArray modules;

    bool isDark(int x, int y) const { return (modules.at(y * width + x) & 1) != 0; }
};

// The error-correction level behind each "Scan accuracy" index; any other index means medium.
QRecLevel levelForIndex(int index);

// The side in pixels of the saved file for each "Save resolution" index.
int saveSideForIndex(int index);
constexpr int kSaveSideCount = 4;

// Encodes the text's UTF-8 bytes at the given level in the smallest version that holds them.
// Returns nothing when the text is empty or does not fit in the largest symbol at that level.
std::optional<Matrix> encodeText(const QString &text, QRecLevel level);

// One pixel per module, dark modules opaque black on white, without a quiet zone.
QImage paintSymbol(const Matrix &matrix);

// The symbol enlarged to side x side pixels by nearest neighbour, so modules stay sharp.
QImage scaleSymbol(const QImage &symbol, int side);

// Writes the image as PNG data whatever the name's suffix; the old file, if any, stays intact
// when writing fails, and errorString says why.
bool writePngFile(const QImage &image, const QString &fileName, QString *errorString);

} // namespace qr
