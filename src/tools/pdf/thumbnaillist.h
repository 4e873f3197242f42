#pragma once

#include <QListWidget>

namespace pdf {

// The page thumbnails, one column from top to bottom, reordered by dragging a thumbnail onto
// another one's place. An icon-mode list on its own only shifts the dragged icon around (and
// takes no drop on an item at all), so this list moves the dragged row in its model instead: the
// model then reports the move through rowsMoved. No row is ever removed or overwritten by a drop.
class ThumbnailList : public QListWidget
{
    Q_OBJECT

public:
    explicit ThumbnailList(QWidget *parent);

    // The row a thumbnail dropped at pos (viewport coordinates) goes to: the row of the thumbnail
    // there, the next one when pos is in the gap above it, the last row below the last thumbnail.
    // -1 for an empty list.
    int dropRow(const QPoint &pos) const;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

} // namespace pdf
