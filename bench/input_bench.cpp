// velmor_input_bench [MB]: an input box holding a line of MB megabytes (default 10) of each kind
// a hostile paste could bring (zero-width characters, one base with combining marks only, Chinese,
// right-to-left, mixed words, tabs, emoji) and the time of each step a user takes in it, with its
// repaint: the text set, Home, two Right, Ctrl+Right, End, a character typed, Shift+Left, and a
// double click selecting a word. Offscreen unless QT_QPA_PLATFORM says otherwise. Target: every
// step within 0.1 s, whatever the text.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "input_box.h"

namespace {

void Press(QWidget& box, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers,
                    key == Qt::Key_X ? QStringLiteral("x") : QString());
    QApplication::sendEvent(&box, &press);
}

void DoubleClick(QWidget& box, QPointF at) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, box.mapToGlobal(at), Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&box, &event);
    }
}

QString Repeated(QStringView piece, qsizetype size) {
    QString text;
    text.reserve(size + piece.size());
    while (text.size() < size) text += piece;
    return text;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype size = qsizetype((argc > 1 ? std::atof(argv[1]) : 10) * 1024 * 1024);
    QString marks(size, QChar(0x0301));
    marks[0] = u'a';
    const std::vector<std::pair<const char*, QString>> kinds = {
        {"zero-width", QString(size, QChar(0x200B))},
        {"combining", marks},
        {"Chinese", QString(size, QChar(0x7535))},
        {"Hebrew", QString(size, QChar(0x05D0))},
        {"mixed words", Repeated(u"abc \u05D0\u05D1\u05D2 123, ", size)},
        {"tabs", QString(size, u'\t')},
        {"emoji", Repeated(u"\U0001F600", size)},
    };
    using Step = std::function<void(velmor::InputBox&)>;
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = {}) {
        return Step([k, m](velmor::InputBox& box) { Press(box, k, m); });
    };
    const std::vector<std::pair<const char*, Step>> steps = {
        {"Home", key(Qt::Key_Home)},
        {"Right x2",
         [](velmor::InputBox& box) {
             Press(box, Qt::Key_Right);
             Press(box, Qt::Key_Right);
         }},
        {"Ctrl+Right", key(Qt::Key_Right, Qt::ControlModifier)},
        {"End", key(Qt::Key_End)},
        {"type", key(Qt::Key_X)},
        {"Shift+Left", key(Qt::Key_Left, Qt::ShiftModifier)},
        {"double click", [](velmor::InputBox& box) { DoubleClick(box, QPointF(60, 10)); }},
    };
    qint64 slowest = 0;
    for (const auto& [name, text] : kinds) {
        velmor::InputBox box;
        box.resize(121, 20);
        box.show();
        box.setFocus();
        QElapsedTimer clock;
        clock.start();
        box.setText(text);
        box.repaint();
        std::printf("%-11s set %4lld ms", name, static_cast<long long>(clock.elapsed()));
        slowest = std::max(slowest, clock.elapsed());
        for (const auto& [stepName, step] : steps) {
            clock.restart();
            step(box);
            box.repaint();
            std::printf(" | %s %4lld", stepName, static_cast<long long>(clock.elapsed()));
            slowest = std::max(slowest, clock.elapsed());
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("slowest step %lld ms (target 100 ms)\n", static_cast<long long>(slowest));
    return slowest <= 100 ? 0 : 1;
}
