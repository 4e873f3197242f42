#pragma once

#include "common/toolpage.h"

#include <QImage>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// Loads one image, resizes it to a preset or typed size, exactly or keeping its proportions,
// and saves the result (and, when asked, a 160 px thumbnail beside it) as PNG or JPEG.
class ImageResizerPage : public ToolPage
{
    Q_OBJECT

public:
    explicit ImageResizerPage(QWidget *parent = nullptr);

private slots:
    void browseForImage();
    void applyPreset(int width, int height);
    void resizeAndSave();

private:
    void showInPreview(const QImage &image);
    void warn(const QString &text);

    QLabel *m_preview = nullptr;
    QLineEdit *m_widthEdit = nullptr;
    QLineEdit *m_heightEdit = nullptr;
    QRadioButton *m_fitExactRadio = nullptr;
    QRadioButton *m_keepRatioRadio = nullptr;
    QCheckBox *m_thumbnailCheck = nullptr;
    QImage m_image;
    QString m_imagePath;
};
