#include "imageresizerpage.h"

#include "imagefiles.h"
#include "resizemath.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace {
constexpr QSize kPreviewSize(220, 180);
} // namespace

ImageResizerPage::ImageResizerPage(QWidget *parent)
    : ToolPage(tr("Image resizer"), parent)
{
    setObjectName(QStringLiteral("ImageResizerPage"));
    QVBoxLayout *layout = pageLayout();

    auto *row = new QHBoxLayout;
    row->setSpacing(20);
    layout->addLayout(row, 0);

    m_preview = new QLabel(tr("Drop an image or\nclick Browse"), this);
    m_preview->setObjectName(QStringLiteral("QRPreview"));
    m_preview->setFixedSize(kPreviewSize);
    m_preview->setAlignment(Qt::AlignCenter);
    row->addWidget(m_preview, 0);

    auto *column = new QVBoxLayout;
    column->setSpacing(10);
    row->addLayout(column, 1);

    auto *browseButton = new QPushButton(tr("Browse for image…"), this);
    connect(browseButton, &QPushButton::clicked, this, &ImageResizerPage::browseForImage);
    column->addWidget(browseButton);

    column->addWidget(new QLabel(tr("Preset sizes"), this));
    auto *presetGrid = new QGridLayout;
    const std::vector<std::pair<int, int>> presets = {
        { 1024, 728 },
        { 800, 600 },
        { 460, 308 },
        { 320, 240 },
        { 240, 160 },
        { 220, 148 },
    };
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const auto preset = presets[i];
        auto *button =
            new QPushButton(QStringLiteral("%1 x %2").arg(preset.first).arg(preset.second), this);
        connect(button, &QPushButton::clicked, this,
            [this, preset] { applyPreset(preset.first, preset.second); });
        presetGrid->addWidget(button, int(i / 3), int(i % 3));
    }
    column->addLayout(presetGrid);

    column->addWidget(new QLabel(tr("Custom size (px)"), this));
    auto *sizeRow = new QHBoxLayout;
    m_widthEdit = new QLineEdit(this);
    m_widthEdit->setPlaceholderText(tr("Width"));
    m_widthEdit->setValidator(new QIntValidator(image::kMinSide, image::kMaxSide, this));
    m_heightEdit = new QLineEdit(this);
    m_heightEdit->setPlaceholderText(tr("Height"));
    m_heightEdit->setValidator(new QIntValidator(image::kMinSide, image::kMaxSide, this));
    sizeRow->addWidget(m_widthEdit);
    sizeRow->addWidget(m_heightEdit);
    column->addLayout(sizeRow);

    // Both radio buttons have the page as parent, which makes them exclusive without a group.
    m_fitExactRadio = new QRadioButton(tr("Fit exactly — may stretch the image"), this);
    m_fitExactRadio->setChecked(true);
    column->addWidget(m_fitExactRadio);
    m_keepRatioRadio = new QRadioButton(tr("Keep proportions — fits within width or height"), this);
    column->addWidget(m_keepRatioRadio);

    m_thumbnailCheck = new QCheckBox(tr("Create thumbnails too"), this);
    column->addWidget(m_thumbnailCheck);

    auto *saveButton = new QPushButton(tr("Resize and save"), this);
    saveButton->setObjectName(QStringLiteral("PrimaryButton"));
    connect(saveButton, &QPushButton::clicked, this, &ImageResizerPage::resizeAndSave);
    column->addWidget(saveButton);
    column->addStretch(1);

    layout->addStretch(1);
}

void ImageResizerPage::browseForImage()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Choose an image"), QString(),
        tr("Images (*.png *.jpg *.jpeg *.bmp *.gif *.webp)"));
    if (path.isEmpty()) {
        return;
    }
    const image::LoadResult loaded = image::load(path);
    if (loaded.image.isNull()) {
        warn(tr("Could not load that image."));
        return;
    }
    m_image = loaded.image;
    m_imagePath = path;
    // Filled in without the validators: an image may be larger than a user may type.
    m_widthEdit->setText(QString::number(m_image.width()));
    m_heightEdit->setText(QString::number(m_image.height()));
    showInPreview(m_image);
}

void ImageResizerPage::applyPreset(int width, int height)
{
    m_widthEdit->setText(QString::number(width));
    m_heightEdit->setText(QString::number(height));
}

void ImageResizerPage::resizeAndSave()
{
    if (m_image.isNull()) {
        warn(tr("Choose an image first."));
        return;
    }
    const std::optional<QSize> box =
        image::parseTargetSize(m_widthEdit->text(), m_heightEdit->text());
    if (!box) {
        warn(tr("Enter a valid width and height."));
        return;
    }
    const QSize target = image::fittedSize(m_image.size(), *box, m_keepRatioRadio->isChecked());
    // Smooth scaling fills tables as long as the target's sides before it asks for the image,
    // whatever the memory: make sure an image of that size can be had at all first. The target
    // already keeps the proportions when asked to, so it is used as it is.
    const bool canHold = !QImage(target, QImage::Format_ARGB32_Premultiplied).isNull();
    const QImage resized = canHold
        ? m_image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        : QImage();
    if (resized.isNull()) {
        // Nothing to save, so the user is not asked for a name.
        warn(tr("There is not enough memory for an image of %1 x %2 pixels.")
                 .arg(target.width())
                 .arg(target.height()));
        return;
    }

    const QString savePath = QFileDialog::getSaveFileName(this, tr("Save resized image"),
        image::resizedPath(m_imagePath), tr("PNG (*.png);;JPEG (*.jpg)"));
    if (savePath.isEmpty()) {
        return;
    }
    if (!image::save(resized, savePath).ok) {
        warn(tr("Could not save the file."));
        return;
    }

    QString thumbnailProblem;
    if (m_thumbnailCheck->isChecked()) {
        const QString thumbPath = image::thumbnailPath(savePath);
        const QString saved = QDir::toNativeSeparators(savePath);
        const QString thumbName = QDir::toNativeSeparators(thumbPath);
        // Saving "photo.png" beside a loaded "photo_thumb.png" must not replace the source.
        if (image::isSameFile(thumbPath, m_imagePath)) {
            thumbnailProblem = tr("The resized image was saved as %1, but no thumbnail was "
                                  "written: %2 is the image being resized.")
                                   .arg(saved, thumbName);
        } else {
            const QImage thumb = m_image.scaled(image::thumbnailSize(m_image.size()),
                Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const image::SaveResult written = image::save(thumb, thumbPath);
            if (!written.ok) {
                thumbnailProblem = tr("The resized image was saved as %1, but the thumbnail %2 "
                                      "could not be written: %3")
                                       .arg(saved, thumbName, written.error);
            }
        }
    }
    showInPreview(resized);
    if (!thumbnailProblem.isEmpty()) {
        warn(thumbnailProblem);
    }
}

void ImageResizerPage::showInPreview(const QImage &image)
{
    m_preview->setPixmap(QPixmap::fromImage(
        image.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void ImageResizerPage::warn(const QString &text)
{
    QMessageBox::warning(this, tr("mirvale"), text, QMessageBox::Ok);
}
