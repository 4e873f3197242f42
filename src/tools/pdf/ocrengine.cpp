#include "ocrengine.h"

#include "pageoperations.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>

#include <tesseract/baseapi.h>

#include <memory>

namespace {

constexpr char kLanguage[] = "eng";

} // namespace

OcrEngine::OcrEngine()
    : m_dataPath(defaultDataPath())
{ }

OcrEngine::OcrEngine(const QString &dataPath)
    : m_dataPath(dataPath)
{ }

OcrEngine::Result OcrEngine::recognize(const QImage &page) const
{
    if (page.isNull()) {
        return { Outcome::NoPage, QString() };
    }
    // The engine reads 24-bit RGB rows; dropping alpha unflattened would turn transparent paper
    // black and hide the text on it.
    const QImage rgb = flattenOnWhite(page).convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) {
        return { Outcome::NoPage, QString() };
    }
    // Alive until Init has read it.
    const QByteArray dataPathUtf8 = m_dataPath.toUtf8();
    try {
        auto engine = std::make_unique<tesseract::TessBaseAPI>();
        if (engine->Init(m_dataPath.isEmpty() ? nullptr : dataPathUtf8.constData(), kLanguage)
            != 0) {
            return { Outcome::EngineNotStarted, QString() };
        }
        // Rows of a QImage are padded to 4 bytes: hand over its own row length.
        engine->SetImage(rgb.constBits(), rgb.width(), rgb.height(), 3, int(rgb.bytesPerLine()));
        const std::unique_ptr<char[]> text(engine->GetUTF8Text());
        engine->End();
        return { Outcome::Recognized, text ? QString::fromUtf8(text.get()) : QString() };
    } catch (...) {
        // Nothing may escape into the page's slot; the engine is released on the way out.
        return { Outcome::EngineNotStarted, QString() };
    }
}

QString OcrEngine::defaultDataPath()
{
    return dataPathBeside(QCoreApplication::applicationDirPath());
}

QString OcrEngine::dataPathBeside(const QString &folder)
{
    const QString local = folder + QStringLiteral("/tessdata");
    if (QFileInfo(local).isDir()
        && QFileInfo(local + QStringLiteral("/eng.traineddata")).isFile()) {
        return local;
    }
    return QString();
}

QString OcrEngine::engineNotStartedMessage()
{
    // Shown by the PDF page, so it is translated with the page's own texts.
    return QCoreApplication::translate("PdfToolsPage",
        "Could not start the OCR engine — English language data wasn't found.\n\n"
        "On Windows: download 'eng.traineddata' (from Tesseract's tessdata repository) and "
        "place it in a 'tessdata' folder next to mirvale.exe.\n"
        "On Linux: sudo apt install tesseract-ocr-eng.");
}
