#pragma once

#include <QWidget>

class PdfToolsPage : public QWidget
{
    Q_OBJECT

public:
    explicit PdfToolsPage(QWidget *parent = nullptr);

signals:
    void backRequested();
};
