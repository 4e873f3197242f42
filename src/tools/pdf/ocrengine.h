#pragma once

#include <QCoreApplication>
#include <QString>

class QImage;

namespace pdf {

// Reads the printed English text of a page image. Every recognition starts a fresh engine and
// loads the language data anew, so nothing is kept between runs. Runs on the calling thread and
// blocks until the text is read.
class OcrEngine
{
    Q_DECLARE_TR_FUNCTIONS(OcrEngine)

public:
    enum class Outcome {
        Recognized, // text holds what was read (possibly nothing)
        EngineNotStarted, // the engine could not start, as when no English data is found
        NoPage, // the page was null; the engine was not started
    };

    struct Result
    {
        Outcome outcome = Outcome::NoPage;
        QString text;
    };

    // Uses defaultDataPath().
    OcrEngine();
    // dataPath: the folder holding eng.traineddata; empty for the engine's own default location.
    explicit OcrEngine(const QString &dataPath);

    QString dataPath() const { return m_dataPath; }

    Result recognize(const QImage &page) const;

    // The "tessdata" folder next to the executable when it holds eng.traineddata, otherwise
    // empty: a folder without the English data would only keep the engine from its default.
    static QString defaultDataPath();
    // The same test for a "tessdata" folder inside folder.
    static QString dataPathBeside(const QString &folder);

    // What the recognition panel shows when the engine could not start.
    static QString engineNotStartedMessage();

private:
    QString m_dataPath;
};

} // namespace pdf
