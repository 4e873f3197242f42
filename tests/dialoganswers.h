#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

// Clicks the button and answers every modal dialog it opens: a file dialog with name in dir
// (cancelled when name is empty; the path it proposed goes to *proposed), a question with Yes, a
// message box by closing it. Returns what each dialog was: its title, and a message box's text.
// Answers run from their own timer, so a dialog that an answer opens is answered too; one still
// open after 20 s is closed, so nothing hangs.
inline QStringList clickAndAnswer(QAbstractButton *button, const QString &dir = {},
    const QString &name = {}, QString *proposed = nullptr)
{
    QStringList seen;
    // Every dialog answered so far: a file dialog stays active for a moment after its nested
    // "already exists" box was answered, and must not count as a new dialog.
    QList<QPointer<QWidget>> answered;
    const QDeadlineTimer deadline(20000);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && answered.contains(modal) && deadline.hasExpired()) {
            modal->close();
        }
        if (!modal || answered.contains(modal)) {
            return;
        }
        answered << modal;
        auto *box = qobject_cast<QMessageBox *>(modal);
        seen << (box ? box->windowTitle() + QStringLiteral(": ") + box->text()
                     : modal->windowTitle());
        QAbstractButton *yes = box ? box->button(QMessageBox::Yes) : nullptr;
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        auto *nameEdit =
            dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        if (nameEdit && proposed) {
            *proposed = dialog->directory().filePath(nameEdit->text());
        }
        const bool accept = nameEdit && !name.isEmpty();
        if (accept) {
            dialog->setDirectory(dir);
            nameEdit->setText(name);
        }
        QTimer::singleShot(0, modal, [modal, yes, accept] {
            if (yes) {
                yes->click();
            } else if (accept) {
                static_cast<QDialog *>(modal)->accept();
            } else {
                modal->close();
            }
        });
    });
    poll.start(5);
    button->click();
    return seen;
}
