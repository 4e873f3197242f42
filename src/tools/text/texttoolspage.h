#pragma once

#include <QWidget>

class TextToolsPage : public QWidget
{
    Q_OBJECT

public:
    explicit TextToolsPage(QWidget *parent = nullptr);

signals:
    void backRequested();
};
