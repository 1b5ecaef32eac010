#pragma once
// Drawing of what lies on top of the data: the crosshairs and the text labels.

#include "chart/core/crosshair.h"
#include "chart/core/layer_transform.h"
#include "chart/core/text_label.h"
#include "chart/gfx/canvas.h"

#include <functional>
#include <span>

// Draws the crosshairs that are on into a canvas whose top-left pixel is control pixel (x0, y0); a line that
// would touch the plot area's border or lie outside it is not drawn. The canvas' pen is restored afterwards.
void DrawCrossHairs(Canvas& canvas, std::span<const TCrossHair> hairs, const TPlotGeometry& frame,
                    const TWorldToPixel& worldToPixel, int x0, int y0);

// Draws the labels (last first, so label 1 ends on top) that are on and whose layer is visible, as the data
// pass does: anchors shifted by (x0 - LRim, y0 - TRim). Leaves the canvas' pen width at 1.
void DrawTextLabels(Canvas& canvas, std::span<const TTextLabel> labels, const TPlotGeometry& frame,
                    const TWorldToPixel& worldToPixel, const std::function<bool(int layer)>& layerVisible,
                    int x0, int y0);
