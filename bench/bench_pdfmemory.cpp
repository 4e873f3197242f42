// The memory the PDF page holds of its pages: after opening 64 US Letter pages through its "Open
// PDF", and after removing every other page and editing on until the undo history no longer
// holds a removed page (15 rotations of the first page). Counted as the page areas' memory
// (the pages as read) and this process's own anonymous memory (what edits copied, thumbnails),
// each above what they were before the open. Linux only.
#include "tools/pdf/pdftoolspage.h"
#include "tools/pdf/thumbnaillist.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>


namespace {

constexpr int kPages = 64;

bool writeLetterPdf(const QString &path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    QPainter painter(&writer);
    for (int page = 0; page < kPages && painter.isActive(); ++page) {
        if (page > 0) {
            writer.newPage();
        }
        painter.drawText(QPointF(200, 200), QStringLiteral("Page %1").arg(page + 1));
    }
    return painter.end();
}

void click(PdfToolsPage &page, const QString &text)
{
    for (QToolButton *button : page.findChildren<QToolButton *>()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
}

// Megabytes of shared memory on the machine (page areas are), and of anonymous memory of this
// process. The machine's shared memory counts others' too: run this on a quiet machine.
std::pair<qint64, qint64> heldMegabytes()
{
    const auto field = [](const QString &path, const QByteArray &key) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (line.startsWith(key)) {
                    return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() >> 10;
                }
            }
        }
        return qint64(0);
    };
    return { field(QStringLiteral("/proc/meminfo"), "Shmem:"),
        field(QStringLiteral("/proc/self/status"), "RssAnon:") };
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("letter.pdf"));
    if (!dir.isValid() || !writeLetterPdf(pdf)) {
        std::fprintf(stderr, "could not write the test document\n");
        return 1;
    }
    PdfToolsPage page;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &page, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            answer.stop();
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(pdf);
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    answer.start(1);
    const auto [sharedBefore, anonymousBefore] = heldMegabytes();
    click(page, QStringLiteral("Open PDF"));
    auto *thumbnails = page.findChild<pdf::ThumbnailList *>();
    if (thumbnails->count() != kPages) {
        std::fprintf(stderr, "the page did not open the document\n");
        return 1;
    }
    const auto [readAreas, readAnonymous] = heldMegabytes();
    for (int removed = kPages - 2; removed >= 0; removed -= 2) {
        thumbnails->setCurrentRow(removed);
        click(page, QStringLiteral("Remove page"));
    }
    thumbnails->setCurrentRow(0);
    for (int edit = 0; edit < 15; ++edit) {
        click(page, QStringLiteral("Rotate left"));
    }
    const auto [leftAreas, leftAnonymous] = heldMegabytes();
    std::printf("%d Letter pages read: page areas %lld MB, anonymous %lld MB; %d pages left, undo "
                "past the removals: page areas %lld MB, anonymous %lld MB\n",
        kPages, readAreas - sharedBefore, readAnonymous - anonymousBefore,
        int(thumbnails->count()), leftAreas - sharedBefore, leftAnonymous - anonymousBefore);
    return 0;
}
