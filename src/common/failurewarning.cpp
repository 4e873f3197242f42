#include "failurewarning.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QStringList>

namespace {
// The translation context of this file's texts.
struct FailureWarning
{
    Q_DECLARE_TR_FUNCTIONS(FailureWarning)
};
} // namespace

void warnFileFailures(
    QWidget *parent, const QString &title, const QString &text, const QList<FileFailure> &failures)
{
    QStringList lines;
    for (const FileFailure &failure : failures) {
        lines << FailureWarning::tr("%1: %2").arg(
            QDir::toNativeSeparators(failure.path), failure.reason);
    }
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    box.exec();
}
