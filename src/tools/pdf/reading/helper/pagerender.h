#pragma once

#include <QtGlobal>

class QIODevice;
class QImage;
class QPdfDocument;

namespace pdf {

// Page page of an opened document rendered at dpi as the engine draws it: in the page area's
// format, transparent wherever the page draws nothing. Null when the page has no size within the
// render limits or cannot be rendered.
QImage renderPdfPage(QPdfDocument &doc, int page, double dpi);

// Row row of page drawn over white (pages render with a transparent background, which would turn
// black wherever alpha is later dropped) into out, opaque, in the page area's format. A null page
// is white.
void rowOnWhite(const QImage &page, int row, int width, quint32 *out);

// The largest number a /Count entry of the file claims (as in a page tree node, which claims its
// pages), read from the file's bytes as they stand, with no parsing; 0 when there is none. A
// claim inside a compressed object stream is not seen: there the helper's address-space bound
// is what stops the engine. The device is read from its start and left at its start.
qint64 largestCountClaim(QIODevice &file);

// Claims beyond this are no document the program could hold, and are refused before the engine
// loads the file. Far above the pages a document may have (kMaxPdfPages), so that an outdated
// page tree left in the file by later edits never refuses a sound document.
constexpr qint64 kMaxCountClaim = 1'000'000;

} // namespace pdf
