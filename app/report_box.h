// The report box: a plain text box that stays quick with a paragraph of any length.
#pragma once

#include <QPlainTextEdit>

namespace velmor {

// A paragraph is laid out whole each time it changes, in time growing with the square of its
// length when it has no place to break a line. Text this box receives (pasted or dropped) is
// therefore kept in pieces of at most kLongestPiece characters, each piece after the first
// starting a block marked as joined to the one before; such a joint is shown as a line break
// but is not part of the text: Text() and what is copied or dragged out read as if the pieces
// were one. A line break the user types or pastes is a real one. Lines still wrap at the box's
// width.
class ReportBox : public QPlainTextEdit {
    Q_OBJECT

  public:
    static constexpr int kLongestPiece = 4096;

    using QPlainTextEdit::QPlainTextEdit;

    // The text without the joints; paragraphs are separated by U+2029, every other character
    // (no-break spaces included) as stored.
    QString Text() const;

  protected:
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace velmor
