#pragma once

// Answering the modal dialogs that a button or a slot opens, so no test hangs on one.

#include <QtWidgets>

#include <functional>

namespace dialogs {

// Qt's own dialogs, so the tests can find and answer them.
inline const bool s_qtDialogs = (QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs), true);

// One expected dialog: its class, its title or (a message box) words of its texts, its answer.
struct Step
{
    const QMetaObject *kind = nullptr;
    QString what;
    std::function<void(QWidget *)> answer;
};

// Runs action while the steps answer its modal dialogs in order; returns what went wrong, if
// anything. Any other dialog is closed, so a wrong turn fails instead of hanging.
[[nodiscard]] inline QString runWithDialogs(
    const std::function<void()> &action, QList<Step> steps = {})
{
    QStringList errors;
    QList<QPointer<QWidget>> seen; // a file dialog stays active a moment after its nested box
    qsizetype next = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || seen.contains(w)) {
            return;
        }
        seen << w;
        auto *box = qobject_cast<QMessageBox *>(w);
        const QString shown = box ? box->text() + '\n' + box->informativeText() : w->windowTitle();
        if (next < steps.size() && steps.at(next).kind->cast(w)
            && shown.contains(steps.at(next).what)) {
            // Answered from its own timer, so the poll sees a dialog the answer opens.
            QTimer::singleShot(0, w, [w, answer = steps.at(next++).answer] { answer(w); });
            return;
        }
        // A progress dialog asks nothing: it goes once its work is done.
        if (qobject_cast<QProgressDialog *>(w)) {
            return;
        }
        errors << QStringLiteral("unexpected dialog: ") + shown;
        QTimer::singleShot(0, w, [w] { w->close(); });
    });
    poll.start(5);
    action();
    for (; next < steps.size(); ++next) {
        errors << QStringLiteral("never shown: ") + steps.at(next).what;
    }
    return errors.join(QLatin1Char('\n'));
}

inline Step messageBox(const QString &text, QMessageBox::StandardButton button = QMessageBox::Ok)
{
    return { &QMessageBox::staticMetaObject, text, [button](QWidget *w) {
                static_cast<QMessageBox *>(w)->button(button)->click();
            } };
}

// The names typed into the file dialog (several as "a" "b"), relative to folder; none cancels.
inline Step fileDialog(const QString &title, const QString &folder, const QStringList &names)
{
    return { &QFileDialog::staticMetaObject, title, [=](QWidget *w) {
                auto *dialog = static_cast<QFileDialog *>(w);
                if (names.isEmpty()) {
                    return dialog->reject();
                }
                dialog->setDirectory(folder);
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                    ->setText(names.size() == 1 ? names.first() : '"' + names.join("\" \"") + '"');
                static_cast<QDialog *>(dialog)->accept();
            } };
}

// The number or text typed into the input dialog; nothing cancels.
inline Step inputDialog(const QString &title, const QVariant &typed = {})
{
    return { &QInputDialog::staticMetaObject, title, [=](QWidget *w) {
                auto *dialog = static_cast<QInputDialog *>(w);
                typed.typeId() == QMetaType::Int ? dialog->setIntValue(typed.toInt())
                                                 : dialog->setTextValue(typed.toString());
                typed.isValid() ? dialog->accept() : dialog->reject();
            } };
}

// Clicks the page's button with this text (a tool button first), answering its dialogs.
[[nodiscard]] inline QString click(QWidget *page, const QString &text, QList<Step> steps = {})
{
    QList<QAbstractButton *> buttons;
    for (QAbstractButton *button : page->findChildren<QAbstractButton *>()) {
        if (button->text() == text) {
            qobject_cast<QToolButton *>(button) ? buttons.prepend(button) : buttons.append(button);
        }
    }
    return buttons.isEmpty()
        ? QStringLiteral("no button ") + text
        : runWithDialogs([button = buttons.first()] { button->click(); }, std::move(steps));
}

} // namespace dialogs
