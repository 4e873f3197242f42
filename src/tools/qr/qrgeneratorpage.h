#pragma once

#include "common/toolpage.h"

#include <QImage>

class QComboBox;
class QLabel;
class QLineEdit;

// Turns the typed text into a QR symbol, previews it while the user types and saves it as a
// square PNG at one of four sizes.
class QRGeneratorPage : public ToolPage
{
    Q_OBJECT

public:
    explicit QRGeneratorPage(QWidget *parent = nullptr);

private slots:
    void regenerate();
    void savePng();

private:
    QWidget *buildControls();

    QLineEdit *m_input = nullptr;
    QComboBox *m_resolution = nullptr;
    QComboBox *m_accuracy = nullptr;
    QLabel *m_preview = nullptr;
    QImage m_image;
};
