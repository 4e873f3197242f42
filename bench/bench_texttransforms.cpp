// Times every text transformation and count on texts of one and two million characters; the
// times should roughly double, not quadruple.
#include "tools/text/texttransforms.h"

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>

namespace {

QString sampleText(qsizetype size)
{
    const QString line = QStringLiteral("one  two\tthre\u0301e \U0001F600 four\r\n\n   \n");
    QString text;
    text.reserve(size + line.size());
    while (text.size() < size) {
        text += line;
    }
    text.truncate(size);
    return text;
}

template <typename F> double millisecondsFor(F &&f)
{
    constexpr int kRuns = 5;
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main()
{
    using namespace text;
    const struct
    {
        const char *name;
        QString (*transform)(const QString &);
    } transforms[] = {
        { "reversed", &reversed },
        { "reversedPerLine", &reversedPerLine },
        { "wordOrderReversed", &wordOrderReversed },
        { "withoutEmptyLines", &withoutEmptyLines },
        { "withoutDoubleSpaces", &withoutDoubleSpaces },
        { "tabsToSpaces", &tabsToSpaces },
    };

    for (const qsizetype size : { qsizetype(1'000'000), qsizetype(2'000'000) }) {
        const QString text = sampleText(size);
        std::printf("%lld characters (best of 5, ms)\n", static_cast<long long>(size));
        for (const auto &t : transforms) {
            qsizetype sink = 0;
            const double ms = millisecondsFor([&] { sink += t.transform(text).size(); });
            std::printf("  %-20s %8.2f\n", t.name, ms);
        }
        qsizetype sink = 0;
        std::printf(
            "  %-20s %8.2f\n", "wordCount", millisecondsFor([&] { sink += wordCount(text); }));
        std::printf(
            "  %-20s %8.2f\n", "lineCount", millisecondsFor([&] { sink += lineCount(text); }));
    }
    return 0;
}
