#pragma once

#include <QPoint>
#include <QWidget>

class QLabel;
class QPushButton;

// A small frameless card that floats above other windows and shows one value away from the
// dashboard. The host fills contentWidget() and keeps the card: closing only hides it.
class FloatingWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FloatingWidget(const QString &title, QWidget *parent = nullptr);

    QWidget *contentWidget() const { return m_content; }
    void setTitle(const QString &title);
    QString title() const;

signals:
    // Only the close button emits this, before the card hides itself.
    void closeRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QLabel *m_title = nullptr;
    QWidget *m_content = nullptr;
    QPushButton *m_pinButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
