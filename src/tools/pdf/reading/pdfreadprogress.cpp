#include "pdfreadprogress.h"

#include "pdfreader.h"

#include <QApplication>
#include <QEvent>
#include <QProgressDialog>
#include <QWindow>

namespace pdf {

namespace {

constexpr int kShowAfterMs = 500;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

PdfReadProgress::PdfReadProgress(PdfReader *reader, const QString &fileName, QWidget *page)
    : m_window(page->window())
    , m_dialog(new QProgressDialog(page))
{
    m_dialog->setWindowTitle(tr("mirvale"));
    m_dialog->setLabelText(tr("Reading %1").arg(fileName));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(kShowAfterMs);
    // No maximum until the page count is known: a busy bar.
    m_dialog->setRange(0, 0);
    // At its minimum the value starts the clock after which the dialog shows itself.
    m_dialog->setValue(0);

    // Queued: a modal dialog's setValue runs the event loop, which must not happen inside the
    // reader's handling of a helper's output. What is still queued when this object goes is
    // dropped with it.
    connect(
        reader, &PdfReader::progressed, this,
        [this, fileName](int pagesDone, int pageCount) {
            m_dialog->setLabelText(
                tr("Reading %1: page %2 of %3").arg(fileName).arg(pagesDone).arg(pageCount));
            m_dialog->setMaximum(pageCount);
            m_dialog->setValue(pagesDone);
        },
        Qt::QueuedConnection);
    connect(m_dialog, &QProgressDialog::canceled, reader, &PdfReader::cancel);
    qApp->installEventFilter(this);
}

PdfReadProgress::~PdfReadProgress()
{
    qApp->removeEventFilter(this);
    // Gone with the reading; the page may outlive many.
    m_dialog->hide();
    m_dialog->deleteLater();
}

bool PdfReadProgress::eventFilter(QObject *watched, QEvent *event)
{
    if (!isUserInput(event->type())) {
        return false;
    }
    if (const auto *widget = qobject_cast<QWidget *>(watched)) {
        return widget->window() == m_window;
    }
    if (const auto *window = qobject_cast<QWindow *>(watched)) {
        return window == m_window->windowHandle();
    }
    return false;
}

} // namespace pdf
