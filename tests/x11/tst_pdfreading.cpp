#include "pdftesting.h"

#include <QtTest>

using namespace dialogs;

// A PDF that takes seconds a page, read as a user meets it: the progress dialog comes within a
// second, Cancel answers at once and leaves everything as it was, and what the user clicked or
// typed meanwhile never runs. Input comes through the X server (xdotool), as a user's does.
class tst_PdfReading : public QObject
{
    Q_OBJECT

private slots:
    void cancelKeepsEverythingAndInputDoesNotWait();
};

namespace {

// Pages of US Letter that each draw a form eight times, eight forms deep: 16 million filled
// squares a page, many seconds of work for the engine in a file of 5 KB.
QByteArray slowPdf(int pages)
{
    constexpr int kDepth = 8;
    QList<QByteArray> objects { "<< /Type /Catalog /Pages 2 0 R >>", {} };
    QByteArray drawNext;
    for (int i = 0; i < 8; ++i) {
        drawNext += "q 1 0 0 1 " + QByteArray::number(i % 4) + ' ' + QByteArray::number(i / 4)
            + " cm /F Do Q ";
    }
    for (int level = 0; level < kDepth; ++level) {
        const bool last = level == kDepth - 1;
        const QByteArray content = last ? "0 0 1 rg 10 10 20 20 re f" : drawNext;
        const QByteArray resources = last
            ? QByteArray()
            : "/Resources << /XObject << /F " + QByteArray::number(level + 4) + " 0 R >> >> ";
        objects << "<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] " + resources + "/Length "
                + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream";
    }
    const int contents = int(objects.size()) + 1;
    objects << "<< /Length 5 >>\nstream\n/F Do\nendstream";
    QByteArray kids;
    for (int page = 0; page < pages; ++page) {
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject "
                   "<< /F 3 0 R >> >> /Contents "
                + QByteArray::number(contents) + " 0 R >>";
        kids += QByteArray::number(objects.size()) + " 0 R ";
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>";
    return pdftest::buildPdf(objects);
}

} // namespace

void tst_PdfReading::cancelKeepsEverythingAndInputDoesNotWait()
{
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    QVERIFY2(!xdotool.isEmpty(), "xdotool is needed (scripts/setup.sh installs it)");
    QTemporaryDir dir;
    QFile slow(dir.filePath("slow.pdf"));
    QVERIFY(slow.open(QIODevice::WriteOnly) && slow.write(slowPdf(4)) > 0);
    slow.close();

    pdftest::PdfPage page;
    QCOMPARE(page.add("30x20 [40x20]"), QString());
    QCOMPARE(page.click("Rotate right"), QString());
    page.widget.setGeometry(0, 0, 1200, 900);
    page.widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.widget));
    QToolButton *rotate = page.button("Rotate right");
    rotate->setFocus();
    const QPoint target = rotate->mapToGlobal(rotate->rect().center());

    // Once the file is chosen: a click on "Rotate right" and a space bar press on it, while the
    // pages are being read and before any dialog shows.
    QProcess input;
    QElapsedTimer sinceChosen;
    const Step chosen { &QFileDialog::staticMetaObject, "Add pages", [&](QWidget *w) {
                           fileDialog("Add pages", dir.path(), { "slow.pdf" }).answer(w);
                           sinceChosen.start();
                           input.start(xdotool,
                               QStringLiteral("sleep 0.1 mousemove %1 %2 click 1 key space")
                                   .arg(target.x())
                                   .arg(target.y())
                                   .split(' '));
                       } };
    qint64 shownAfter = -1;
    QElapsedTimer sinceCancel;
    const Step progress { &QProgressDialog::staticMetaObject, "mirvale", [&](QWidget *w) {
                             shownAfter = sinceChosen.elapsed();
                             QVERIFY(input.state() == QProcess::NotRunning || input.waitForFinished());
                             sinceCancel.start();
                             w->findChild<QPushButton *>()->click();
                         } };
    QCOMPARE(page.click("Add pages", { chosen, progress }), QString());
    QVERIFY2(shownAfter >= 0 && shownAfter < 1000, qPrintable(QString::number(shownAfter)));
    QVERIFY2(sinceCancel.elapsed() < 2000, qPrintable(QString::number(sinceCancel.elapsed())));
    QCOMPARE(input.exitCode(), 0);

    // Whatever was clicked or typed had its chance to run by now: nothing did.
    QTest::qWait(300);
    QCOMPARE(page.status(), "Rotated page 2 right");
    QCOMPARE(page.state(), "30x20 [20x40]");
    QCOMPARE(page.undoAll(), 2);
}

QTEST_MAIN(tst_PdfReading)
#include "tst_pdfreading.moc"
