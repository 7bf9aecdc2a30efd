#include "report_box.h"

#include <QKeyEvent>
#include <QList>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include "grapheme.h"

namespace velmor {

namespace {

constexpr int kJoined = QTextFormat::UserProperty;

bool IsJoined(const QTextBlock& block) {
    return block.blockFormat().boolProperty(kJoined);
}

QTextBlockFormat Marked(QTextBlockFormat format, bool joined) {
    if (joined)
        format.setProperty(kJoined, true);
    else
        format.clearProperty(kJoined);
    return format;
}

// Where the piece of text starting at start ends: after the last space near its longest end,
// so that the joint reads like a wrapped line; else at the last whole grapheme that fits.
qsizetype PieceEnd(const QString& text, qsizetype start) {
    const qsizetype limit = start + ReportBox::kLongestPiece;
    for (qsizetype at = limit; at > limit - 256; --at)
        if (text.at(at - 1) == u' ') return at;
    return GraphemeStart(text, limit);
}

// Cuts a block longer than a piece into pieces joined to the one before.
void CutIntoPieces(const QTextBlock& block) {
    if (block.length() - 1 <= ReportBox::kLongestPiece) return;
    const QString text = block.text();
    QList<qsizetype> ends;
    for (qsizetype at = 0; text.size() - at > ReportBox::kLongestPiece;)
        ends.append(at = PieceEnd(text, at));
    QTextCursor cursor(block);
    // From the last so that the earlier places stay where they are.
    for (auto end = ends.crbegin(); end != ends.crend(); ++end) {
        cursor.setPosition(block.position() + int(*end));
        cursor.insertBlock(Marked(block.blockFormat(), true));
    }
}

}  // namespace

QString ReportBox::Text() const {
    QString text;
    text.reserve(document()->characterCount());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin() && !IsJoined(block)) text += QChar::ParagraphSeparator;
        text += block.text();
    }
    return text;
}

void ReportBox::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || source == nullptr || !source->hasText())
        return QPlainTextEdit::insertFromMimeData(source);
    QTextCursor cursor = textCursor();
    // One step to undo, and laid out once, when every piece is in place.
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QTextBlock first = cursor.block();
    cursor.insertText(source->text());
    const QTextBlock last = cursor.block();
    for (QTextBlock block = first;;) {
        const QTextBlock next = block.next();
        // Each block after the first begins after a line break of the text: a real one,
        // although it took its format from the block it was inserted into.
        if (block != first) QTextCursor(block).setBlockFormat(Marked(block.blockFormat(), false));
        CutIntoPieces(block);
        if (block == last) break;
        block = next;
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData* ReportBox::createMimeDataFromSelection() const {
    const QTextCursor selection = textCursor();
    const int start = selection.selectionStart(), end = selection.selectionEnd();
    // The joints inside the selection: the block separators before joined blocks.
    QList<int> joints;
    for (QTextBlock block = document()->findBlock(start).next();
         block.isValid() && block.position() <= end; block = block.next())
        if (IsJoined(block)) joints.append(block.position() - 1);
    if (joints.isEmpty()) return QPlainTextEdit::createMimeDataFromSelection();

    joints.append(end);
    QString text;
    QTextCursor piece(document());
    int from = start;
    for (const int joint : joints) {
        piece.setPosition(from);
        piece.setPosition(joint, QTextCursor::KeepAnchor);
        text += piece.selection().toPlainText();
        from = joint + 1;
    }
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void ReportBox::keyPressEvent(QKeyEvent* event) {
    if (isReadOnly()) return QPlainTextEdit::keyPressEvent(event);
    QTextCursor cursor = textCursor();
    // Backspace as Qt's text boxes read it (with or without Shift), Delete as the platform has it;
    // with a selection, both remove just that.
    const bool bare = !cursor.hasSelection();
    const bool back =
        bare && event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
    const bool forward = bare && event == QKeySequence::Delete;
    // A typed line break is a real one, also inside a piece joined to the one before.
    if (event == QKeySequence::InsertParagraphSeparator) {
        cursor.insertBlock(Marked(cursor.blockFormat(), false));
    } else if (back && cursor.atBlockStart() && IsJoined(cursor.block())) {
        // A joint is no character: the keys that delete one take the one beyond it.
        cursor.movePosition(QTextCursor::PreviousCharacter);
        cursor.deletePreviousChar();
    } else if (forward && cursor.atBlockEnd() && IsJoined(cursor.block().next())) {
        cursor.movePosition(QTextCursor::NextCharacter);
        cursor.deleteChar();
    } else {
        return QPlainTextEdit::keyPressEvent(event);
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}

}  // namespace velmor
