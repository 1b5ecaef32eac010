#include "chart/kartex.h"

#include "chart/core/colors.h"
#include "chart/core/paint_suppression.h"
#include "chart/cursors.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include <filesystem>
#include <optional>

// ---- background image settings ----

void TBakGndImg::SetName(const std::string& v) {
    name_ = includePath_ ? v : std::filesystem::path(v).filename().string();
    Changed();
}

void TBakGndImg::SetIncludePath(bool v) {
    includePath_ = v;
    if (!v) name_ = std::filesystem::path(name_).filename().string();
    Changed();
}

void TBakGndImg::SetFillMode(TBkgFill v) {
    fillMode_ = v;
    Changed();
}

// ---- what the mouse handling needs of the chart ----

class TKartex::MouseBridge : public TMouseChart {
public:
    explicit MouseBridge(TKartex& k) : k_(k) {}

    TPlotGeometry Geometry() const override { return k_.geom_; }
    TAxisRange XRange(int layer) const override {
        const TScalePropsHoriz& p = *k_.L(layer).x;
        return {p.RangeLow(), p.RangeHigh(), p.Logarithmic()};
    }
    TAxisRange YRange(int layer) const override {
        const TScalePropsVert& p = *k_.L(layer).y;
        return {p.RangeLow(), p.RangeHigh(), p.Logarithmic()};
    }
    void SetLayerRange(int layer, double xl, double yl, double xh, double yh) override {
        k_.SetLayerRange(layer, xl, yl, xh, yh);
    }
    bool PaintSuppressed() const override { return k_.PaintSuppressed(); }
    void SetPaintSuppressed(bool v) override { k_.SetPaintSuppressed(v); }
    TPoint WorldToPixel(int layer, double x, double y) const override { return k_.WorldToPixel(layer, x, y); }
    void PixelToWorld(int layer, int xm, int ym, double& x, double& y) const override {
        k_.PixelToWorld(layer, xm, ym, x, y);
    }
    bool MouseLayer(int layer) const override { return k_.MouseLayer(layer); }
    bool Isometric() const override { return k_.Isometric(); }
    int ActiveLayer() const override { return k_.ActiveLayer(); }
    TCrossHair& CrossHair(int k) override { return k_.CrossHair(k); }
    TTextLabel& TextLabel(int k) override { return k_.TextLabel(k); }
    void XorRectangle(int x1, int y1, int x2, int y2) override {
        Canvas& c = k_.chartCanvas_;
        const TPenMode mode = c.PenMode();
        const TColor pen = c.PenColor();
        const TPenStyle style = c.PenStyle();
        const int width = c.PenWidth();
        const TBrushStyle brush = c.BrushStyle();
        c.SetPenMode(pmXor);
        c.SetPenColor(clWhite);
        c.SetPenStyle(psSolid);
        c.SetPenWidth(1);
        c.SetBrushStyle(bsClear);
        c.Rectangle(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
        c.SetPenMode(mode);
        c.SetPenColor(pen);
        c.SetPenStyle(style);
        c.SetPenWidth(width);
        c.SetBrushStyle(brush);
        k_.update();
    }
    void SetScreenCursor(TMouseCursor c) override {
        // The default cursor lets the control's own cursor show again.
        if (c == mcDefault) {
            if (own_) k_.setCursor(*own_);
            own_.reset();
            return;
        }
        if (!own_) own_ = k_.cursor();
        k_.setCursor(ChartCursor(c));
    }
    void FireMouseMoveInChart(bool inChart, TShiftState shift, double x, double y) override {
        if (k_.OnMouseMoveInChart) k_.OnMouseMoveInChart(k_, inChart, shift, x, y);
    }
    void FireZoomPan() override {
        if (k_.OnZoomPan) k_.OnZoomPan(k_);
    }
    void FireCrossHairMove(TCrossHair& which) override {
        if (k_.OnCrossHairMove) k_.OnCrossHairMove(k_, which);
    }
    void FireTextLabelMove(TTextLabel& which) override {
        if (k_.OnTextLabelMove) k_.OnTextLabelMove(k_, which);
    }

private:
    TKartex& k_;
    std::optional<QCursor> own_; // the control's own cursor while a mode cursor shows
};

// ---- creation ----

TKartex::TKartex(QWidget* parent)
    : QWidget(parent), windColor_(clBtnFace), chartColor_(clWhite), chartFrameColor_(clBlack),
      shadowColor_(clGrayText), shadowBakColor_(clBtnFace), gridColor_(clBlack),
      textBkColor_(clWhite), crossHairs_{TCrossHair(1), TCrossHair(2), TCrossHair(3), TCrossHair(4)},
      mouseBridge_(std::make_unique<MouseBridge>(*this)), mouse_(*mouseBridge_),
      imageBitmap_(10, 10, QImage::Format_RGB32) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    InformationBox = [this](const QString& text) {
        QMessageBox::information(this, QApplication::applicationName(), text);
    };
    store_.OnPartnerRepaint = [this] { PaintIfAutoRedraw(); };
    classVisible_.set();
    layerVisible_.set();
    mouseLayers_.set(0);
    for (int i = 0; i <= kLayers; ++i)
        xControlledBy_[static_cast<std::size_t>(i)] = yControlledBy_[static_cast<std::size_t>(i)] = i;
    for (TCrossHair& h : crossHairs_)
        h.OnChange = [this](TCrossHair&) { Changed(); };
    for (TTextLabel& t : textLabels_) {
        t.SetFont(font_);
        t.OnChange = [this](TTextLabel&) { Changed(); };
    }
    backGroundImg_.OnChange = [this] { Changed(); };

