#pragma once

#include <QString>

// The text tools' one-click transformations and counts, as pure functions on plain text.
//
// A line break is a line feed, or a carriage return directly followed by a line feed; the
// per-line transformations treat the whole break as one and write it back unchanged, so text
// with Windows line endings keeps them. Reversing works on grapheme clusters (what a reader sees
// as one character), so surrogate pairs, emoji sequences and combining marks stay intact and
// reversing twice gives back the original text.
namespace text {

// The whole text backwards: the last line comes first and every line reads backwards.
QString reversed(const QString &text);

// Every line backwards, the lines staying in their order.
QString reversedPerLine(const QString &text);

// In every line, the space-separated parts (U+0020 only, empty parts kept) in reverse order,
// so runs of spaces are mirrored with the words; tabs stay inside the words.
QString wordOrderReversed(const QString &text);

// Drops every line that is empty or white space only; kept lines stay exactly as they were.
QString withoutEmptyLines(const QString &text);

// Every run of two or more spaces (U+0020) becomes one space; tabs are left alone.
QString withoutDoubleSpaces(const QString &text);

// Every tab becomes four spaces, whatever its column.
QString tabsToSpaces(const QString &text);

// Parts of the text, trimmed of Unicode white space, separated by ASCII white space.
qsizetype wordCount(const QString &text);

// 0 for an empty text, otherwise the number of line feeds plus one.
qsizetype lineCount(const QString &text);

} // namespace text
