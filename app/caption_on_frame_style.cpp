#include "caption_on_frame_style.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyleOptionGroupBox>

namespace velmor {

namespace {

// Where the caption starts, and the gap the frame line leaves on either side of it.
constexpr int kCaptionIndent = 8;
constexpr int kCaptionGap = 2;

bool HasFramedCaption(const QStyleOptionGroupBox* box) {
    return box != nullptr && !box->text.isEmpty() && !(box->features & QStyleOptionFrame::Flat);
}

}  // namespace

QRect CaptionOnFrameStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                          SubControl subControl, const QWidget* widget) const {
    QRect rect = QProxyStyle::subControlRect(control, option, subControl, widget);
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !HasFramedCaption(box)) return rect;

    const QRect label = QProxyStyle::subControlRect(control, option, SC_GroupBoxLabel, widget);
    if (subControl == SC_GroupBoxLabel)
        return QStyle::visualRect(box->direction, box->rect,
                                  label.translated(kCaptionIndent + kCaptionGap, 0));
    if (subControl == SC_GroupBoxFrame) rect.setTop(label.center().y());
    return rect;
}

void CaptionOnFrameStyle::drawComplexControl(ComplexControl control,
                                             const QStyleOptionComplex* option, QPainter* painter,
                                             const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !HasFramedCaption(box) ||
        !(box->subControls & SC_GroupBoxFrame)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }

    // An etched frame whose top line is broken where the caption stands.
    const QRect frame = subControlRect(control, option, SC_GroupBoxFrame, widget);
    const QRect caption = subControlRect(control, option, SC_GroupBoxLabel, widget)
                              .adjusted(-kCaptionGap, 0, kCaptionGap, 0);
    painter->save();
    painter->setClipRegion(QRegion(box->rect).subtracted(caption));
    qDrawShadeRect(painter, frame, box->palette, true, 1, 0);
    painter->restore();

    QStyleOptionGroupBox rest = *box;
    rest.subControls &= ~SC_GroupBoxFrame;
    QProxyStyle::drawComplexControl(control, &rest, painter, widget);
}

}  // namespace velmor
