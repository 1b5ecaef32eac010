#pragma once
// TKartex: the chart control. It keeps drawing items in world coordinates (TItemStore), maps them through
// 16 layers with a horizontal and a vertical axis each, and renders scales, grid, items, text labels and
// crosshairs into off-screen images; the widget only ever shows the finished ChartBitmap.

#include "chart/core/alignment.h"
#include "chart/core/crosshair.h"
#include "chart/core/grid.h"
#include "chart/core/item_file.h"
#include "chart/core/item_store.h"
#include "chart/core/kartex_types.h"
#include "chart/core/layer_transform.h"
#include "chart/core/mouse.h"
#include "chart/core/scale_props.h"
#include "chart/core/text_label.h"
#include "chart/data_render.h"
#include "chart/export.h"
#include "chart/gfx/canvas.h"
#include "chart/scale.h"
#include "chart/xy_cover.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <array>
#include <bitset>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using TMouseAction = TMouseActMode;
using TGridStyle = GridStyleType;

class TKartex;

// Sender, the canvas drawn on (a handler may draw on it or hand back another one), Top and Left.
using TRenderEvent = std::function<void(TKartex& sender, Canvas*& canvas, int top, int left)>;

// No signals or slots: events are std::function members, so the class needs no meta-object code.
class TKartex : public QWidget {
public:
    static constexpr int kLayers = 16;
    static constexpr int kCrossHairs = 4;
    static constexpr int kTextLabels = 20;

    explicit TKartex(QWidget* parent = nullptr);
    ~TKartex() override;

    // ---- items ----
    void ClearItems();
    // x2: the record's X2, not drawn for points of a line (see TItemStore).
    void MoveToPoint(double x, double y, double x2 = 0);
    void LineToPoint(double x, double y, double x2 = 0);
    // Appends any kind of item as given (marks, lines, boxes, text …).
    void AddItem(const TChartItem& item);
    int ItemCount() const { return store_.ItemCount(); }
    const TChartItem& Item(int index) const { return store_.Item(index); }
    const TChartItem* Items() const { return store_.Items(); }
    // The y values of the line points (line-to and move-to) among items lo … hi − 1, from the index the
    // fast line path keeps: a cost in the logarithm of the range, whatever its length.
    TYRange ItemYRange(int lo, int hi);
    // The bytes the fast line path's index holds (brought up to date first).
    std::size_t RunIndexBytes();
    TItemStore& Store() { return store_; }
    const TItemStore& Store() const { return store_; }

    // ---- event marks: a dotted vertical line with its text at the top of the plot, at an x ----
    // Kept in rising x beside the series (an acquisition's commands and the user's marks). A file
    // holds them after the first series' records (see IsEventMark); clearing or loading replaces them.
    void AddEventMark(double x, double time, std::string_view text, TColor color = clGray);
    TItemStore& EventMarks() { return marks_; }
    const TItemStore& EventMarks() const { return marks_; }

    // ---- series: lists of line points beside the item list ----
    // Series 0 is the item list itself; series 1 … are lists of their own (the further channels of an
    // acquisition), each with its own line-run index, so every one keeps the reduced line path. They are
    // drawn after the item list in their order, which is how a file of all of them written one after
    // the other draws too. Clearing or loading drops them; data sharing shares the item list only.
    int SeriesCount() const { return 1 + static_cast<int>(series_.size()); }
    // Makes series 1 … count − 1 exist (new ones empty); never drops one.
    void EnsureSeries(int count);
    TItemStore& SeriesStore(int series); // 0: Store(); others must exist
    const TItemStore& SeriesStore(int series) const;
    // The y values of the line points among the series' items lo … hi − 1 (as ItemYRange).
    TYRange SeriesYRange(int series, int lo, int hi);
    int AllocSize() const { return store_.AllocSize(); }
    void SetAllocSize(int v) { store_.SetAllocSize(v); }
    TColor DataColor() const { return store_.DataColor(); }
    void SetDataColor(TColor c) { store_.SetDataColor(c); }
    TPenStyle PenStyle() const { return store_.PenStyle(); }
    void SetPenStyle(TPenStyle s) { store_.SetPenStyle(s); }
    int LineWidth() const { return store_.LineWidth(); }
    void SetLineWidth(int w) { store_.SetLineWidth(static_cast<std::uint8_t>(w)); }
    TColor FillColor() const { return store_.FillColor(); }
    void SetFillColor(TColor c) { store_.SetFillColor(c); }
    int ClassDefault() const { return store_.ClassDefault(); }
    void SetClassDefault(int c) { store_.SetClassDefault(static_cast<std::uint8_t>(c)); }

