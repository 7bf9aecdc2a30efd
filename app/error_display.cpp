#include "error_display.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <algorithm>

#include "application.h"

namespace velmor {

namespace {

bool IsUtf8Lead(char byte) {
    return (static_cast<unsigned char>(byte) & 0xc0) != 0x80;
}

// Whether text has more than limit characters; looks at no more than it must.
bool LongerThan(std::string_view text, qsizetype limit) {
    qsizetype count = 0;
    for (const char byte : text)
        if (IsUtf8Lead(byte) && ++count > limit) return true;
    return false;
}

// Characters whose bidirectional class can move what stands around them.
bool MovesNeighbours(QChar::Direction direction) {
    switch (direction) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirPDF:
        case QChar::DirLRI:
        case QChar::DirRLI:
        case QChar::DirFSI:
        case QChar::DirPDI:
            return true;
        default:
            return false;
    }
}

QString Isolated(const QString& text) {
    bool needed = false;
    qsizetype open = 0, stray = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t code =
            pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        if (code > 0xffff) ++i;
        const QChar::Direction direction = QChar::direction(code);
        needed = needed || MovesNeighbours(direction);
        if (direction == QChar::DirLRI || direction == QChar::DirRLI || direction == QChar::DirFSI)
            ++open;
        else if (direction == QChar::DirPDI)
            open > 0 ? --open : ++stray;
    }
    if (!needed) return text;
    // A closing isolate of the text's own would close ours early: one more opening for each.
    // Closing every isolate still open also ends any embedding or override inside them.
    return QString(stray + 1, QChar(0x2068)) + text + QString(open + 1, QChar(0x2069));
}

}  // namespace

QString QuotedForDisplay(std::string_view text) {
    if (!LongerThan(text, kLongestQuoted))
        return Isolated(QString::fromUtf8(text.data(), qsizetype(text.size())));

    // Enough bytes for kQuotedEnd characters of up to four bytes, cut at character boundaries.
    const size_t span = std::min(4 * size_t(kQuotedEnd), text.size());
    std::string_view head = text.substr(0, span);
    while (head.size() < text.size() && !head.empty() && !IsUtf8Lead(text[head.size()]))
        head.remove_suffix(1);
    std::string_view tail = text.substr(text.size() - span);
    while (!tail.empty() && !IsUtf8Lead(tail.front())) tail.remove_prefix(1);

    const QList<uint> first = QString::fromUtf8(head.data(), qsizetype(head.size())).toUcs4();
    const QList<uint> last = QString::fromUtf8(tail.data(), qsizetype(tail.size())).toUcs4();
    QList<uint> shown = first.first(kQuotedEnd);
    shown.append(0x2026);
    shown.append(last.last(kQuotedEnd));
    return Isolated(
        QString::fromUcs4(reinterpret_cast<const char32_t*>(shown.constData()), shown.size()));
}

QString WithFullStop(const QString& message) {
    // Compared as UTF-16 code units: every non-ASCII character, both halves of a surrogate pair
    // included, sorts above '.', just as a double-byte character's lead byte does.
    if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
    return message;
}

void ShowError(const QString& message) {
    // A drag or a pressed button would otherwise keep the mouse away from the box.
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();

    const QPointer<QWidget> active = QApplication::activeWindow();
    const QPointer<QWidget> focus = QApplication::focusWidget();

    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), WithFullStop(message),
                    QMessageBox::Ok, active);
    // Messages quote what the user typed, which must not be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();

    // Not every platform hands the activation back when the box closes (X without a window
    // manager does not): the user goes on where they were.
    if (active) active->activateWindow();
    if (focus) focus->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace velmor