    geom_ = TPlotGeometry{280, 200, 50, 10, 16, 32, 0};
    CreateLayers();
    resize(280, 200);
    SizeChanged(280, 200);
    SetStandardLayout(kxl_X1Bottom_Y1Left);
    FinishCreation();
}

TKartex::~TKartex() = default;

// ---- items ----

void TKartex::ClearItems() {
    RenderPlotBackground(plotCanvas_, 0, 0);
    store_.ClearItems();
    marks_.ClearItems();
    series_.clear();
}

void TKartex::AddEventMark(double x, double time, std::string_view text, TColor color) {
    TChartItem it{};
    it.X = x;
    it.X2 = time;
    it.Color = color;
    it.Kind = ikNone;
    it.MarkType = kEventMarkType;
    it.Layer = 1;
    marks_.AppendItem(it);
    marks_.SetItemText(marks_.ItemCount() - 1, text);
    Changed();
}

void TKartex::EnsureSeries(int count) {
    while (SeriesCount() < count)
        series_.push_back(std::make_unique<Series>());
}

TItemStore& TKartex::SeriesStore(int series) {
    return *ListOf(series).Store;
}

const TItemStore& TKartex::SeriesStore(int series) const {
    return series <= 0 ? store_ : series_.at(static_cast<std::size_t>(series - 1))->Store;
}

void TKartex::MoveToPoint(double x, double y, double x2) {
    store_.MoveToPoint(x, y, x2);
}

void TKartex::LineToPoint(double x, double y, double x2) {
    store_.LineToPoint(x, y, x2);
}

void TKartex::AddItem(const TChartItem& item) {
    store_.AppendItem(item);
}

TKartex* TKartex::UseDataOf() const {
    // The store forgets an owner that went away; only then is the remembered chart no longer valid.
    return useDataOf_ && store_.UsesDataOf() == useDataOfStore_ ? useDataOf_ : nullptr;
}

void TKartex::SetUseDataOf(TKartex* other) {
    const TShareResult r = store_.UseDataOf(other ? &other->store_ : nullptr);
    if (r == TShareResult::Changed) {
        useDataOf_ = other && other->UseDataOf() ? other->UseDataOf() : other;
        useDataOfStore_ = useDataOf_ ? &useDataOf_->store_ : nullptr;
        Paint();
    } else {
        ShowInformation(ShareRefusalMessage(r));
    }
}

