#pragma once

// Shared by the PDF suites: small fixtures. Dialogs are answered with dialoganswers.h.

#include "dialoganswers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace pdftest {

using namespace dialogs;

inline QImage plainPage(const QSize &size, const QColor &colour = QColor(90, 140, 200),
    QImage::Format format = QImage::Format_RGB32)
{
    QImage page(size, QImage::Format_ARGB32);
    page.fill(colour);
    return page.convertToFormat(format);
}

// Pages told apart by their sizes.
inline QList<QImage> plainPages(const QList<QSize> &sizes)
{
    QList<QImage> pages;
    for (const QSize &size : sizes) {
        pages.append(plainPage(size));
    }
    return pages;
}

inline QList<QSize> sizesOf(const QList<QImage> &pages)
{
    QList<QSize> sizes;
    for (const QImage &page : pages) {
        sizes.append(page.size());
    }
    return sizes;
}

// Pages told apart by their widths, all 25 pixels high.
inline QList<QImage> pagesOfWidths(const QList<int> &widths)
{
    QList<QSize> sizes;
    for (const int width : widths) {
        sizes.append(QSize(width, 25));
    }
    return plainPages(sizes);
}

inline QList<int> widthsOf(const QList<QImage> &pages)
{
    QList<int> widths;
    for (const QImage &page : pages) {
        widths.append(page.width());
    }
    return widths;
}

// How many pixels of the area have the colour (alpha ignored).
inline int countPixels(const QImage &page, const QColor &colour, const QRect &area)
{
    const QImage rgb = page.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area.intersected(rgb.rect());
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            count += rgb.pixel(x, y) == colour.rgb() ? 1 : 0;
        }
    }
    return count;
}

// A PDF on white paper with pages of the given sizes in points, each with a black bar and text.
inline bool writeTestPdf(const QString &path, const QList<QSizeF> &pointSizes)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter painter;
    for (qsizetype i = 0; i < pointSizes.size(); ++i) {
        writer.setPageSize(
            QPageSize(pointSizes.at(i), QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (i == 0 ? !painter.begin(&writer) : !writer.newPage()) {
            return false;
        }
        painter.fillRect(QRectF(10, 10, 40, 8), Qt::black);
        painter.drawText(QPointF(10, 40), QStringLiteral("Page %1").arg(i + 1));
    }
    return painter.end();
}

// The page sizes, in points, of the PDF at path; empty when it does not open.
inline QList<QSizeF> pdfPointSizes(const QString &path)
{
    QPdfDocument doc;
    QList<QSizeF> sizes;
    if (doc.load(path) == QPdfDocument::Error::None) {
        for (int page = 0; page < doc.pageCount(); ++page) {
            sizes.append(doc.pagePointSize(page));
        }
    }
    return sizes;
}

// While it lives, files of this process cannot grow beyond the limit (the signal that would end
// the process is ignored): a full disk, as far as a writer can tell.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    Q_DISABLE_COPY_MOVE(FileSizeLimit)

private:
    rlimit m_old {};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace pdftest
