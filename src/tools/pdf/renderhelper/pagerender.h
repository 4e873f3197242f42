#pragma once

class QImage;
class QPdfDocument;

// Page page of an opened document rendered at dpi on white (pages render with a transparent
// background, which would turn black wherever alpha is later dropped), in the page area's
// format. Null when the page has no size within the render limits or cannot be rendered.
QImage renderPdfPage(QPdfDocument &doc, int page, double dpi);