    // Data sharing: show the list of another chart (null: a list of one's own). Refusals are shown through
    // InformationBox and change nothing.
    TKartex* UseDataOf() const;
    void SetUseDataOf(TKartex* other);
    // The information box; a QMessageBox by default. Tests put their own here.
    std::function<void(const QString& text)> InformationBox;

    bool ClassVisible(int itemClass) const {
        return classVisible_[static_cast<std::size_t>(itemClass & 255)];
    }
    void SetClassVisible(int itemClass, bool v);
    bool LayerVisible(int layer) const;
    void SetLayerVisible(int layer, bool v);

    // ---- geometry ----
    int LRim() const { return geom_.LRim; }
    void SetLRim(int v) { SetRim(&TPlotGeometry::LRim, v); }
    int RRim() const { return geom_.RRim; }
    void SetRRim(int v) { SetRim(&TPlotGeometry::RRim, v); }
    int TRim() const { return geom_.TRim; }
    void SetTRim(int v) { SetRim(&TPlotGeometry::TRim, v); }
    int BRim() const { return geom_.BRim; }
    void SetBRim(int v) { SetRim(&TPlotGeometry::BRim, v); }
    int ShadowWidth() const { return geom_.ShadowWidth; }
    void SetShadowWidth(int v);
    int PlotWidth() const { return geom_.PlotWidth(); }
    int PlotHeight() const { return geom_.PlotHeight(); }
    const TPlotGeometry& Geometry() const { return geom_; }
    // Position and size, kept at least as large as the rims plus 80 × 20 pixels.
    void SetBounds(int left, int top, int width, int height);

    // ---- layers, ranges and mapping ----
    TScalePropsHoriz* ScaleX(int layer); // layer outside 1 … 16: layer 1
    TScalePropsVert* ScaleY(int layer);
    TScalePropsHoriz* Scale1X() { return ScaleX(1); }
    TScalePropsVert* Scale1Y() { return ScaleY(1); }
    TScalePropsHoriz* Scale2X() { return ScaleX(2); }
    TScalePropsVert* Scale2Y() { return ScaleY(2); }
    TScalePropsHoriz* Scale3X() { return ScaleX(3); }
    TScalePropsVert* Scale3Y() { return ScaleY(3); }
    TScalePropsHoriz* Scale4X() { return ScaleX(4); }
    TScalePropsVert* Scale4Y() { return ScaleY(4); }
    // The internal scale controls (KX_FScale_X_n, KX_FScale_Y_n).
    TScale* ScaleControlX(int layer);
    TScale* ScaleControlY(int layer);
    const LayerTransform& Transform(int layer) const;

    int ActiveLayer() const { return store_.ActiveLayer(); }
    void SetActiveLayer(int layer); // 1 … 16, others ignored
    bool MouseLayer(int layer) const;
    void SetMouseLayer(int layer, bool on);

    // Layer 0 sets all 16 layers. Equal bounds are widened by MinRange; Isometric is applied.
    void SetScaleRange(int layer, long double xl, long double yl, long double xh, long double yh);
    // One layer and those coupled to it; one repaint at the outermost level.
    void SetLayerRange(int layer, double xl, double yl, double xh, double yh);
    // Stores the range as it comes (no checks), syncs the layer's scale controls and recomputes the mapping.
    void ApplyLayerRange(int layer, double xl, double yl, double xh, double yh);
    virtual void CalcMapping();
    TPoint WorldToPixel(int layer, double x, double y) const;
    void WorldToPixel(int layer, double x, double y, int& xm, int& ym) const;
    void PixelToWorld(int layer, int xm, int ym, double& x, double& y) const;
    void SyncScaleControl(TScale& control, const TScaleProps& props);
    // Applies every scale setting to the scale controls and repaints.
    void ScalePropsChanged();

    // ---- one series against another ----
    // XY: every series but `xSeries` is drawn against it, a point per pair of their line points of the
    // same X (a line of an acquisition), joined in order on layer 1, a pen move in either breaking the
    // line; only the last `trail` points of xSeries pair (0: all). −1: the ordinary picture.
    void SetXYView(int xSeries, int trail = 0);
    int XYSeries() const { return xySeries_; }
    int XYTrail() const { return xyTrail_; }
    // The first item of xSeries the trail takes (0 without a trail).
    int XYFirst() const;

