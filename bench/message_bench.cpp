// velmor_message_bench [MB...]: with a text of each size (default 1 and 50 MB) in EditR1, the
// time from a click on 计算 to the error box and the peak memory meanwhile; also what pasting the
// text into the input box cost, and for comparison what the same paste costs Qt's own line edit
// (which lays the whole line out and keeps an undo record per character). Each size runs in a
// process of its own. Offscreen unless QT_QPA_PLATFORM says otherwise. Targets: the box within
// 1 s for 1 MB and 5 s for 50 MB; for 10 MB the peak of paste and 计算 together at most 310 MB.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include "input_box.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "application.h"
#include "each_size.h"
#include "frmvelmor.h"

namespace {

// A figure of /proc/self/status in MB (VmHWM: the peak resident memory, VmRSS: the present),
// or -1.
long StatusMb(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong() / 1024;
    return -1;
}

// Starts the peak over from the present resident memory (Linux 4.0 and later).
void ResetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

int Measure(TFrmVelmor& window, double megabytes) {
    auto* edit = window.findChild<velmor::InputBox*>(QStringLiteral("EditR1"));
    auto* calc = window.findChild<QPushButton*>(QStringLiteral("BitBtnCalc"));
    if (!edit || !calc) return 2;

    const qsizetype size = qsizetype(megabytes * 1024 * 1024);
    QString text(size, u'x');
    for (qsizetype i = 0; i < size; i += 97) text[i] = u'7';
    // Pasted, as a user puts so much text into a box.
    QApplication::clipboard()->setText(text);
    text.clear();
    edit->setFocus();
    ResetPeakRss();
    QElapsedTimer typed;
    typed.start();
    edit->paste();
    QApplication::processEvents();
    const qint64 typedMs = typed.elapsed();
    const long typedPeakMb = StatusMb("VmHWM:");
    ResetPeakRss();
    const long beforeMb = StatusMb("VmRSS:");

    QElapsedTimer clock;
    timespec cpuStart = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
    long long cpuMs = -1;
    qint64 shownMs = -1;
    QString shown;
    // Looks for the box as soon as the click's handler runs its event loop.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (shownMs < 0 && box->isVisible()) {
                shownMs = clock.elapsed();
                timespec cpu = {};
                clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
                cpuMs = (cpu.tv_sec - cpuStart.tv_sec) * 1000LL +
                        (cpu.tv_nsec - cpuStart.tv_nsec) / 1000000;
                shown = box->text();
                box->accept();
            }
        }
    });
    poll.start(1);
    clock.start();
    calc->click();
    const long calcPeakMb = StatusMb("VmHWM:");
    std::printf(
        "%6.1f MB typed: 计算 to box %5lld ms (CPU %5lld ms), RSS %5ld MB before, peak %5ld MB, "
        "box text %lld chars | paste %6lld ms, peak %5ld MB",
        megabytes, static_cast<long long>(shownMs), cpuMs, beforeMb, calcPeakMb,
        static_cast<long long>(shown.size()), static_cast<long long>(typedMs), typedPeakMb);
    std::fflush(stdout);

    // The same paste into Qt's own line edit, painted once, as a window would.
    ResetPeakRss();
    const long qtBeforeMb = StatusMb("VmRSS:");
    QLineEdit qt;
    qt.setMaxLength(std::numeric_limits<int>::max());
    qt.show();
    typed.restart();
    qt.paste();
    qt.repaint();
    std::printf(" | QLineEdit: paste %6lld ms, +%5ld MB peak\n",
                static_cast<long long>(typed.elapsed()), StatusMb("VmHWM:") - qtBeforeMb);
    std::fflush(stdout);
    return shownMs < 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    return velmor::bench::RunEachSize(argc, argv, {1, 50}, Measure);
}
