#pragma once

// Shared by the PDF suites: answering the modal dialogs a command opens, and small fixtures.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSize>
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

struct Step
{
    QString what;
    std::function<bool(QWidget *)> matches;
    std::function<void(QWidget *)> answer;
};

// Answers the modal dialogs of one action in the order given. A dialog that is not the next one
// expected is recorded and closed, so a wrong turn fails instead of hanging.
class ModalScript : public QObject
{
public:
    explicit ModalScript(QList<Step> steps)
        : m_steps(std::move(steps))
    {
        watch();
    }

    // Empty when every dialog came as expected.
    QString report() const
    {
        QStringList lines = m_errors;
        for (qsizetype i = m_next; i < m_steps.size(); ++i) {
            lines << QStringLiteral("never shown: ") + m_steps.at(i).what;
        }
        return lines.join(QLatin1Char('\n'));
    }

private:
    // One timer per expected dialog: answering one may open the next inside the same call.
    void watch()
    {
        auto *timer = new QTimer(this);
        timer->setInterval(5);
        connect(timer, &QTimer::timeout, this, [this, timer] {
            QWidget *w = QApplication::activeModalWidget();
            // Every dialog answered so far: the file dialog stays active for a moment after its
            // "already exists" box was answered, and must not count as a new dialog.
            if (!w || m_answered.contains(w)) {
                return;
            }
            timer->stop();
            timer->deleteLater();
            m_answered << w;
            watch();
            if (m_next < m_steps.size() && m_steps.at(m_next).matches(w)) {
                m_steps.at(m_next++).answer(w);
                return;
            }
            auto *box = qobject_cast<QMessageBox *>(w);
            m_errors << QStringLiteral("unexpected dialog \"%1\" %2")
                            .arg(w->windowTitle(), box ? box->text() : QString());
            if (auto *dialog = qobject_cast<QDialog *>(w)) {
                dialog->reject();
            } else {
                w->close();
            }
        });
        timer->start();
    }

    QList<Step> m_steps;
    qsizetype m_next = 0;
    QStringList m_errors;
    QList<QPointer<QWidget>> m_answered;
};

// Runs action while the steps answer its dialogs; empty when every dialog came as expected.
inline QString runWithDialogs(const std::function<void()> &action, QList<Step> steps = {})
{
    const ModalScript script(std::move(steps));
    action();
    return script.report();
}

inline QString runWithDialogs(QObject *object, const char *slot, QList<Step> steps = {})
{
    bool found = false;
    const QString report =
        runWithDialogs([&] { found = QMetaObject::invokeMethod(object, slot); }, std::move(steps));
    return found ? report : QStringLiteral("no slot ") + QLatin1String(slot);
}

// A message box with this text and title, answered with the button.
inline Step messageBox(const QString &text, QMessageBox::StandardButton button = QMessageBox::Ok,
    const QString &title = QStringLiteral("mirvale"))
{
    return { QStringLiteral("message \"%1\"").arg(text),
        [=](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            return box && box->text() == text && box->windowTitle() == title;
        },
        [button](QWidget *w) {
            static_cast<QMessageBox *>(w)->button(button)->click();
        } };
}

// The question a file dialog asks before it replaces a file, answered Yes.
inline Step confirmReplace()
{
    return { QStringLiteral("question whether to replace the file"),
        [](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            return box && box->text().contains(QLatin1String("already exists"));
        },
        [](QWidget *w) {
            static_cast<QMessageBox *>(w)->button(QMessageBox::Yes)->click();
        } };
}

