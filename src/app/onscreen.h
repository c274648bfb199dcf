#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace onscreen {

// Moves a window frame the least distance that puts it wholly on the screen's area; a frame
// larger than the area keeps its top-left corner on it.
QPoint keepOnScreen(const QRect& frame, const QRect& screen);

// Where a window with the rectangle `window` is to lie so that it can be seen whole: where it
// is when the screens show all of it (across two of them too); otherwise moved, not resized,
// onto the screen it overlaps most or, when it lies off every screen, the nearest one. A window
// larger than that screen keeps its top-left corner on it. `screens`: the screens' usable
// rectangles in desktop coordinates; without any the window stays where it is.
QPoint wholeOnScreen(const QRect& window, const QList<QRect>& screens);

}  // namespace onscreen
