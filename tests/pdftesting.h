#pragma once

// Shared by the PDF suites: fixtures, and the PDF page driven as a user drives it.

#include "dialoganswers.h"
#include "tools/pdf/pdftoolspage.h"
#include "tools/pdf/thumbnaillist.h"

namespace pdftest {

inline QImage plainPage(const QSize &size, const QColor &colour = QColor(90, 140, 200),
    QImage::Format format = QImage::Format_RGB32)
{
    QImage page(size, QImage::Format_ARGB32);
    page.fill(colour);
    return page.convertToFormat(format);
}

// Noise in every channel, so lost or moved pixels show and no format compresses it.
inline QImage noisePage(const QSize &size)
{
    QImage page(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < page.height(); ++y) {
        random.fillRange(reinterpret_cast<quint32 *>(page.scanLine(y)), page.width());
    }
    return page;
}

// "30x20 40x20": the pages' sizes, the selected one (if any) in brackets.
inline QString sizesOf(const QList<QImage> &pages, int selected = -1)
{
    QStringList sizes;
    for (const QImage &page : pages) {
        const QString size = QStringLiteral("%1x%2").arg(page.width()).arg(page.height());
        sizes << (sizes.size() == selected ? '[' + size + ']' : size);
    }
    return sizes.join(' ');
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

// A PDF of the given objects, numbered from 1 (the catalogue), with a cross-reference table.
inline QByteArray buildPdf(const QList<QByteArray> &objects)
{
    QByteArray pdf("%PDF-1.4\n");
    QByteArray table =
        "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    return pdf + table + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1)
        + " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(pdf.size()) + "\n%%EOF\n";
}

// depth nodes of type Pages, each naming the next one twice, above one page of the given box:
// a small file claiming 2^depth pages.
inline QByteArray sharedBranches(int depth, const QByteArray &box)
{
    QList<QByteArray> objects { "<< /Type /Catalog /Pages 2 0 R >>" };
    for (int level = 0; level < depth; ++level) {
        const QByteArray next = QByteArray::number(level + 3) + " 0 R ";
        objects << "<< /Type /Pages /Kids [" + next + next + "] /Count "
                + QByteArray::number(qint64(1) << (depth - level)) + " >>";
    }
    objects << "<< /Type /Page /MediaBox " + box + " /Contents " + QByteArray::number(depth + 3)
            + " 0 R >>";
    return buildPdf(objects << "<< /Length 25 >>\nstream\n0 0 1 rg 10 10 50 50 re f\nendstream");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The PDF page reached only as a user reaches it: its buttons and dialogs, its thumbnail list,
// page view and labels. Pages go in as PNG files through "Add pages" and come back out through
// "Export all", so what a check sees are the document's own pixels.
class PdfPage
{
public:
    PdfToolsPage widget;
    [[nodiscard]] QString click(const QString &text, const QList<dialogs::Step> &steps = {})
    {
        return dialogs::click(&widget, text, steps);
    }
    [[nodiscard]] QString add(const QList<QImage> &pages, int select = 0)
    {
        QStringList names;
        for (const QImage &page : pages) {
            names << QStringLiteral("in%1.png").arg(m_files++);
            page.save(m_dir.filePath(names.last()));
        }
        const QString report =
            click("Add pages", { dialogs::fileDialog("Add pages", m_dir.path(), names) });
        thumbnails()->setCurrentRow(select);
        return report;
    }
    // Pages of the sizes as sizesOf writes them, plain unless a letter comes first: "~" noise,
    // "t" transparent paper, "r" a red top left corner of 3 x 3 pixels.
    [[nodiscard]] QString add(const QString &sizes)
    {
        QList<QImage> pages;
        int select = 0;
        for (QString size : sizes.split(' ', Qt::SkipEmptyParts)) {
            select = size.startsWith('[') ? int(pages.size()) : select;
            size.remove('[').remove(']');
            const QChar kind = size.at(0).isDigit() ? QChar() : size.at(0);
            const QStringList sides = size.mid(kind.isNull() ? 0 : 1).split('x');
            const QSize pixels(sides.at(0).toInt(), sides.at(1).toInt());
            pages << (kind == '~' ? noisePage(pixels)
                    : kind == 't' ? plainPage(pixels, Qt::transparent, QImage::Format_ARGB32)
                                  : plainPage(pixels));
            if (kind == 'r') {
                QPainter(&pages.last()).fillRect(0, 0, 3, 3, Qt::red);
            }
        }
        return pages.isEmpty() ? QString() : add(pages, select);
    }
    QList<QImage> pages()
    {
        const QDir folder(m_dir.filePath(QStringLiteral("export%1").arg(m_files++)));
        QList<QImage> pages;
        if (thumbnails()->count() > 0 && folder.mkpath(".")
            && click("Export all",
                { dialogs::fileDialog("Choose output folder", folder.path(), { folder.path() }) })
                   .isEmpty()) {
            for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
                pages << QImage(folder.filePath(name)).convertToFormat(QImage::Format_ARGB32);
            }
        }
        return pages;
    }
    QString state() { return sizesOf(pages(), selected()); }
    QToolButton *button(const QString &text) const
    {
        const QList<QToolButton *> tools = widget.findChildren<QToolButton *>();
        return *std::find_if(
            tools.begin(), tools.end(), [&](auto *t) { return t->text() == text; });
    }
    // Clicks "Undo" while it is enabled; how many times.
    int undoAll()
    {
        int count = 0;
        for (; button("Undo")->isEnabled() && count < 20; ++count, button("Undo")->click()) { }
        return count;
    }
    pdf::ThumbnailList *thumbnails() const { return widget.findChild<pdf::ThumbnailList *>(); }
    int selected() const { return thumbnails()->currentRow(); }
    QLabel *view() const
    {
        return qobject_cast<QLabel *>(widget.findChild<QScrollArea *>("QRPreview")->widget());
    }
    // The status line is the page's last row.
    QString status() const
    {
        QLayout *rows = widget.layout();
        return qobject_cast<QLabel *>(rows->itemAt(rows->count() - 1)->widget())->text();
    }

private:
    QTemporaryDir m_dir;
    int m_files = 0;
};

} // namespace pdftest
