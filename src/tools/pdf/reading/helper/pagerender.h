#pragma once

#include <QtGlobal>

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

} // namespace pdf
