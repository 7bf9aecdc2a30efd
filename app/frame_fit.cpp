#include "frame_fit.h"

#include <algorithm>

namespace velmor {

namespace {

// One axis: the start of a span of LENGTH inside [lowest, lowest + room).
int FitSpan(int start, int length, int lowest, int room) {
    return std::max(lowest, std::min(start, lowest + room - length));
}

}  // namespace

QPoint FitFrameIntoWorkArea(const QRect& frame, const QRect& workArea) {
    return {FitSpan(frame.x(), frame.width(), workArea.x(), workArea.width()),
            FitSpan(frame.y(), frame.height(), workArea.y(), workArea.height())};
}

}  // namespace velmor
