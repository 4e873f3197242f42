#pragma once

#include <QWidget>

class DaysCounterPage : public QWidget
{
    Q_OBJECT

public:
    explicit DaysCounterPage(QWidget *parent = nullptr);

signals:
    void backRequested();
};
