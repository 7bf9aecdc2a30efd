// A message box that fits its screen, however long its text.
#pragma once

#include <QMessageBox>
#include <QString>

class QFont;

namespace velmor {

// The text as the longest that fits in width × height pixels wrapped at its line-break places in
// font: the text itself, or its first and last characters (as many from each end, whole
// surrogate pairs) with "…" in place of the middle.
QString ShortenedToFit(const QString& text, const QFont& font, int width, int height);

// A message box never wider or taller than its screen's available area, counting a frame as
// large as its parent window's. Its text wraps as in any message box and, when it would still
// not fit, is shown shortened in the middle (ShownText); text() and what Ctrl+C copies stay
// whole.
class FittedMessageBox final : public QMessageBox {
    Q_OBJECT

  public:
    using QMessageBox::QMessageBox;

    // What the box shows of its text.
    QString ShownText() const;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FitIntoScreen();

    QString shortened_;  // what the text shows when shortened, else empty
    bool fitting_ = false;
};

}  // namespace velmor
