// Thumbnail rebuild after one edit on a 100-page document of US Letter pages at 200 dpi
// (1700 x 2200 pixels each, about 1.5 GB in all), as the PDF page makes them: every thumbnail
// through its cache, then the page view's picture of the edited page. Prints the time of the
// first build, when every page is scaled, and of the rebuilds that follow an edit of one page.
#include "tools/pdf/pagelist.h"
#include "tools/pdf/pagepixmaps.h"
#include "tools/pdf/thumbnailcache.h"

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
        QList<QImage> pages;
        for (int i = 0; i < kPages; ++i) {
            pages.append(letterPage(i));
        }
        QList<QList<QImage>> history;
        pdf::ThumbnailCache cache;

        QElapsedTimer timer;
        timer.start();
        cache.thumbnails(pages);
        pdf::pageViewPixmap(pages.at(0));
        const double firstBuild = timer.nsecsElapsed() / 1e6;

        QList<double> rebuilds;
        for (int round = 0; round < kRounds; ++round) {
            const int edited = (round * 37) % kPages;
            // The shape every page command has: snapshot, change one page, select it, rebuild.
            pdf::pushSnapshot(history, pages);
            pages[edited] = pages.at(edited).transformed(QTransform().rotate(90));
            timer.restart();
            cache.thumbnails(pages);
            pdf::pageViewPixmap(pages.at(edited));
            rebuilds.append(timer.nsecsElapsed() / 1e6);
        }
        // For comparison: every page converted to a pixmap and scaled, as without the cache.
        timer.restart();
        for (const QImage &image : std::as_const(pages)) {
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
