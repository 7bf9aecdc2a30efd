// A group box look in which the caption stands on the frame's top line, as on the home desktop.
//
// The frame's top edge runs through the middle of the caption (the line stops short of the text),
// so controls placed just below the caption lie inside the frame. Everything else is drawn by the
// application's style.
#pragma once

#include <QProxyStyle>

namespace velmor {

class CaptionOnFrameStyle : public QProxyStyle {
    Q_OBJECT

  public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
};

}  // namespace velmor
