#include "windowsizing.h"

#include <QtGlobal>

namespace {
constexpr int kMinimumWidth = 640;
constexpr int kMinimumHeight = 480;
} // namespace

QRect windowGeometryForPage(const QRect &available, int pageIndex)
{
    const double factor = pageIndex == 0 ? 0.4 : 0.8;
    const QSize target =
        QSize(qRound(available.width() * factor), qRound(available.height() * factor))
            .expandedTo(QSize(kMinimumWidth, kMinimumHeight));
    QPoint topLeft = available.center() - QPoint(target.width() / 2, target.height() / 2);
    // On a screen smaller than the minimum, centring would push the corner off the area (and the
    // title bar out of reach): keep the top-left corner inside the available area.
    topLeft.setX(qMax(topLeft.x(), available.left()));
    topLeft.setY(qMax(topLeft.y(), available.top()));
    return QRect(topLeft, target);
}
