#include "texttransforms.h"

#include <QList>
#include <QStringView>
#include <QTextBoundaryFinder>
#include <QVarLengthArray>

namespace text {

namespace {

// Calls f(content, lineBreak) for every line, in order. The break is "\n" or "\r\n", and empty
// for the last line, so content + lineBreak over all lines gives back the text.
template <typename F> void forEachLine(QStringView text, F &&f)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = text.indexOf(u'\n', start);
        if (lf < 0) {
            f(text.sliced(start), QStringView());
            return;
        }
        qsizetype end = lf;
        if (end > start && text[end - 1] == u'\r') {
            --end;
        }
        f(text.sliced(start, end - start), text.sliced(end, lf + 1 - end));
        start = lf + 1;
    }
}

// Appends the grapheme clusters of text in reverse order. Line breaks are clusters of their own
// ("\r\n" is one), so whole lines come out in reverse order too.
void appendReversedClusters(QString &out, QStringView text)
{
    if (text.size() < 2) {
        out += text;
        return;
    }
    QVarLengthArray<qsizetype, 128> boundaries;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype pos = 0; pos >= 0; pos = finder.toNextBoundary()) {
        boundaries.append(pos);
    }
    for (qsizetype i = boundaries.size() - 1; i > 0; --i) {
        out += text.sliced(boundaries[i - 1], boundaries[i] - boundaries[i - 1]);
    }
}

// The white space that a "\s" pattern without Unicode options matches.
bool isAsciiSpace(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
        return true;
    default:
        return false;
    }
}

} // namespace

QString reversed(const QString &text)
{
    QString out;
    out.reserve(text.size());
    appendReversedClusters(out, text);
    return out;
}

QString reversedPerLine(const QString &text)
{
    QString out;
    out.reserve(text.size());
    forEachLine(text, [&out](QStringView content, QStringView lineBreak) {
        appendReversedClusters(out, content);
        out += lineBreak;
    });
    return out;
}

QString wordOrderReversed(const QString &text)
{
    QString out;
    out.reserve(text.size());
    forEachLine(text, [&out](QStringView content, QStringView lineBreak) {
        const QList<QStringView> parts = content.split(u' ');
        for (qsizetype i = parts.size() - 1; i >= 0; --i) {
            out += parts[i];
            if (i > 0) {
                out += u' ';
            }
        }
        out += lineBreak;
    });
    return out;
}

QString withoutEmptyLines(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool keptAny = false;
    QStringView breakAfterLastKept;
    forEachLine(text, [&](QStringView content, QStringView lineBreak) {
        if (content.trimmed().isEmpty()) {
            return;
        }
        // A kept line's break is written only once a later line is kept, so the text never
        // ends in a line break.
        if (keptAny) {
            out += breakAfterLastKept;
        }
        out += content;
        breakAfterLastKept = lineBreak;
        keptAny = true;
    });
    return out;
}

QString withoutDoubleSpaces(const QString &text)
{
    QString out;
    out.reserve(text.size());
    QChar previous;
    for (const QChar c : text) {
        if (!(c == u' ' && previous == u' ')) {
            out += c;
        }
        previous = c;
    }
    return out;
}

QString tabsToSpaces(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\t') {
            out += QLatin1String("    ");
        } else {
            out += c;
        }
    }
    return out;
}

qsizetype wordCount(const QString &text)
{
    // Trimming drops Unicode white space at the ends, but only ASCII white space separates words
    // inside, so an ideographic space between two words joins them into one.
    qsizetype count = 0;
    bool inWord = false;
    for (const QChar c : QStringView(text).trimmed()) {
        const bool separator = isAsciiSpace(c);
        if (!separator && !inWord) {
            ++count;
        }
        inWord = !separator;
    }
    return count;
}

qsizetype lineCount(const QString &text)
{
    return text.isEmpty() ? 0 : text.count(u'\n') + 1;
}

} // namespace text
