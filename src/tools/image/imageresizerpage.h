#pragma once

#include <QWidget>

class ImageResizerPage : public QWidget
{
    Q_OBJECT

public:
    explicit ImageResizerPage(QWidget *parent = nullptr);

signals:
    void backRequested();
};
