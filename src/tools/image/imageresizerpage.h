#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// Loads one image, resizes it to a preset or typed size, exactly or keeping its proportions,
// and saves the result (and, when asked, a 160 px thumbnail beside it) as PNG or JPEG.
class ImageResizerPage : public QWidget
{
    Q_OBJECT

public:
    explicit ImageResizerPage(QWidget *parent = nullptr);

signals:
    void backRequested();

private slots:
    void browseForImage();
    void applyPreset(int width, int height);
    void resizeAndSave();

private:
    QWidget *buildHeader();
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