void TKartex::ShowInformation(std::string_view text) {
    if (text.empty() || !InformationBox) return;
    InformationBox(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TKartex::SetClassVisible(int itemClass, bool v) {
    classVisible_.set(static_cast<std::size_t>(itemClass & 255), v);
}

bool TKartex::LayerVisible(int layer) const {
    return layer >= 1 && layer <= kLayers && layerVisible_[static_cast<std::size_t>(layer - 1)];
}

void TKartex::SetLayerVisible(int layer, bool v) {
    if (layer >= 1 && layer <= kLayers) layerVisible_.set(static_cast<std::size_t>(layer - 1), v);
}

void TKartex::SetActiveLayer(int layer) {
    if (layer >= 1 && layer <= kLayers) store_.SetActiveLayer(layer);
}

bool TKartex::MouseLayer(int layer) const {
    return layer >= 1 && layer <= kLayers && mouseLayers_[static_cast<std::size_t>(layer - 1)];
}

void TKartex::SetMouseLayer(int layer, bool on) {
    if (layer >= 1 && layer <= kLayers) mouseLayers_.set(static_cast<std::size_t>(layer - 1), on);
}

TCrossHair& TKartex::CrossHair(int k) {
    return crossHairs_[static_cast<std::size_t>(k >= 1 && k <= kCrossHairs ? k - 1 : 0)];
}

TTextLabel& TKartex::TextLabel(int k) {
    return textLabels_[static_cast<std::size_t>(k >= 1 && k <= kTextLabels ? k - 1 : 0)];
}

void TKartex::ShowReadOut(int series, int index, const std::string& caption) {
    const TChartItem& it = SeriesStore(series).Item(index);
    // On the layer of the item, so a point against the right axis is met where it is drawn.
    const int layer = it.Layer >= 1 && it.Layer <= kLayers ? it.Layer : 1;
    const TPoint p = WorldToPixel(layer, it.X, it.Y);
    constexpr int kGap = 8, kBox = 20;
    PaintSuppression once(*this);
    TCrossHair& hair = CrossHair(1);
    if (hair.Layer() != layer) hair.SetLayer(layer);
    if (TextLabel(1).Layer() != layer) TextLabel(1).SetLayer(layer);
    hair.SetPosX(it.X);
    hair.SetPosY(it.Y);
    hair.SetMode(chBoth);
    TTextLabel& label = TextLabel(1);
    label.SetCaption(caption);
    const bool right = p.X < LRim() + PlotWidth() / 2;
    label.SetAlignment(right ? taLeftJustify : taRightJustify);
    label.SetPosX(right ? p.X + kGap : p.X - kGap);
    label.SetPosY(p.Y - kGap - kBox < TRim() ? p.Y + kGap + kBox : p.Y - kGap);
    label.SetMode(tlBox);
}

void TKartex::HideReadOut() {
    if (CrossHair(1).Mode() == chOff && TextLabel(1).Mode() == tlOff) return;
    PaintSuppression once(*this);
    CrossHair(1).SetMode(chOff);
    TextLabel(1).SetMode(tlOff);
}

// ---- appearance ----

void TKartex::Changed() {
    dirty_ = true;
    PaintIfAutoRedraw();
}

void TKartex::PaintIfAutoRedraw() {
    if (autoRedraw_) Paint();
}

void TKartex::SetWindColor(TColor c) {
    windColor_ = c;
    for (Layer& l : layers_) {
        l.xScale->SetColorBackGnd(c);
        l.yScale->SetColorBackGnd(c);
    }
    Changed();
}

void TKartex::SetChartColor(TColor c) {
    chartColor_ = c;
    Changed();
}

void TKartex::SetChartFrameColor(TColor c) {
    chartFrameColor_ = c;
    Changed();
}

void TKartex::SetShadowColor(TColor c) {
    shadowColor_ = c;
    Changed();
}

void TKartex::SetShadowBakColor(TColor c) {
    shadowBakColor_ = c;
    Changed();
}

void TKartex::SetShadowStyle(TShadowStyle s) {
    shadowStyle_ = s;
    Changed();
}

void TKartex::SetGridStyle(GridStyleType s) {
    gridStyle_ = s;
    Changed();
}

void TKartex::SetGridColor(TColor c) {
    gridColor_ = c;
    Changed();
}

void TKartex::SetGridDx(double d) {
    if (!(d >= -3)) return; // NaN is ignored as well
    gridDx_ = d;
    Changed();
}

void TKartex::SetGridDy(double d) {
    if (!(d >= -3)) return;
    gridDy_ = d;
    Changed();
}

void TKartex::SetCaption(const std::string& s) {
    caption_ = s;
    Changed();
}

void TKartex::SetCaptionPosX(int v) {
    captionPosX_ = v;
    Changed();
}

void TKartex::SetCaptionPosY(int v) {
    captionPosY_ = v;
    Changed();
}

void TKartex::SetCaptionAlignment(TAlignment a) {
    captionAlignment_ = a;
    Changed();
}

void TKartex::SetCaptionAnchorHoriz(TCaptionAnchorHoriz a) {
    captionAnchorHoriz_ = a;
    Changed();
}

void TKartex::SetCaptionAnchorVert(TCaptionAnchorVert a) {
    captionAnchorVert_ = a;
    Changed();
}

void TKartex::SetTextFontStyle(TFontStyles s) {
    textFontStyle_ = s;
    Changed();
}

void TKartex::SetTextBkStyle(TTextBkg s) {
    textBkStyle_ = s;
    Changed();
}

void TKartex::SetTextBkColor(TColor c) {
    textBkColor_ = c;
    Changed();
}

void TKartex::SetTextAlignment(TAlignment a) {
    textAlignment_ = a;
    Changed();
}

void TKartex::SetFont(const TFont& f) {
    font_ = f;
    Changed();
}

// ---- widget events ----

void TKartex::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!everShown_) {
        // The window exists now: painting may start (the paint event that follows renders).
        everShown_ = true;
        paintSuppressed_ = false;
        dirty_ = true;
    }
}

