#pragma once

#include <QObject>

class QProgressDialog;
class QWidget;

namespace pdf {

class PdfReader;

// Made on the stack around PdfReader::read. The page's side of a PDF being read: a modal progress
// dialog, a child of the page that goes with this object, that appears once the reading has taken half a second, names the
// file, counts the pages read and cancels the reading; and, for as long as this object lives, no
// click or key press reaches the page's window, so none runs during the reading and none waits to
// run after it. Other windows (the dialog, a message box a timer opens meanwhile) take input.
class PdfReadProgress : public QObject
{
    Q_OBJECT

public:
    PdfReadProgress(PdfReader *reader, const QString &fileName, QWidget *page);
    ~PdfReadProgress() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window = nullptr;
    QProgressDialog *m_dialog = nullptr;
};

} // namespace pdf
