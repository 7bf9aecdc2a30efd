#include "frame_fit.h"

#include <QSizeF>

namespace velmor {

namespace {

// One axis: the start of a span of LENGTH in [lowest, lowest + room).
int FitSpan(int start, int length, int lowest, int room) {
    if (start >= lowest && start + length <= lowest + room) return start;
    if (length >= room) return lowest;
    return lowest + (room - length) / 2;
}

}  // namespace

QPoint FitFrameIntoWorkArea(const QRect& frame, const QRect& workArea) {
    return {FitSpan(frame.x(), frame.width(), workArea.x(), workArea.width()),
            FitSpan(frame.y(), frame.height(), workArea.y(), workArea.height())};
}

QRect InDevicePixels(const QRect& rect, QPoint screenOrigin, qreal ratio) {
    return {screenOrigin + (QPointF(rect.topLeft() - screenOrigin) * ratio).toPoint(),
            (QSizeF(rect.size()) * ratio).toSize()};
}

}  // namespace velmor
