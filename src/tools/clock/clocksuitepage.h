#pragma once

#include <QWidget>

class ClockSuitePage : public QWidget
{
    Q_OBJECT

public:
    explicit ClockSuitePage(QWidget *parent = nullptr);

signals:
    void backRequested();
};
