#pragma once
// The chart's own mouse cursors: a hand for panning ("CURHAND") and three magnifiers for the zoom window
// ("CURZOOMW"), zoom by drag ("CURZOOMD") and the direction-keeping zoom window ("CURZOOMP"), drawn here
// so that every platform shows the same pictures.

#include "chart/core/mouse.h"

#include <QCursor>
#include <QImage>
#include <QPoint>

inline constexpr int kCursorSize = 32;

// The 32 × 32 picture (transparent background, black outline, white body) of mcHand … mcZoomWindPos; a
// null image for the other values.
QImage ChartCursorImage(TMouseCursor c);
// The pixel of the picture that points.
QPoint ChartCursorHotSpot(TMouseCursor c);
// The screen cursor: the drawn pictures, the cross for mcCross and the arrow for mcDefault (a widget
// shows its own cursor then). Needs a GUI application.
QCursor ChartCursor(TMouseCursor c);
