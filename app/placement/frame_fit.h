// Where a window's frame goes so that all of it can be seen, in device pixels.
#pragma once

#include <QPoint>
#include <QRect>

namespace velmor {

// The top-left corner for FRAME in WORKAREA, each axis on its own. An axis on which the whole
// frame lies inside the work area keeps the frame's coordinate. On an axis where it does not,
// the frame is centred in the work area (rounding towards the top or left), so that a dock
// that reserves no room at an edge covers as little of it as the space allows; a frame longer
// than the work area starts at the work area's edge. Examples, in a work area of 0,0 1366 x 740:
// a frame 441,482 694 x 397 goes to 441,171; 441,482 1900 x 900 goes to 0,0; 441,343 694 x 397
// stays.
QPoint FitFrameIntoWorkArea(const QRect& frame, const QRect& workArea);

// RECT, in the scaled units Qt gives a screen whose top-left corner is SCREENORIGIN and whose
// device pixel ratio is RATIO, in device pixels: Qt keeps the corner in device pixels and scales
// the distances from it.
QRect InDevicePixels(const QRect& rect, QPoint screenOrigin, qreal ratio);

}  // namespace velmor
