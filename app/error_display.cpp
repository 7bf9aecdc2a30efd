#include "error_display.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTextBoundaryFinder>
#include <QWidget>

#include <algorithm>

#include "application.h"
#include "dialog_parent.h"
#include "fitted_message_box.h"

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

// Characters whose bidirectional class can move what stands around them; a paragraph break ends
// every isolate.
bool MovesNeighbours(QChar::Direction direction) {
    switch (direction) {
        case QChar::DirB:
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

// Line and paragraph breaks as visible symbols, so that the quote stays inside one paragraph:
// U+2029 as "¶", any other (CR LF counting as one) as "↵".
QString BreaksShown(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QChar::ParagraphSeparator)
            shown += QChar(0x00b6);
        else if (c == QChar::LineSeparator || c.direction() == QChar::DirB) {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
            shown += QChar(0x21b5);
        } else {
            shown += c;
        }
    }
    return shown;
}

QString Isolated(const QString& text) {
    bool needed = text.contains(QChar::LineSeparator);
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
    return QString(stray + 1, QChar(0x2068)) + BreaksShown(text) + QString(open + 1, QChar(0x2069));
}

// The box wraps only where a line may break: a long path or quote without such a place would
// run past the box's edge. A zero-width space after every kLongestRun characters (whole
// graphemes) of such a run lets it wrap; the text reads the same.
QString WrappableAnywhere(const QString& text) {
    constexpr int kLongestRun = 24;
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    QString shown;
    qsizetype start = 0;
    int run = 0;
    for (qsizetype at = graphemes.toNextBoundary(); at >= 0; at = graphemes.toNextBoundary()) {
        shown += QStringView(text).sliced(start, at - start);
        start = at;
        lines.setPosition(at);
        if (lines.isAtBoundary()) {
            run = 0;
        } else if (++run == kLongestRun) {
            shown += QChar(0x200b);
            run = 0;
        }
    }
    return shown;
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

    FittedMessageBox box(QMessageBox::Critical, ApplicationTitle(),
                         WrappableAnywhere(WithFullStop(message)), QMessageBox::Ok, DialogParent());
    // Messages quote what the user typed, which must not be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();

    // Not every platform hands the activation back when the box closes (X without a window
    // manager does not): the user goes on where they were.
    if (active) active->activateWindow();
    if (focus) focus->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace velmor
