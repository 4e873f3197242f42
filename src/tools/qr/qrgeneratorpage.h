#pragma once

#include <QWidget>

class QRGeneratorPage : public QWidget
{
    Q_OBJECT

public:
    explicit QRGeneratorPage(QWidget *parent = nullptr);

signals:
    void backRequested();
};
