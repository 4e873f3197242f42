#include "ocrengine.h"

#include "pageoperations.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>

#include <tesseract/baseapi.h>

#include <memory>

#if defined(Q_OS_UNIX)
#include <dlfcn.h>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>
#endif

namespace pdf {

namespace {

constexpr char kLanguage[] = "eng";

// The engine's OpenMP runtime, where it has one, starts a team of worker threads for parts of
// recognition: they burn some 2.5 times the CPU for no gain in time. The thread count the
// runtime reads from its environment is fixed before main, and the engine asks for its teams by
// an explicit size, which the runtime's thread-count call would not change. With no level of
// parallel regions allowed to be active, every team has the one calling thread. The runtime is
// looked up, not linked: it may be absent, as in an engine built without it.
void keepEngineToOneThread()
{
    using SetMaxActiveLevels = void (*)(int);
    SetMaxActiveLevels setMaxActiveLevels = nullptr;
#if defined(Q_OS_UNIX)
    setMaxActiveLevels =
        reinterpret_cast<SetMaxActiveLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
#elif defined(Q_OS_WIN)
    for (const wchar_t *runtime : { L"libgomp-1.dll", L"libomp.dll", L"libiomp5md.dll" }) {
        const HMODULE module = GetModuleHandleW(runtime);
        // Through the one function type every other converts from without a warning.
        const auto function = module
            ? reinterpret_cast<void (*)()>(GetProcAddress(module, "omp_set_max_active_levels"))
            : nullptr;
        if (function) {
            setMaxActiveLevels = reinterpret_cast<SetMaxActiveLevels>(function);
            break;
        }
    }
#endif
    if (setMaxActiveLevels) {
        setMaxActiveLevels(0);
    }
}

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
        keepEngineToOneThread();
        // Automatic layout analysis finds columns and reads each in turn; the engine's default,
        // one uniform block, would interleave the lines of side-by-side columns.
        engine->SetPageSegMode(tesseract::PSM_AUTO);
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
    return tr("Could not start the OCR engine — English language data wasn't found.\n\n"
              "On Windows: download 'eng.traineddata' (from Tesseract's tessdata repository) and "
              "place it in a 'tessdata' folder next to mirvale.exe.\n"
              "On Linux: sudo apt install tesseract-ocr-eng.");
}

} // namespace pdf
