#include "thumbnaillist.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>

namespace pdf {

ThumbnailList::ThumbnailList(QWidget *parent)
    : QListWidget(parent)
{ }

int ThumbnailList::dropRow(const QPoint &pos) const
{
    for (int row = 0; row < count(); ++row) {
        if (pos.y() <= visualItemRect(item(row)).bottom()) {
            return row;
        }
    }
    return count() - 1;
}

void ThumbnailList::dragEnterEvent(QDragEnterEvent *event)
{
    QListWidget::dragEnterEvent(event);
    if (event->source() == this) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    }
}

void ThumbnailList::dragMoveEvent(QDragMoveEvent *event)
{
    // The base class scrolls near the edges and draws the dragged icon; it would refuse the
    // drop over an item, so acceptance is decided here.
    QListWidget::dragMoveEvent(event);
    if (event->source() == this) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ThumbnailList::dropEvent(QDropEvent *event)
{
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (event->source() != this) {
        event->ignore();
        return;
    }
    const QModelIndexList dragged = selectedIndexes();
    const int from = dragged.size() == 1 ? dragged.constFirst().row() : -1;
    const int to = dropRow(event->position().toPoint());
    // Accepted, but not as a move: a move would make the view remove the dragged row once the
    // drag ends, and that row has already been moved here.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (from < 0 || to < 0 || from == to) {
        return;
    }
    // moveRow's destination counts rows before the move: one further down when moving down.
    model()->moveRow(QModelIndex(), from, QModelIndex(), to > from ? to + 1 : to);
}

} // namespace pdf
