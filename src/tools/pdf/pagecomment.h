#pragma once

#include <QPoint>
#include <QString>

// One comment placed on a page: the page that was selected (0-based; not renumbered when pages
// move later), where it was clicked in page pixels, and the text as typed.
struct PageComment
{
    int page = -1;
    QPoint pos;
    QString text;
};
