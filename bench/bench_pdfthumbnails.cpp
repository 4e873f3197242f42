// Thumbnail rebuild after one edit on a 100-page document of US Letter pages at 200 dpi
// (1700 x 2200 pixels each, about 1.5 GB in all). Prints the time of the first build, when every
// page is scaled, and of the rebuilds that follow an edit of one page.
#include "tools/pdf/pdftoolspage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QTransform>

#include <algorithm>
#include <cstdio>

class PdfThumbnailBench
{
public:
    int run()
    {
        PdfToolsPage page;
        for (int i = 0; i < kPages; ++i) {
            page.m_pages.append(letterPage(i));
        }
        page.m_currentIndex = 0;

        QElapsedTimer timer;
        timer.start();
        page.refreshThumbnails();
        page.showCurrentPage();
        const double firstBuild = timer.nsecsElapsed() / 1e6;

        QList<double> rebuilds;
        for (int round = 0; round < kRounds; ++round) {
            const int edited = (round * 37) % kPages;
            // The shape every page command has: snapshot, change one page, select it, rebuild.
            page.pushUndo();
            page.m_pages[edited] = page.m_pages.at(edited).transformed(QTransform().rotate(90));
            page.m_currentIndex = edited;
            timer.restart();
            page.refreshThumbnails();
            page.showCurrentPage();
            rebuilds.append(timer.nsecsElapsed() / 1e6);
        }
        // For comparison: every page converted to a pixmap and scaled, as without the cache.
        timer.restart();
        for (const QImage &image : std::as_const(page.m_pages)) {
            const QPixmap thumbnail = QPixmap::fromImage(image).scaled(
                QSize(100, 140), Qt::KeepAspectRatio, Qt::SmoothTransformation);
            Q_UNUSED(thumbnail);
        }
        const double uncached = timer.nsecsElapsed() / 1e6;

        std::sort(rebuilds.begin(), rebuilds.end());
        std::printf("pages: %d of 1700 x 2200\n", kPages);
        std::printf("first build (every page scaled): %.1f ms\n", firstBuild);
        std::printf("rebuild after one edit, %d rounds: median %.1f ms, max %.1f ms\n", kRounds,
            rebuilds.at(rebuilds.size() / 2), rebuilds.constLast());
        std::printf("every page converted and scaled, without the cache: %.1f ms\n", uncached);
        return 0;
    }

private:
    static constexpr int kPages = 100;
    static constexpr int kRounds = 20;

    static QImage letterPage(int number)
    {
        QImage page(1700, 2200, QImage::Format_ARGB32_Premultiplied);
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.setPen(QPen(Qt::black, 6));
        painter.drawRect(page.rect().adjusted(100, 100, -100, -100));
        painter.fillRect(
            QRect(300, 400 + number * 10, 1100, 600), QColor::fromHsv(number * 7 % 360, 180, 220));
        QFont font = painter.font();
        font.setPixelSize(120);
        painter.setFont(font);
        painter.drawText(
            QRect(200, 200, 1300, 200), Qt::AlignCenter, QStringLiteral("Page %1").arg(number + 1));
        return page;
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return PdfThumbnailBench().run();
}
