#include "fitted_message_box.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace velmor {

namespace {

// The first and last characters of text, kept of them in all, around "…".
QString Middle(const QString& text, qsizetype kept) {
    qsizetype head = kept - kept / 2, tail = text.size() - kept / 2;
    if (head > 0 && text.at(head - 1).isHighSurrogate()) --head;
    if (tail < text.size() && text.at(tail).isLowSurrogate()) ++tail;
    return text.first(head) + QChar(0x2026) + text.sliced(tail);
}

QLabel* TextLabel(const QMessageBox& box) {
    return box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
}

}  // namespace

QString ShortenedToFit(const QString& text, const QFont& font, int width, int height) {
    const QFontMetrics metrics(font);
    const auto fits = [&](const QString& shown) {
        return metrics.boundingRect(QRect(0, 0, width, 1 << 24), Qt::TextWordWrap, shown)
                   .height() <= height;
    };
    if (fits(text)) return text;
    qsizetype low = 0, high = text.size() - 1;
    while (low < high) {
        const qsizetype kept = (low + high + 1) / 2;
        if (fits(Middle(text, kept)))
            low = kept;
        else
            high = kept - 1;
    }
    return Middle(text, low);
}

QString FittedMessageBox::ShownText() const {
    return shortened_.isEmpty() ? text() : shortened_;
}

bool FittedMessageBox::event(QEvent* event) {
    // The message box sizes itself for its text on a layout request; then it is fitted.
    const bool result = QMessageBox::event(event);
    if (event->type() == QEvent::LayoutRequest && isVisible()) FitIntoScreen();
    return result;
}

void FittedMessageBox::showEvent(QShowEvent* event) {
    QMessageBox::showEvent(event);
    FitIntoScreen();
}

bool FittedMessageBox::eventFilter(QObject* watched, QEvent* event) {
    QLabel* label = TextLabel(*this);
    if (watched != label || event->type() != QEvent::Paint || shortened_.isEmpty())
        return QMessageBox::eventFilter(watched, event);
    QPainter painter(label);
    label->style()->drawItemText(&painter, label->contentsRect(),
                                 int(label->alignment()) | Qt::TextWordWrap, label->palette(),
                                 label->isEnabled(), shortened_, label->foregroundRole());
    return true;
}

// The box has sized itself for its whole text, at most as wide as the screen; only a box that
// does not fit its screen changes.
void FittedMessageBox::FitIntoScreen() {
    QLabel* label = TextLabel(*this);
    if (label == nullptr || screen() == nullptr || fitting_) return;
    const QScopedValueRollback<bool> guard(fitting_, true);
    layout()->activate();
    // The box's own frame may not be known yet when it is first shown.
    QSize frame = frameGeometry().size() - size();
    if (const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        frame = frame.expandedTo(owner->frameGeometry().size() - owner->size());
    const QSize area = screen()->availableGeometry().size() - frame;
    if (shortened_.isEmpty() && width() <= area.width() && height() <= area.height()) return;

    label->installEventFilter(this);
    const int width = std::min(this->width(), area.width());
    const int labelWidth = label->width() - (this->width() - width);
    const int margins = label->height() - label->contentsRect().height();
    const int others = height() - label->height();
    int labelHeight = label->heightForWidth(labelWidth);
    shortened_.clear();
    if (others + labelHeight > area.height()) {
        const int textWidth = labelWidth - (label->width() - label->contentsRect().width());
        shortened_ = ShortenedToFit(label->text(), label->font(), textWidth,
                                    area.height() - others - margins);
        labelHeight =
            QFontMetrics(label->font())
                .boundingRect(QRect(0, 0, textWidth, 1 << 24), Qt::TextWordWrap, shortened_)
                .height() +
            margins;
    }
    label->setMaximumHeight(shortened_.isEmpty() ? QWIDGETSIZE_MAX : labelHeight);
    setFixedSize(width, others + labelHeight);
    label->update();
}

}  // namespace velmor