// A file dialog: the names are typed into it (several as "a" "b"), relative to folder; no names
// cancels it. What the dialog proposed goes to proposed when asked for.
inline Step fileDialog(const QString &title, const QString &folder, const QStringList &names,
    QString *proposed = nullptr)
{
    return { QStringLiteral("file dialog \"%1\"").arg(title),
        [title](QWidget *w) { return qobject_cast<QFileDialog *>(w) && w->windowTitle() == title; },
        [=](QWidget *w) {
            auto *dialog = static_cast<QFileDialog *>(w);
            auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (proposed) {
                *proposed = nameEdit->text();
            }
            if (names.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(folder);
            nameEdit->setText(names.size() == 1
                    ? names.first()
                    : QLatin1Char('"') + names.join(QStringLiteral("\" \"")) + QLatin1Char('"'));
            static_cast<QDialog *>(dialog)->accept();
        } };
}

// A dialog choosing a folder; an empty folder cancels it.
inline Step folderDialog(const QString &title, const QString &folder)
{
    return { QStringLiteral("folder dialog \"%1\"").arg(title),
        [title](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            return dialog && w->windowTitle() == title
                && dialog->fileMode() == QFileDialog::Directory;
        },
        [folder](QWidget *w) {
            auto *dialog = static_cast<QFileDialog *>(w);
            if (folder.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(folder);
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(folder);
            static_cast<QDialog *>(dialog)->accept();
        } };
}

// The number dialog, answered with value (0 cancels it). Its label and range go to offered
// when asked for.
inline Step numberDialog(const QString &title, int value, QString *offered = nullptr)
{
    return { QStringLiteral("number dialog \"%1\"").arg(title),
        [title](
            QWidget *w) { return qobject_cast<QInputDialog *>(w) && w->windowTitle() == title; },
        [value, offered](QWidget *w) {
            auto *dialog = static_cast<QInputDialog *>(w);
            if (offered) {
                *offered = QStringLiteral("%1 [%2..%3]")
                               .arg(dialog->labelText())
                               .arg(dialog->intMinimum())
                               .arg(dialog->intMaximum());
            }
            if (value == 0) {
                dialog->reject();
                return;
            }
            dialog->setIntValue(value);
            dialog->accept();
        } };
}

// The text dialog, answered with text (a null text cancels it).
inline Step textDialog(const QString &title, const QString &text)
{
    return { QStringLiteral("text dialog \"%1\"").arg(title),
        [title](
            QWidget *w) { return qobject_cast<QInputDialog *>(w) && w->windowTitle() == title; },
        [text](QWidget *w) {
            auto *dialog = static_cast<QInputDialog *>(w);
            if (text.isNull()) {
                dialog->reject();
                return;
            }
            dialog->setTextValue(text);
            dialog->accept();
        } };
}

// The button of the page whose text is text.
inline QToolButton *button(QWidget *page, const QString &text)
{
    for (QToolButton *candidate : page->findChildren<QToolButton *>()) {
        if (candidate->text() == text) {
            return candidate;
        }
    }
    return nullptr;
}

// A page in a flat colour, told apart from others by its size.
inline QImage plainPage(const QSize &size, const QColor &colour = QColor(90, 140, 200))
{
    QImage page(size, QImage::Format_RGB32);
    page.fill(colour);
    return page;
}

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

// A white page in the given pixel format.
inline QImage whitePage(const QSize &size, QImage::Format format = QImage::Format_RGB32)
{
    return plainPage(size, Qt::white).convertToFormat(format);
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

// Pages told apart by their width, all 120 pixels high.
inline QList<QImage> pagesOfWidths(const QList<int> &widths)
{
    QList<QImage> pages;
    for (const int width : widths) {
        pages.append(plainPage(QSize(width, 120)));
    }
    return pages;
}

inline QList<int> widthsOf(const QList<QImage> &pages)
{
    QList<int> widths;
    for (const QImage &page : pages) {
        widths.append(page.width());
    }
    return widths;
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

// The pixel size of a page of the given points rendered at 200 dpi.
inline QSize renderedSize(const QSizeF &points)
{
    return QSize(qRound(points.width() * 200.0 / 72.0), qRound(points.height() * 200.0 / 72.0));
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

// Files of this process cannot grow beyond the limit while it lives (the signal that would end
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
