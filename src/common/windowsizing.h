#pragma once

#include <QRect>

// Where a window goes when a page becomes current: a share of the screen's available area
// (0.4 for the grid, 0.8 for a tool page), never below 640 x 480, centred on that area.
QRect windowGeometryForPage(const QRect &available, int pageIndex);