    // ---- lanes ----
    // A layer drawn in a horizontal band of the plot: rows [top, bottom] as fractions of the plot's
    // height (0 and 1, the whole plot, for every layer until set). Its mapping and its y scale keep to
    // the band, the grid's horizontal lines too, and its items are clipped to it. Bands that meet are
    // parted by a line in the frame's colour.
    void SetLayerBand(int layer, double top, double bottom);
    std::pair<double, double> LayerBand(int layer) const;
    // The band's first and last row of the plot bitmap (0 … PlotHeight()).
    std::pair<int, int> BandRows(int layer) const;
    bool Banded() const; // some layer is drawn in a band of its own

    int XControlledBy(int layer) const;
    int YControlledBy(int layer) const;
    void SetXControlledBy(int layer, int controller); // throws EKartexError
    void SetYControlledBy(int layer, int controller);

    bool Isometric() const { return isometric_; }
    void SetIsometric(bool v);
    TkxLayout StandardLayout() const { return kxl_X1Bottom_Y1Left; } // keeps no value
    void SetStandardLayout(TkxLayout v);
    bool PaintSuppressed() const { return paintSuppressed_; }
    void SetPaintSuppressed(bool v);

    // ---- appearance ----
    TColor WindColor() const { return windColor_; }
    void SetWindColor(TColor c);
    TColor ChartColor() const { return chartColor_; }
    void SetChartColor(TColor c);
    TColor ChartFrameColor() const { return chartFrameColor_; }
    void SetChartFrameColor(TColor c);
    TColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(TColor c);
    TColor ShadowBakColor() const { return shadowBakColor_; }
    void SetShadowBakColor(TColor c);
    TShadowStyle ShadowStyle() const { return shadowStyle_; }
    void SetShadowStyle(TShadowStyle s);
    GridStyleType GridStyle() const { return gridStyle_; }
    void SetGridStyle(GridStyleType s);
    TColor GridColor() const { return gridColor_; }
    void SetGridColor(TColor c);
    double GridDx() const { return gridDx_; }
    void SetGridDx(double d); // values below −3 are ignored
    double GridDy() const { return gridDy_; }
    void SetGridDy(double d);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& s);
    int CaptionPosX() const { return captionPosX_; }
    void SetCaptionPosX(int v);
    int CaptionPosY() const { return captionPosY_; }
    void SetCaptionPosY(int v);
    TAlignment CaptionAlignment() const { return captionAlignment_; }
    void SetCaptionAlignment(TAlignment a);
    TCaptionAnchorHoriz CaptionAnchorHoriz() const { return captionAnchorHoriz_; }
    void SetCaptionAnchorHoriz(TCaptionAnchorHoriz a);
    TCaptionAnchorVert CaptionAnchorVert() const { return captionAnchorVert_; }
    void SetCaptionAnchorVert(TCaptionAnchorVert a);
    TBakGndImg& BackGroundImg() { return backGroundImg_; }
    TFontStyles TextFontStyle() const { return textFontStyle_; }
    void SetTextFontStyle(TFontStyles s);
    TTextBkg TextBkStyle() const { return textBkStyle_; }
    void SetTextBkStyle(TTextBkg s);
    TColor TextBkColor() const { return textBkColor_; }
    void SetTextBkColor(TColor c);
    TAlignment TextAlignment() const { return textAlignment_; }
    void SetTextAlignment(TAlignment a);
    // The control's font: caption, character marks and the base of text items.
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& f);
    bool AutoRedraw() const { return autoRedraw_; }
    void SetAutoRedraw(bool v) { autoRedraw_ = v; }

    // ---- acquisition files and bitmap export (kartex_file.cpp, export.cpp) ----
    // Writes the items as 104-byte records; an existing file is replaced only by a complete one.
    // Throws EItemFileError.
    void SaveItemFile(const std::string& fileName) const;
    // Replaces the items by the file's, publishes them and repaints; on failure (EItemFileError) the items
    // stay as they were. Either keep flag gives exactly the file's items.
    void LoadItemFile(const std::string& fileName, bool keep);
    // The control's picture, without crosshairs, as a BMP file named by BitmapFileName; black on white when
    // monochrome. Throws EBitmapError; the colours and the screen stay as they were in every case.
    void ExportBitmap(const std::string& fileName, bool monochrome);

    // ---- crosshairs, text labels, mouse ----
    TCrossHair& CrossHair(int k); // 1 … 4 (others: 1)
    TCrossHair* CrossHair1() { return &CrossHair(1); }
    TCrossHair* CrossHair2() { return &CrossHair(2); }
    TCrossHair* CrossHair3() { return &CrossHair(3); }
    TCrossHair* CrossHair4() { return &CrossHair(4); }
    TTextLabel& TextLabel(int k); // 1 … 20 (others: 1)
    TMouseAction MouseAction() const { return mouse_.MouseAction(); }
    void SetMouseAction(TMouseAction m) { mouse_.SetMouseAction(m); }
    bool MouseCursorFixed() const { return mouse_.MouseCursorFixed(); }
    void SetMouseCursorFixed(bool v) { mouse_.SetMouseCursorFixed(v); }
    TChartMouse& Mouse() { return mouse_; }

    std::function<void(TKartex& sender, bool inChart, TShiftState shift, double x, double y)>
        OnMouseMoveInChart;
    std::function<void(TKartex& sender)> OnZoomPan;
    std::function<void(TKartex& sender, TCrossHair& which)> OnCrossHairMove;
    std::function<void(TKartex& sender, TTextLabel& which)> OnTextLabelMove;

    // ---- rendering ----
    // Long line-to runs drawn reduced per pixel column (the same pixels; on by default). Off draws every
    // item, for comparison.
    bool LineReduction() const { return lineReduction_; }
    void SetLineReduction(bool v) { lineReduction_ = v; }
    // Items painted over wholly by later ones are not drawn (same pixels); off for comparisons.
    bool SkipHiddenItems() const { return skipHidden_; }
    void SetSkipHiddenItems(bool v) { skipHidden_ = v; }
    QImage& ChartBitmap() { return chartCanvas_.Image(); }
    QImage& PlotBitmap() { return plotCanvas_.Image(); }
    QImage& ImageBitmap() { return imageBitmap_; }
    Canvas& ChartCanvas() { return chartCanvas_; }
    Canvas& PlotCanvas() { return plotCanvas_; }

    // Full repaint: scales, plot background, data, crosshairs; then the screen shows ChartBitmap.
    void Paint();
    // Re-renders the plot area only (when AutoRedraw, else Paint) and asks the sharing partners to repaint.
    void Redraw();
    // The rims: background, shadow, caption and scales. The plot area is left as it was; the plot
    // picture drawn there next covers it.
    void RenderScales(Canvas& c);
    void RenderPlotBackground(Canvas& c, int x0, int y0);
    void RenderData(Canvas& c, int x0, int y0, bool mono, bool noGrid);
    // Draws the crosshairs into the canvas whose top-left is control pixel (x0, y0) and brings it to screen.
    void ShowWithCrossHairs(int x0, int y0, Canvas& c);

    // The read-out: crosshair 1 through item `index` of a series, and text label 1 with the caption
    // beside it, on the side of the point that has room (right of it in the left half of the plot, left
    // of it in the right half; below it when there is no room above). Hidden by HideReadOut.
    void ShowReadOut(int series, int index, const std::string& caption);
    void HideReadOut();

    TRenderEvent OnScalesRendered;
    TRenderEvent OnBeforeRenderData;
    TRenderEvent OnDataRendered;
    // The chart's picture of the data is new and on its way to the screen: called once a full paint or a
    // redraw of the plot area has finished, outside the render passes.
    std::function<void(TKartex& sender)> OnShown;
    // Forwarded from every internal scale control, with the chart as sender.
    std::function<void(TKartex& sender, Canvas& canvas, TScaleType type, double currentTickPos, int chartX,
                       int chartY)>
        OnScaleTickDrawn;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    // Tab and the arrow keys reach the chart's key events instead of moving the focus.
    bool focusNextPrevChild(bool) override { return false; }

