// An edit box for one line of text of any length: the window's input boxes.
//
// It edits, selects, scrolls and paints as Qt's line edit does, with the same keys, mouse
// actions, context menu, input method and drag and drop, and speaks to assistive technology as
// an editable text. Its memory stays near the text's own, however long the text: it lays out
// only the part it shows (LineView), and keeps what it can undo as whole steps (LineHistory).
// Qt's line edit lays the whole line out at each change and paint, and keeps an undo record per
// character typed or pasted: some fifty bytes a character.
#pragma once

#include <QBasicTimer>
#include <QPoint>
#include <QString>
#include <QTextLayout>
#include <QWidget>

#include <algorithm>

#include "line_history.h"
#include "line_view.h"

class QMenu;
class QMimeData;
class QStyleOptionFrame;

namespace velmor {

class InputBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText USER true)

  public:
    explicit InputBox(QWidget* parent = nullptr);

    QString text() const { return text_; }
    // Replaces the text, forgetting what could be undone, with the cursor at its end.
    void setText(const QString& text);
    int cursorPosition() const { return int(cursor_); }
    void setCursorPosition(int position);
    bool hasSelectedText() const { return cursor_ != anchor_; }
    QString selectedText() const;
    // The selection's start, or -1 when nothing is selected.
    int selectionStart() const;
    int selectionLength() const { return int(SelectionEnd() - SelectionBegin()); }
    void setSelection(int start, int length);
    bool isUndoAvailable() const { return history_.CanUndo(); }
    bool isRedoAvailable() const { return history_.CanRedo(); }

    // Where the character at `at` is drawn, in the box's coordinates; empty when it is not shown.
    QRect CharacterRect(int at) const;
    // The text position nearest to a point of the box.
    int PositionAt(QPoint point) const;
    // Scrolls the text so that the position is shown.
    void ShowPosition(int position);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  public slots:
    void selectAll();
    void deselect();
    void undo();
    void redo();
    void cut();
    void copy() const;
    void paste();
    // Replaces the selection, if any, by the text, as typing it would.
    void insert(const QString& text);
    // Removes the selection, or else the character after the cursor.
    void del();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    enum class Move { Home, End, NextCharacter, PreviousCharacter, NextWord, PreviousWord };

    void InitStyleOption(QStyleOptionFrame& option) const;
    QRect Contents() const;
    QRect LineRect() const;
    int TextLeft() const;
    QMenu* CreateContextMenu();

    bool ActOnStandardKey(QKeyEvent* event);
    bool ActOnBackspace(QKeyEvent* event);
    void MoveCursor(qsizetype to, bool select);
    void Go(Move move, bool select);
    void Backspace();
    void EraseWord(bool forward);
    void CopyTo(int mode) const;
    void PasteFrom(int mode);

    void TakePreedit(const QInputMethodEvent* event);
    void CommitPreedit();
    qsizetype SelectionBegin() const { return std::min(cursor_, anchor_); }
    qsizetype SelectionEnd() const { return std::max(cursor_, anchor_); }
    void ReplaceSelection(const QString& with, LineHistory::Kind kind);
    void Replace(qsizetype from, qsizetype to, const QString& with, LineHistory::Kind kind);
    void Apply(const LineChange* step, bool undoing);
    void Changed(qsizetype at, const QString& removed, const QString& inserted);
    void Shown();
    void RestartBlink();
    bool CursorShown() const;

    QString text_;
    qsizetype cursor_ = 0;
    qsizetype anchor_ = 0;  // the selection's other end; the cursor's place when none
    LineHistory history_;
    mutable LineView view_;
    // What an input method is composing at the cursor, and where in it its cursor is.
    QString preedit_;
    int preeditCursor_ = 0;
    bool preeditCursorHidden_ = false;

    QBasicTimer blink_;
    bool blinkOn_ = true;
    bool dropping_ = false;  // a drag over the box shows where it would drop
    QBasicTimer tripleClick_;
    QPoint tripleClickAt_;
};

}  // namespace velmor
