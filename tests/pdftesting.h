#pragma once

// Shared by the PDF suites: answering the modal dialogs a command opens, and small fixtures.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace pdftest {

// Qt's own dialogs, so the tests can find and answer them.
inline const bool s_qtDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

// One expected dialog: its class, its window title or (for a message box) words of its text, and
// its answer.
struct Step
{
    const QMetaObject *kind = nullptr;
    QString what;
    std::function<void(QWidget *)> answer;
};

// Runs action while the steps answer its modal dialogs in order. Returns what went wrong, empty
// when every dialog came as expected; any other dialog is closed, so a wrong turn fails instead of
// hanging.
inline QString runWithDialogs(const std::function<void()> &action, QList<Step> steps = {})
{
    QStringList errors;
    // A file dialog stays active for a moment after its nested "already exists" box was answered.
    QList<QPointer<QWidget>> seen;
    qsizetype next = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || seen.contains(w)) {
            return;
        }
        seen << w;
        auto *box = qobject_cast<QMessageBox *>(w);
        const QString shown = box ? box->text() : w->windowTitle();
        if (next < steps.size() && steps.at(next).kind->cast(w)
            && shown.contains(steps.at(next).what)) {
            // Answered from its own timer, so the poll sees a dialog the answer opens.
            QTimer::singleShot(0, w, [w, answer = steps.at(next++).answer] { answer(w); });
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

inline QString runWithDialogs(QObject *object, const char *slot, QList<Step> steps = {})
{
    bool found = false;
    const QString report =
        runWithDialogs([&] { found = QMetaObject::invokeMethod(object, slot); }, std::move(steps));
    return found ? report : QStringLiteral("no slot ") + QLatin1String(slot);
}

inline Step messageBox(const QString &text, QMessageBox::StandardButton button = QMessageBox::Ok)
{
    return { &QMessageBox::staticMetaObject, text, [button](QWidget *w) {
                static_cast<QMessageBox *>(w)->button(button)->click();
            } };
}

// The question a file dialog asks before it replaces a file, answered Yes.
inline Step confirmReplace()
{
    return messageBox(QStringLiteral("already exists"), QMessageBox::Yes);
}

// The names typed into the file dialog (several as "a" "b"), relative to folder; none cancels.
inline Step fileDialog(const QString &title, const QString &folder, const QStringList &names)
{
    return { &QFileDialog::staticMetaObject, title, [=](QWidget *w) {
                auto *dialog = static_cast<QFileDialog *>(w);
                auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (names.isEmpty()) {
                    return dialog->reject();
                }
                dialog->setDirectory(folder);
                nameEdit->setText(
                    names.size() == 1 ? names.first() : '"' + names.join("\" \"") + '"');
                static_cast<QDialog *>(dialog)->accept();
            } };
}

inline Step folderDialog(const QString &title, const QString &folder)
{
    return fileDialog(title, folder, folder.isEmpty() ? QStringList() : QStringList { folder });
}

// The number or text typed into the input dialog; 0 or a null text cancels.
inline Step inputDialog(const QString &title, bool cancel, std::function<void(QInputDialog *)> type)
{
    return { &QInputDialog::staticMetaObject, title, [=](QWidget *w) {
                auto *dialog = static_cast<QInputDialog *>(w);
                if (cancel) {
                    return dialog->reject();
                }
                type(dialog);
                dialog->accept();
            } };
}

inline Step numberDialog(const QString &title, int value)
{
    return inputDialog(title, value == 0, [value](QInputDialog *d) { d->setIntValue(value); });
}

inline Step textDialog(const QString &title, const QString &text)
{
    return inputDialog(title, text.isNull(), [text](QInputDialog *d) { d->setTextValue(text); });
}

// Clicks the page's tool button with this text while the steps answer its dialogs.
inline QString click(QWidget *page, const QString &text, QList<Step> steps = {})
{
    for (QToolButton *tool : page->findChildren<QToolButton *>()) {
        if (tool->text() == text) {
            return runWithDialogs([tool] { tool->click(); }, std::move(steps));
        }
    }
    return QStringLiteral("no button ") + text;
}

inline QImage plainPage(const QSize &size, const QColor &colour = QColor(90, 140, 200),
    QImage::Format format = QImage::Format_RGB32)
{
    QImage page(size, QImage::Format_ARGB32);
    page.fill(colour);
    return page.convertToFormat(format);
}

// Pages told apart by their sizes.
inline QList<QImage> plainPages(const QList<QSize> &sizes)
{
    QList<QImage> pages;
    for (const QSize &size : sizes) {
        pages.append(plainPage(size));
    }
    return pages;
}

inline QList<QSize> sizesOf(const QList<QImage> &pages)
{
    QList<QSize> sizes;
    for (const QImage &page : pages) {
        sizes.append(page.size());
    }
    return sizes;
}

// Pages told apart by their widths, all 25 pixels high.
inline QList<QImage> pagesOfWidths(const QList<int> &widths)
{
    QList<QSize> sizes;
    for (const int width : widths) {
        sizes.append(QSize(width, 25));
    }
    return plainPages(sizes);
}

inline QList<int> widthsOf(const QList<QImage> &pages)
{
    QList<int> widths;
    for (const QImage &page : pages) {
        widths.append(page.width());
    }
    return widths;
}

// How many pixels of the area have the colour (alpha ignored).
inline int countPixels(const QImage &page, const QColor &colour, const QRect &area)
{
    const QImage rgb = page.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area.intersected(rgb.rect());
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            count += rgb.pixel(x, y) == colour.rgb() ? 1 : 0;
        }
    }
    return count;
}

// A PDF on white paper with pages of the given sizes in points, each with a black bar and text.
inline bool writeTestPdf(const QString &path, const QList<QSizeF> &pointSizes)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter painter;
    for (qsizetype i = 0; i < pointSizes.size(); ++i) {
        writer.setPageSize(
            QPageSize(pointSizes.at(i), QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (i == 0 ? !painter.begin(&writer) : !writer.newPage()) {
            return false;
        }
        painter.fillRect(QRectF(10, 10, 40, 8), Qt::black);
        painter.drawText(QPointF(10, 40), QStringLiteral("Page %1").arg(i + 1));
    }
    return painter.end();
}

// The page sizes, in points, of the PDF at path; empty when it does not open.
inline QList<QSizeF> pdfPointSizes(const QString &path)
{
    QPdfDocument doc;
    QList<QSizeF> sizes;
    if (doc.load(path) == QPdfDocument::Error::None) {
        for (int page = 0; page < doc.pageCount(); ++page) {
            sizes.append(doc.pagePointSize(page));
        }
    }
    return sizes;
}

// While it lives, files of this process cannot grow beyond the limit (the signal that would end
// the process is ignored): a full disk, as far as a writer can tell.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    Q_DISABLE_COPY_MOVE(FileSizeLimit)

private:
    rlimit m_old {};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace pdftest