private:
    class MouseBridge;
    friend class MouseBridge;

    struct Layer {
        std::unique_ptr<TScalePropsHoriz> x;
        std::unique_ptr<TScalePropsVert> y;
        std::unique_ptr<TScale> xScale;
        std::unique_ptr<TScale> yScale;
    };

    void CreateLayers();
    void FinishCreation();
    // Repaint after a setting changed: when AutoRedraw is on.
    void Changed();
    void SizeChanged(int width, int height);
    void RimChanged(bool isometricUpdate);
    void SetControlledBy(std::array<int, kLayers + 1>& table, bool horizontal, int layer, int controller);
    void SetRim(int TPlotGeometry::*rim, int v) {
        geom_.*rim = v;
        RimChanged(true);
    }
    void IsometricUpdate(int layer);
    void SetSideMargins(int layer);
    Layer& L(int layer) { return layers_[static_cast<std::size_t>(std::clamp(layer, 1, kLayers) - 1)]; }
    const Layer& L(int layer) const {
        return layers_[static_cast<std::size_t>(std::clamp(layer, 1, kLayers) - 1)];
    }
    void DrawGrid(Canvas& c, int x0, int y0);
    void DrawBandedGrid(Canvas& c, int x0, int y0);
    void RenderXY(Canvas& c, int x0, int y0, bool mono);
    TPlotGeometry BandGeometry(int layer) const;
    void ShowOnScreen(int x0, int y0, Canvas& c);
    void ShowInformation(std::string_view text);
    void ResizePlotBitmap();
    void PaintIfAutoRedraw();

    void DrawEventMarks(Canvas& c, int x0, int y0);

    TItemStore store_;
    TItemStore marks_;
    // A list with the index that follows it by its appends; rebuilt when the list's generation changes.
    struct IndexedList {
        TItemStore* Store = nullptr;
        TLineRunIndex Index;
        std::uint64_t Generation = 0;
        std::vector<TDecimationCache> Reductions; // the data pass's, between pictures
        const TLineRunIndex& Sync();
    };
    IndexedList main_{&store_, {}, 0, {}};
    struct Series {
        TItemStore Store;
        IndexedList List{&Store, {}, 0, {}};
    };
    std::vector<std::unique_ptr<Series>> series_;
    IndexedList& ListOf(int series);
    bool lineReduction_ = true;
    bool skipHidden_ = true;
    TPlotGeometry geom_;
    std::array<Layer, kLayers> layers_;
    std::array<LayerTransform, kLayers> transforms_;
    int xySeries_ = -1;
    int xyTrail_ = 0;
    TXYCover xyCover_; // the XY view's lines between pictures
    std::array<std::pair<double, double>, kLayers> bands_ = [] {
        std::array<std::pair<double, double>, kLayers> b{};
        b.fill({0.0, 1.0});
        return b;
    }();
    std::array<int, kLayers + 1> xControlledBy_{};
    std::array<int, kLayers + 1> yControlledBy_{};
    std::bitset<256> classVisible_;
    std::bitset<16> layerVisible_;
    std::bitset<16> mouseLayers_;
    bool isometric_ = false;
    bool paintSuppressed_ = true;
    bool everShown_ = false;
    bool dirty_ = true;         // ChartBitmap does not show the current settings
    bool inPaintEvent_ = false; // rendering inside paintEvent: the screen copy follows anyway
    TKartex* useDataOf_ = nullptr;
    const TItemStore* useDataOfStore_ = nullptr;
    int aspectX_ = 36;
    int aspectY_ = 36;

    TColor windColor_;
    TColor chartColor_;
    TColor chartFrameColor_;
    TColor shadowColor_;
    TColor shadowBakColor_;
    TShadowStyle shadowStyle_ = ssFlying;
    GridStyleType gridStyle_ = gsNone;
    TColor gridColor_;
    double gridDx_ = 0;
    double gridDy_ = 0;
    std::string caption_;
    int captionPosX_ = 0;
    int captionPosY_ = -15;
    TAlignment captionAlignment_ = taRightJustify;
    TCaptionAnchorHoriz captionAnchorHoriz_ = cahChartRight;
    TCaptionAnchorVert captionAnchorVert_ = cavChartTop;
    TBakGndImg backGroundImg_;
    TFontStyles textFontStyle_ = 0;
    TTextBkg textBkStyle_ = tbClear;
    TColor textBkColor_;
    TAlignment textAlignment_ = taCenter;
    TFont font_;
    bool autoRedraw_ = true;

    std::array<TCrossHair, kCrossHairs> crossHairs_;
    std::array<TTextLabel, kTextLabels> textLabels_;
    std::unique_ptr<MouseBridge> mouseBridge_;
    TChartMouse mouse_;

    Canvas chartCanvas_;
    Canvas plotCanvas_;
    QImage imageBitmap_;
};
