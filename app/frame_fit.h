// Where a window's frame goes so that all of it can be seen.
#pragma once

#include <QPoint>
#include <QRect>

namespace velmor {

// The top-left corner for FRAME that keeps it where it is when it lies wholly inside WORKAREA,
// else moves it the least distance that shows all of it. A frame wider or taller than the work
// area is aligned with the work area's left or top edge, never pushed beyond it. Examples, in a
// work area of 0,0 1366 x 740: a frame 441,482 694 x 397 goes to 441,343; 441,482 1900 x 900
// goes to 0,0; 441,343 694 x 397 stays.
QPoint FitFrameIntoWorkArea(const QRect& frame, const QRect& workArea);

}  // namespace velmor