void TKartex::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (width() != geom_.Width || height() != geom_.Height) {
        SizeChanged(width(), height());
        Changed();
    }
}

void TKartex::paintEvent(QPaintEvent* e) {
    if (dirty_ && !paintSuppressed_) {
        inPaintEvent_ = true;
        Paint();
        inPaintEvent_ = false;
        // A new picture: the parts outside this event's region are shown by the next one.
        if (e->rect() != rect()) update();
    }
    QPainter p(this);
    const QImage& img = chartCanvas_.Image();
    const QRect r = e->rect();
    p.drawImage(r.topLeft(), img, r);
    // Parts the picture does not cover yet (a size change not rendered) take the window colour.
    if (img.width() < width())
        p.fillRect(img.width(), 0, width() - img.width(), height(), QColor(Canvas::ToRgb(windColor_)));
    if (img.height() < height())
        p.fillRect(0, img.height(), width(), height() - img.height(), QColor(Canvas::ToRgb(windColor_)));
}

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers m, Qt::MouseButtons b) {
    TShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::AltModifier) s |= ssAlt;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (b & Qt::LeftButton) s |= ssLeft;
    if (b & Qt::RightButton) s |= ssRight;
    if (b & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

std::optional<TMouseButton> ButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return mbLeft;
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return std::nullopt;
    }
}

} // namespace

void TKartex::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (auto b = ButtonOf(e->button()))
        mouse_.MouseDown(*b, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TKartex::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    mouse_.MouseMove(ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TKartex::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (auto b = ButtonOf(e->button()))
        mouse_.MouseUp(*b, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TKartex::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    mouse_.MouseLeave();
}
