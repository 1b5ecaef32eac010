#pragma once
// Mouse gestures of the chart: pan, zoom by drag, zoom to a rectangle, dragging crosshairs and text labels,
// the position report in world coordinates and the choice of the mode cursor.
//
// TChartMouse holds the gesture state and works through TMouseChart, the few operations of the chart it
// needs; the chart owns one TChartMouse and forwards its press, move, release and leave events to it.

#include "chart/core/crosshair.h"
#include "chart/core/layer_transform.h"
#include "chart/core/text_label.h"

#include <array>
#include <cstdint>

enum TMouseActMode : std::uint8_t {
    maNone,
    maPan,
    maPanHoriz,
    maPanVert,
    maRubberBand,
    maZoom,
    maZoomWind,
    maZoomWindPos,
    maZoomDrag,
    maDragCrossH,
    maDragLabel,
    maRotate,
    maRotAndZoom,
    maRotXOnly,
    maRotZOnly,
};

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

// Keys and buttons held during a mouse event.
using TShiftState = std::uint8_t;
inline constexpr TShiftState ssShift = 1;
inline constexpr TShiftState ssAlt = 2;
inline constexpr TShiftState ssCtrl = 4;
inline constexpr TShiftState ssLeft = 8;
inline constexpr TShiftState ssRight = 16;
inline constexpr TShiftState ssMiddle = 32;
inline constexpr TShiftState ssDouble = 64;

// The screen cursor a move asks for. The numbered cursors are the chart's own pictures.
enum TMouseCursor : std::uint8_t {
    mcDefault,    // the control's own Cursor shows
    mcCross,      // maNone inside the plot area
    mcHand,       // 1: pan
    mcZoomWind,   // 2: zoom window
    mcZoomDrag,   // 3: zoom by drag
    mcZoomWindPos // 4: zoom window keeping the axis directions
};

inline constexpr int kLayerCount = 16;

// What the mouse needs of the chart.
class TMouseChart {
public:
    virtual ~TMouseChart() = default;

    virtual TPlotGeometry Geometry() const = 0;
    virtual TAxisRange XRange(int layer) const = 0;
    virtual TAxisRange YRange(int layer) const = 0;
    virtual void SetLayerRange(int layer, double xl, double yl, double xh, double yh) = 0;
    virtual bool PaintSuppressed() const = 0;
    // Setting false repaints when it was true.
    virtual void SetPaintSuppressed(bool v) = 0;
    virtual TPoint WorldToPixel(int layer, double x, double y) const = 0;
    virtual void PixelToWorld(int layer, int xm, int ym, double& x, double& y) const = 0;
    virtual bool MouseLayer(int layer) const = 0;
    virtual bool Isometric() const = 0;
    virtual int ActiveLayer() const = 0;
    virtual TCrossHair& CrossHair(int k) = 0; // 1 … 4
    virtual TTextLabel& TextLabel(int k) = 0; // 1 … 20
    // Draws (or, drawn a second time, erases) the zoom rectangle on the screen in exclusive-or mode.
    virtual void XorRectangle(int x1, int y1, int x2, int y2) = 0;
    virtual void SetScreenCursor(TMouseCursor c) = 0;

    // The chart's events, fired by the mouse with the chart as sender.
    virtual void FireMouseMoveInChart(bool inChart, TShiftState shift, double x, double y) = 0;
    virtual void FireZoomPan() = 0;
    virtual void FireCrossHairMove(TCrossHair& which) = 0;
    virtual void FireTextLabelMove(TTextLabel& which) = 0;
};

class TChartMouse {
public:
    explicit TChartMouse(TMouseChart& chart) : chart_(chart) {}

    // Stored only: a change takes effect at the next mouse event, also in the middle of a gesture.
    TMouseActMode MouseAction() const { return action_; }
    void SetMouseAction(TMouseActMode m) { action_ = m; }
    bool MouseCursorFixed() const { return cursorFixed_; }
    void SetMouseCursorFixed(bool v) { cursorFixed_ = v; }

    // (x, y) in control pixels.
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    // Runs the gesture step, chooses the cursor and reports the position (OnMouseMoveInChart).
    void MouseMove(TShiftState shift, int x, int y);
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void MouseLeave();
    // The chart put a new picture on the screen: the zoom rectangle, drawn in exclusive-or, went with the
    // old one, so the next move must not draw it again as its erase.
    void PictureReplaced() { rectShown_ = false; }

    bool DragStarted() const { return dragStarted_; }
    bool ZoomWindowActive() const { return zoomWindow_; }
    int SelectedCrossHair() const { return selectedCrossHair_; }
    int SelectedTextLabel() const { return selectedLabel_; }

private:
    struct StartRanges {
        double xl = 0, xh = 0, yl = 0, yh = 0;
    };

    void MoveAction(TShiftState shift, int x, int y);
    void RecordStart(int x, int y);
    void PanStep(int x, int y);
    void ZoomDragStep(int x, int y);
    void ZoomWindowMove(int x, int y);
    void ApplyZoomWindow();
    void CrossHairStep(int x, int y);
    void LabelStep(int x, int y);
    void SelectCrossHair(int x, int y);
    void SelectLabel(int x, int y);
    void ChooseCursor(int x, int y);
    void ShowRectangle(int x, int y);
    void HideRectangle();

    TMouseChart& chart_;
    TMouseActMode action_ = maNone;
    bool cursorFixed_ = true;

    bool dragStarted_ = false;
    int startX_ = 0, startY_ = 0;
    std::array<StartRanges, kLayerCount> start_{};

    bool zoomWindow_ = false;
    bool rectShown_ = false;
    int winX0_ = 0, winY0_ = 0, winX1_ = 0, winY1_ = 0;

    int selectedCrossHair_ = 1;
    int selectedLabel_ = 1;
};
