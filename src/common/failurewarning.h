#pragma once

#include <QList>
#include <QString>

class QWidget;

// A file an action could not write, and why.
struct FileFailure
{
    QString path;
    QString reason;
};

// The warning for a failed action on files: its text in the action's own words, and under it
// each file (native separators) with the reason, so that a full disk, a folder that may not be
// written and a name without a format's suffix can be told apart.
void warnFileFailures(
    QWidget *parent, const QString &title, const QString &text, const QList<FileFailure> &failures);
