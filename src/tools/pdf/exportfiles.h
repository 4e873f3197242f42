#pragma once

#include "common/failurewarning.h"

#include <QList>

#include <utility>

class QImage;
class QString;

namespace pdf {

// File names and image files made by the PDF page's save, export and split commands. No widget
// here: the page asks for the folder or name and shows the outcome.

// "page_%1.png" for page pageNumber (1-based) of pageCount pages, the number filled with leading
// zeros to as many digits as pageCount has: page_1.png for 5 pages, page_01.png for 12.
QString exportPageFileName(int pageNumber, int pageCount);

// The name suggested when exporting one page: "page%1.png" without leading zeros.
QString suggestedPageImageName(int pageNumber);

// The path suggested when saving: "document.pdf" without a current path, otherwise the current
// file's folder, its base name (up to the first dot) and "_edited.pdf".
QString suggestedSavePath(const QString &currentPath);

// The two paths a split writes into folder: the base name of the current path (or "document"
// without one) followed by "_part1.pdf" and "_part2.pdf".
std::pair<QString, QString> splitPartPaths(const QString &folder, const QString &currentPath);

// A split after page afterPage (1-based) leaves neither part empty.
bool isValidSplitPoint(int afterPage, int pageCount);

// Pages 1 to afterPage and the rest. Call only with a valid split point.
std::pair<QList<QImage>, QList<QImage>> splitPages(const QList<QImage> &pages, int afterPage);

// Writes the page in the format its suffix names (.png, .jpg, .bmp...). Formats that keep no
// alpha get the page flattened on white, so transparent parts do not turn black. The file is
// replaced only once the whole image is written. On failure returns false and says why in
// errorString.
bool writePageImage(const QImage &page, const QString &path, QString *errorString);

// Writes every page as exportPageFileName into folder, replacing files of those names. Returns
// the files not written, each with why, first to last.
QList<FileFailure> writeAllPagesAsPng(const QList<QImage> &pages, const QString &folder);

} // namespace pdf
