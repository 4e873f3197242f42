#include "qrgeneratorpage.h"

#include "qrsymbol.h"

#include "common/failurewarning.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kPreviewSide = 220;

} // namespace

QRGeneratorPage::QRGeneratorPage(QWidget *parent)
    : ToolPage(tr("QR generator"), parent)
{
    setObjectName(QStringLiteral("QRGeneratorPage"));
    auto *body = new QHBoxLayout;
    body->setSpacing(20);
    QWidget *controls = buildControls();
    body->addWidget(controls, 1);

    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("QRPreview"));
    m_preview->setFixedSize(kPreviewSide, kPreviewSide);
    m_preview->setAlignment(Qt::AlignCenter);
    body->addWidget(m_preview, 0);

    pageLayout()->addLayout(body, 0);
    pageLayout()->addStretch(1);

    // Connected only now, after the initial text and indices are in place, so nothing fires
    // while the page is being built.
    auto *saveButton = controls->findChild<QPushButton *>(QStringLiteral("PrimaryButton"));
    connect(m_input, &QLineEdit::textChanged, this, &QRGeneratorPage::regenerate);
    connect(m_accuracy, &QComboBox::currentIndexChanged, this, &QRGeneratorPage::regenerate);
    connect(saveButton, &QPushButton::clicked, this, &QRGeneratorPage::savePng);

    regenerate();
}

QWidget *QRGeneratorPage::buildControls()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    layout->addWidget(new QLabel(tr("Text or URL"), column));
    m_input = new QLineEdit(column);
    m_input->setPlaceholderText(QStringLiteral("https://example.com"));
    m_input->setText(QStringLiteral("https://example.org"));
    layout->addWidget(m_input);

    layout->addWidget(new QLabel(tr("Save resolution"), column));
    m_resolution = new QComboBox(column);
    for (int i = 0; i < qr::kSaveSideCount; ++i) {
        m_resolution->addItem(QStringLiteral("%1 x %1 px").arg(qr::saveSideForIndex(i)));
    }
    m_resolution->setCurrentIndex(1);
    layout->addWidget(m_resolution);

    layout->addWidget(new QLabel(tr("Scan accuracy"), column));
    m_accuracy = new QComboBox(column);
    m_accuracy->addItems({ QStringLiteral("Low"), QStringLiteral("Medium"),
        QStringLiteral("Quartile"), QStringLiteral("High") });
    m_accuracy->setCurrentIndex(1);
    layout->addWidget(m_accuracy);

    layout->addSpacing(8);
    auto *saveButton = new QPushButton(tr("Save PNG"), column);
    saveButton->setObjectName(QStringLiteral("PrimaryButton"));
    layout->addWidget(saveButton);
    layout->addStretch(1);
    return column;
}

void QRGeneratorPage::regenerate()
{
    const QString text = m_input->text();
    if (text.isEmpty()) {
        m_preview->setText(tr("Type something to\ngenerate a code"));
        m_image = QImage();
        return;
    }

    const std::optional<qr::Matrix> matrix =
        qr::encodeText(text, qr::levelForIndex(m_accuracy->currentIndex()));
    if (!matrix) {
        m_preview->setText(tr("Could not encode\nthis text"));
        m_image = QImage();
        return;
    }

    m_image = qr::paintSymbol(*matrix);
    m_preview->setPixmap(QPixmap::fromImage(m_image).scaled(
        m_preview->size(), Qt::KeepAspectRatio, Qt::FastTransformation));
}

void QRGeneratorPage::savePng()
{
    if (m_image.isNull()) {
        QMessageBox::warning(
            this, tr("mirvale"), tr("Nothing to save yet — type some text first."));
        return;
    }

    const int side = qr::saveSideForIndex(m_resolution->currentIndex());
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save QR code"), QStringLiteral("qr-code.png"), tr("PNG image (*.png)"));
    if (fileName.isEmpty()) {
        return;
    }

    QString error;
    if (!qr::writePngFile(qr::scaleSymbol(m_image, side), fileName, &error)) {
        warnFileFailures(
            this, tr("mirvale"), tr("Could not save the file."), { { fileName, error } });
    }
}
