#include "app/vexo_view.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/picture_clipboard.h"
#include "app/vexo_doc.h"
#include "base/limits.h"
#include "model/document.h"
#include "model/message_log.h"
#include "render/output.h"
#include "render/render.h"
#include "values/number.h"

namespace vexo {
namespace {

const QColor kBackgroundColour(0xF0, 0xF0, 0xF0);
const QColor kRulerColour(0xFF, 0xFF, 0xFF);
const QColor kRulerEdgeColour(0xA0, 0xA0, 0xA0);
constexpr float kZoomFactor = 1.5f;
// Beyond these a picture is either a dot or one pixel of it fills the
// window; they also keep device coordinates far inside int and cairo ranges.
constexpr float kMinScale = 0.001f;
constexpr float kMaxScale = 1000.0f;
constexpr int kProgressIntervalMs = 150;
constexpr int kWheelNotch = 120;  // angleDelta of one wheel step
constexpr int kScrollLinePx = 20;
constexpr int kMinorTicksPerStep = 5;
constexpr double kMinTickSpacingPx = 2;
// Qt's raster engine works in fixed point; farther corners are clamped.
constexpr double kMaxHighlightCoordinate = 1 << 22;

// Truncation toward zero, as a C cast does, kept within int.
int ToInt(double value)
{
    constexpr double kLimit = 1 << 30;
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

QFont UiFont(int pointSize)
{
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    return font;
}

QFont RulerFont()
{
    QFont font(QStringLiteral("Arial"), 9, QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// A magnifying glass, its hot spot in the middle of the lens.
QCursor MakeZoomCursor()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(17, 17), QPointF(26, 26));
    painter.setPen(QPen(Qt::black, 2));
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(QPointF(11, 11), 8, 8);
    painter.end();
    return QCursor(pixmap, 11, 11);
}

const char* UnitName(svg::Unit unit)
{
    switch (unit) {
    case svg::Unit::Cm: return "cm";
    case svg::Unit::Mm: return "mm";
    case svg::Unit::In: return "in";
    case svg::Unit::Pt: return "pt";
    case svg::Unit::Pc: return "pc";
    default: return nullptr;  // px, no unit, em, ex and percentages show as px
    }
}

// The unit the root's width or height attribute is given in.
DisplayUnit DocumentUnit(const svg::CElemDocument& root, svg::AttributeId attribute)
{
    const std::string* text = root.GetAttribute(attribute, false);
    if (text == nullptr)
        return {};
    const std::optional<svg::Number> number = svg::ParseNumber(*text);
    if (!number || !(number->value > 0))
        return {};
    const char* name = UnitName(number->unit);
    const double lengthPx = svg::ToUserUnits(*number, root.Options().DefaultLengthContext());
    const double factor = number->value / lengthPx;
    if (name == nullptr || !(lengthPx > 0) || !std::isfinite(factor))
        return {};
    return {factor, QString::fromLatin1(name)};
}

// Status-bar decimals for a ruler exponent: finer rulers show more.
int CoordinateDecimals(int digits) { return digits > 1 ? 0 : std::min(2 - digits, 6); }

// svg, symbol, foreignObject and glyph are highlighted by their viewport.
bool HighlightsViewport(const svg::CElem& elem)
{
    switch (elem.Id()) {
    case svg::ElementId::svg:
    case svg::ElementId::symbol:
    case svg::ElementId::foreignObject:
    case svg::ElementId::glyph: return elem.IsA(svg::ElemClass::Container) && !svg::IsEmptyRect(elem.region);
    default: return false;
    }
}

// The ticks of one ruler: every minor tick between fromPx and toPx along
// the axis, with the value of every kMinorTicksPerStep-th in display units.
struct RulerTicks {
    double stepUser = 0;
    double unitFactor = 1;
    int exponent = 0;
    double scale = 1;
    int originPx = 0;
    int fromPx = 0;
    int toPx = 0;

    template <typename DrawTick>
    void ForEach(DrawTick draw) const
    {
        const double minorPx = stepUser * scale / kMinorTicksPerStep;
        if (!(minorPx >= kMinTickSpacingPx) || !std::isfinite(minorPx))
            return;
        const double stepUnits = stepUser * unitFactor;
        const int decimals = std::max(0, -exponent);
        const auto first = static_cast<long long>(std::ceil((fromPx - originPx) / minorPx));
        const auto last = static_cast<long long>(std::floor((toPx - originPx) / minorPx));
        for (long long k = first; k <= last; ++k) {
            const int positionPx = ToInt(std::round(originPx + k * minorPx));
            if (k % kMinorTicksPerStep != 0) {
                draw(positionPx, QString());
                continue;
            }
            const double value = double(k / kMinorTicksPerStep) * stepUnits;
            draw(positionPx, QString::asprintf("%.*f", decimals, value));
        }
    }
};

}  // namespace

double RulerStep(double unitFactor, double scale, int& exponent)
{
    exponent = 0;
    // The span of 1000 device pixels, in the display unit.
    const double span = unitFactor * 1000 / scale;
    if (!(span > 0) || !std::isfinite(span))
        return 0;
    const double decade = std::pow(10.0, std::trunc(std::log10(span / 3)));
    const double ratio = span / decade;
    double stepUnits = 10 * decade;
    if (ratio < 10)
        stepUnits = 0.5 * decade;
    else if (ratio < 40)
        stepUnits = decade;
    else if (ratio < 80)
        stepUnits = 5 * decade;
    // The small bias keeps exact powers of ten from flooring one too low.
    exponent = static_cast<int>(std::floor(std::log10(stepUnits) + 1e-9));
    return stepUnits / unitFactor;
}

CVexoView::CVexoView(CVexoDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), zoomCursor_(MakeZoomCursor())
{
    // Scroll bars that come and go would resize the client area under a fit.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(kScrollLinePx);
    verticalScrollBar()->setSingleStep(kScrollLinePx);

    progressTimer_.setInterval(kProgressIntervalMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CVexoView::OnProgressTick);
    connect(&doc_, &CVexoDoc::cleared, this, &CVexoView::OnCleared);
    connect(&doc_, &CVexoDoc::loaded, this, &CVexoView::OnLoaded);
    connect(&doc_, &CVexoDoc::stateChanged, this, &CVexoView::OnStateChanged);
    connect(&doc_, &CVexoDoc::elementSelected, this, [this] { viewport()->update(); });
    connect(&tileRenderer_, &CTileRenderer::tileRendered, this, &CVexoView::OnTileRendered);

    if (doc_.State() == svg::DocumentState::Loaded && !doc_.Loading())
        OnLoaded();
    UpdateRulerSteps();
}

CVexoView::~CVexoView()
{
    tileRenderer_.CancelAndWait();
    RenderClipboardNow();
}

// --- Document notifications ---------------------------------------------------

void CVexoView::OnCleared()
{
    // The picture is still there now; it goes right after this notice.
    DropTiles();
    RenderClipboardNow();
    picture_ = nullptr;
    picturePainted_ = false;
    panning_ = false;
    documentUnitX_ = {};
    documentUnitY_ = {};
    UpdateRulerSteps();
    if (!elementUnderMouse_.isEmpty()) {
        elementUnderMouse_.clear();
        emit elementNameChanged(elementUnderMouse_);
    }
    viewport()->update();
}

void CVexoView::OnLoaded()
{
    progressTimer_.stop();
    const svg::CPicture* picture = doc_.Picture();
    picture_ = picture != nullptr && !picture->Empty() ? picture : nullptr;
    if (const svg::CElemDocument* root = doc_.Root()) {
        documentUnitX_ = DocumentUnit(*root, svg::AttributeId::width);
        documentUnitY_ = DocumentUnit(*root, svg::AttributeId::height);
    }
    UpdateRulerSteps();
    FitWindow();
    viewport()->update();
}

void CVexoView::OnStateChanged()
{
    if (doc_.Loading() && !progressTimer_.isActive()) {
        progressTimer_.start();
        viewport()->update();
    }
}

void CVexoView::OnProgressTick()
{
    if (!doc_.Loading())
        progressTimer_.stop();
    viewport()->update();
}

// --- Mapping, zoom and units ---------------------------------------------------

QPointF CVexoView::DeviceToUser(QPointF device) const { return (device - QPointF(origin_)) / scale_; }

QPointF CVexoView::UserToDevice(QPointF user) const { return user * scale_ + QPointF(origin_); }

void CVexoView::SetView(float scale, QPoint origin)
{
    if (scale != tiles_.Scale()) {
        KeepStandIn();
        tiles_.Reset(scale);
    }
    scale_ = scale;
    origin_ = origin;
    UpdateRulerSteps();
    UpdateScrollBars();
    emit zoomChanged(ZoomText());
    // The point under a resting mouse has changed too (keys, tool bar).
    const QPoint mouse = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(mouse))
        emit coordinatesChanged(CoordinateText(DeviceToUser(mouse)));
    viewport()->update();
}

void CVexoView::SetScaleAndOrigin(float scale, QPoint origin)
{
    if (HasPicture())
        SetView(std::clamp(scale, kMinScale, kMaxScale), origin);
}

// The picture fills 1/1.2 of the area beside the rulers, with a tenth of
// its size as margin at the top left.
void CVexoView::FitWindow()
{
    if (!HasPicture())
        return;
    const svg::RectF frame = picture_->Frame();
    const int width = ToInt(frame.width);
    const int height = ToInt(frame.height);
    const QSize client = viewport()->size();
    double scale = 1;
    if (width != 0 && height != 0)
        scale = std::min((client.height() - kRulerHeight) / double(height) / 1.2,
                         (client.width() - kRulerWidth) / double(width) / 1.2);
    // A client area no larger than the rulers (a hidden view) has no fit.
    if (!(scale > 0))
        scale = 1;
    const float fitted = std::clamp(float(scale), kMinScale, kMaxScale);
    SetView(fitted, QPoint(kRulerWidth - ToInt(ToInt(frame.x - width / 10) * double(fitted)),
                           kRulerHeight - ToInt(ToInt(frame.y - height / 10) * double(fitted))));
}

void CVexoView::Scale100()
{
    if (HasPicture())
        SetView(1, QPoint(kRulerWidth, kRulerHeight));
}

void CVexoView::ZoomIn() { ZoomAt(QPoint(viewport()->width() / 2, viewport()->height() / 2), true); }

void CVexoView::ZoomOut() { ZoomAt(QPoint(viewport()->width() / 2, viewport()->height() / 2), false); }

// The user point under `device` stays there, to the nearest pixel.
void CVexoView::ZoomAt(QPoint device, bool zoomIn)
{
    if (!HasPicture())
        return;
    const float scale = zoomIn ? scale_ * kZoomFactor : scale_ / kZoomFactor;
    if (scale < kMinScale || scale > kMaxScale)
        return;
    const QPointF user = DeviceToUser(device);
    SetView(scale, QPoint(ToInt(device.x() - std::round(user.x() * scale)),
                          ToInt(device.y() - std::round(user.y() * scale))));
}

void CVexoView::ZoomTo(float scale)
{
    if (!HasPicture() || !(scale > 0))
        return;
    const float clamped = std::clamp(scale, kMinScale, kMaxScale);
    const QPoint centre(viewport()->width() / 2, viewport()->height() / 2);
    const QPointF user = DeviceToUser(centre);
    SetView(clamped, QPoint(ToInt(centre.x() - std::round(user.x() * clamped)),
                            ToInt(centre.y() - std::round(user.y() * clamped))));
}

void CVexoView::SetCheckerboard(bool enabled)
{
    checkerboard_ = enabled;
    viewport()->update();
}

QString CVexoView::ZoomText() const { return QString::asprintf("Scale: %d%%", ToInt(scale_ * 100.0f)); }

void CVexoView::SetUsePxUnit(bool enabled)
{
    usePxUnit_ = enabled;
    UpdateRulerSteps();
    viewport()->update();
}

DisplayUnit CVexoView::UnitX() const { return usePxUnit_ ? DisplayUnit{} : documentUnitX_; }

DisplayUnit CVexoView::UnitY() const { return usePxUnit_ ? DisplayUnit{} : documentUnitY_; }

void CVexoView::UpdateRulerSteps()
{
    xStepUser_ = RulerStep(UnitX().factor, scale_, xDigits_);
    yStepUser_ = RulerStep(UnitY().factor, scale_, yDigits_);
}

QString CVexoView::CoordinateText(QPointF user) const
{
    const DisplayUnit unitX = UnitX();
    const DisplayUnit unitY = UnitY();
    return QString::asprintf("%5.*f%s %5.*f%s", CoordinateDecimals(xDigits_), user.x() * unitX.factor,
                             qUtf8Printable(unitX.name), CoordinateDecimals(yDigits_), user.y() * unitY.factor,
                             qUtf8Printable(unitY.name));
}

// --- Scroll bars ---------------------------------------------------------------

namespace {

// The position is -origin; it runs from the picture just beyond the right
// (or bottom) edge of the client area to just beyond the left (or top).
void SetScrollRange(QScrollBar& bar, int pictureStart, int pictureEnd, int clientSize, int position)
{
    bar.setRange(pictureStart - clientSize, pictureEnd);
    bar.setPageStep(pictureEnd - pictureStart);
    bar.setValue(position);
}

}  // namespace

void CVexoView::UpdateScrollBars()
{
    if (!HasPicture() || svg::IsEmptyRect(picture_->Frame()))
        return;
    const svg::RectF frame = picture_->Frame();
    updatingScrollBars_ = true;
    SetScrollRange(*horizontalScrollBar(), ToInt(frame.x * scale_), ToInt(frame.Right() * scale_),
                   viewport()->width(), -origin_.x());
    SetScrollRange(*verticalScrollBar(), ToInt(frame.y * scale_), ToInt(frame.Bottom() * scale_),
                   viewport()->height(), -origin_.y());
    updatingScrollBars_ = false;
}

void CVexoView::scrollContentsBy(int dx, int dy)
{
    if (updatingScrollBars_ || !HasPicture())
        return;
    origin_ += QPoint(dx, dy);
    viewport()->update();
}

void CVexoView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

// --- Mouse and keys ------------------------------------------------------------

bool CVexoView::CanHitTest() const
{
    return HasPicture() && doc_.State() == svg::DocumentState::Loaded && !doc_.Loading() && doc_.Root() != nullptr;
}

const svg::CElem* CVexoView::HitTest(QPoint device) const
{
    const QPointF user = DeviceToUser(device);
    // The picture's hit test repeats what drawing it reported: it reports nothing.
    svg::CRenderPass pass(nullptr, svg::CStopToken::Never());
    return svg::HitTest(*doc_.Root(), user.x(), user.y(), pass);
}

void CVexoView::UpdateCursor(Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier)
        viewport()->setCursor(zoomCursor_);
    else
        viewport()->setCursor(Qt::ArrowCursor);
}

void CVexoView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::BackButton || event->button() == Qt::ForwardButton) {
        emit browseRequested(event->button() == Qt::BackButton ? -1 : 1);
        return;
    }
    if (!HasPicture())
        return;
    const QPoint mouse = event->position().toPoint();
    const bool zoom = event->modifiers() & Qt::ControlModifier;
    if (zoom && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
        ZoomAt(mouse, event->button() == Qt::LeftButton);
        return;
    }
    if (event->button() != Qt::LeftButton || !CanHitTest())
        return;
    doc_.SelectElement(HitTest(mouse));
    panning_ = true;
    panStartOrigin_ = origin_;
    panStartMouse_ = mouse;
}

void CVexoView::mouseMoveEvent(QMouseEvent* event)
{
    UpdateCursor(event->modifiers());
    if (!HasPicture())
        return;
    const QPoint mouse = event->position().toPoint();
    if (panning_)
        PanTo(mouse);
    else
        ReportMouse(mouse);
}

void CVexoView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!panning_ || event->button() != Qt::LeftButton)
        return;
    PanTo(event->position().toPoint());
    panning_ = false;
}

void CVexoView::PanTo(QPoint mouse)
{
    origin_ = panStartOrigin_ + (mouse - panStartMouse_);
    UpdateScrollBars();
    viewport()->update();
}

void CVexoView::ReportMouse(QPoint device)
{
    emit coordinatesChanged(CoordinateText(DeviceToUser(device)));
    QString name;
    if (CanHitTest())
        if (const svg::CElem* hit = HitTest(device))
            name = QString::fromStdString(hit->Name());
    if (name != elementUnderMouse_) {
        elementUnderMouse_ = name;
        emit elementNameChanged(name);
    }
}

// Forward zooms in, backward out, about the mouse; a touchpad's small steps
// add up to whole wheel notches.
void CVexoView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (!HasPicture())
        return;
    const QPoint mouse = event->position().toPoint();
    wheelDelta_ += event->angleDelta().y();
    for (; wheelDelta_ >= kWheelNotch; wheelDelta_ -= kWheelNotch)
        ZoomAt(mouse, true);
    for (; wheelDelta_ <= -kWheelNotch; wheelDelta_ += kWheelNotch)
        ZoomAt(mouse, false);
}

void CVexoView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        UpdateCursor(Qt::ControlModifier);
    // The arrow keys move the scroll bars by a line, which pans.
    QAbstractScrollArea::keyPressEvent(event);
}

void CVexoView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        UpdateCursor(Qt::NoModifier);
    QAbstractScrollArea::keyReleaseEvent(event);
}

// --- Copy --------------------------------------------------------------------------

void CVexoView::Copy()
{
    if (!HasPicture())
        return;
    // The bitmap on the clipboard keeps within the pixel budget; say so when
    // that makes it smaller than the picture.
    svg::ReportReducedOutput(svg::ComputeOutputSize(picture_->Frame(), std::nullopt, std::nullopt, 1), doc_.Log());
    auto* mimeData = new CPictureMimeData(*picture_, doc_.CollectedText());
    // The view renders the clipboard's formats before it goes, so the
    // renderer outlives every call.
    mimeData->SetReplayGuard([renderer = &tileRenderer_] { return renderer->HoldReplays(); });
    copied_ = mimeData;
    QApplication::clipboard()->setMimeData(mimeData);
}

void CVexoView::RenderClipboardNow()
{
    if (copied_)
        copied_->RenderAll();
}

// --- Painting ------------------------------------------------------------------

void CVexoView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), kBackgroundColour);
    if (doc_.Loading()) {
        PaintProgress(painter);
    } else if (HasPicture()) {
        PaintPicture(painter);
        PaintRulers(painter);
        PaintHighlight(painter);
    } else if (doc_.Log().Counts().fatal > 0) {
        QString log = QString::fromStdString(doc_.Log().LogText());
        log.remove(QLatin1Char('\r'));
        PaintMessage(painter, log, Qt::red);
    } else {
        PaintMessage(painter, QStringLiteral("Please drop SVG file here."), Qt::blue);
    }
}

void CVexoView::PaintMessage(QPainter& painter, const QString& text, const QColor& colour) const
{
    painter.setFont(UiFont(10));
    painter.setPen(colour);
    painter.drawText(viewport()->rect().adjusted(10, 10, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
}

// "Loading ..." above the centre with a bar of the share of elements set up,
// and below it, while filters run, "Processing ..." with the share of their
// primitives done.
void CVexoView::PaintProgress(QPainter& painter) const
{
    QFont font = QApplication::font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    const QString text = QStringLiteral("Loading ...");
    const int widthPx = QFontMetrics(font).horizontalAdvance(text);
    const QPoint centre(viewport()->width() / 2, viewport()->height() / 2);
    const QPoint textTopLeft(centre.x() - widthPx / 2, centre.y() - 50);
    painter.setPen(Qt::black);
    painter.drawText(QRect(textTopLeft, QSize(widthPx, 20)), Qt::AlignLeft | Qt::AlignTop, text);

    const svg::LoadProgress* progress = doc_.Progress();
    const int total = progress != nullptr ? progress->nodesAdded.load(std::memory_order_relaxed) : 0;
    const int prepared = progress != nullptr ? progress->elementsPrepared.load(std::memory_order_relaxed) : 0;
    const double share = total > 0 ? std::clamp(double(prepared) / total, 0.0, 1.0) : 0.0;
    PaintShare(painter, QPoint(textTopLeft.x(), textTopLeft.y() + 20), widthPx, share);

    // Filters are counted as the picture is drawn: their primitives run
    // after every element has been set up.
    const int primitives = progress != nullptr ? progress->primitivesTotal.load(std::memory_order_relaxed) : 0;
    if (primitives <= 0)
        return;
    const int processed = progress->primitivesDone.load(std::memory_order_relaxed);
    const QString processing = QStringLiteral("Processing ...");
    const int processingWidthPx = QFontMetrics(font).horizontalAdvance(processing);
    const QPoint processingTopLeft(centre.x() - processingWidthPx / 2, textTopLeft.y() + 50);
    painter.setPen(Qt::black);
    painter.drawText(QRect(processingTopLeft, QSize(processingWidthPx, 20)), Qt::AlignLeft | Qt::AlignTop,
                     processing);
    PaintShare(painter, QPoint(processingTopLeft.x(), textTopLeft.y() + 70), processingWidthPx,
               std::clamp(double(processed) / primitives, 0.0, 1.0));
}

// A 4-pixel line `widthPx` long: the share done in red, the rest navy.
void CVexoView::PaintShare(QPainter& painter, QPoint topLeft, int widthPx, double share)
{
    const int doneWidthPx = ToInt(widthPx * share);
    painter.fillRect(QRect(topLeft.x(), topLeft.y(), doneWidthPx, 4), Qt::red);
    painter.fillRect(QRect(topLeft.x() + doneWidthPx, topLeft.y(), widthPx - doneWidthPx, 4), QColor(0, 0, 0x80));
}

// --- Tiles ---------------------------------------------------------------------

void CVexoView::DropTiles()
{
    // The worker must let go of the picture before it goes.
    tileRenderer_.CancelAndWait();
    tiles_.Reset(0);
    standIn_ = {};
}

QRect CVexoView::VisiblePicturePx() const
{
    if (!HasPicture())
        return {};
    // In doubles first: the frame at a high zoom lies far outside int.
    const svg::RectF frame = picture_->Frame();
    const double left = std::max(std::floor(double(frame.x) * scale_), double(-origin_.x()));
    const double top = std::max(std::floor(double(frame.y) * scale_), double(-origin_.y()));
    const double right = std::min(std::ceil(double(frame.Right()) * scale_), double(viewport()->width() - origin_.x()));
    const double bottom = std::min(std::ceil(double(frame.Bottom()) * scale_), double(viewport()->height() - origin_.y()));
    if (!(right > left) || !(bottom > top))
        return {};
    return {QPoint(ToInt(left), ToInt(top)), QPoint(ToInt(right) - 1, ToInt(bottom) - 1)};
}

bool CVexoView::TilesComplete() const
{
    return HasPicture() && tiles_.Scale() == scale_ && tiles_.Missing(VisiblePicturePx()).empty();
}

bool CVexoView::Drawn() const { return !doc_.Loading() && (!HasPicture() || TilesComplete()); }

std::vector<TileKey> CVexoView::PaintTiles(QPainter& painter) const
{
    if (!standIn_.image.isNull() && standIn_.scale > 0) {
        // Device points of the old view map onto the new one through the
        // user space: d' = (d - o) * s' / s + o'.
        painter.save();
        const double ratio = double(scale_) / standIn_.scale;
        painter.translate(origin_);
        painter.scale(ratio, ratio);
        painter.translate(-standIn_.origin);
        painter.drawImage(0, 0, standIn_.image);
        painter.restore();
    }
    std::vector<TileKey> missing;
    for (const TileKey key : CTileCache::Covering(VisiblePicturePx())) {
        const QImage* tile = tiles_.Find(key);
        if (tile == nullptr) {
            missing.push_back(key);
            continue;
        }
        // A tile hides the stand-in under it, transparent parts included.
        const QRect tileDevice = CTileCache::TileRect(key).translated(origin_);
        painter.fillRect(tileDevice, kBackgroundColour);
        FillFrame(painter, QRectF(tileDevice));
        painter.drawImage(tileDevice.topLeft(), *tile);
    }
    return missing;
}

void CVexoView::KeepStandIn()
{
    if (!HasPicture() || (tiles_.Size() == 0 && standIn_.image.isNull()) || viewport()->size().isEmpty())
        return;
    QImage image(viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintTiles(painter);
    painter.end();
    standIn_ = {std::move(image), scale_, origin_};
}

void CVexoView::OnTileRendered(quint64 generation, TileKey key, const QImage& image)
{
    if (!HasPicture() || !tiles_.Insert(generation, key, image))
        return;  // rendered for a scale or picture that has gone
    viewport()->update(CTileCache::TileRect(key).translated(origin_));
}

void CVexoView::FillFrame(QPainter& painter, const QRectF& rectDevice) const
{
    const svg::RectF frame = picture_->Frame();
    const QRectF frameDevice(UserToDevice(QPointF(frame.x, frame.y)),
                             UserToDevice(QPointF(frame.Right(), frame.Bottom())));
    const QRectF area = frameDevice.intersected(rectDevice);
    if (!checkerboard_) {
        painter.fillRect(area, Qt::white);
        return;
    }
    // Squares fixed to the picture, so that they move with it.
    constexpr int kSquarePx = 8;
    QPixmap pattern(2 * kSquarePx, 2 * kSquarePx);
    pattern.fill(Qt::white);
    QPainter patternPainter(&pattern);
    patternPainter.fillRect(0, 0, kSquarePx, kSquarePx, QColor(0xCC, 0xCC, 0xCC));
    patternPainter.fillRect(kSquarePx, kSquarePx, kSquarePx, kSquarePx, QColor(0xCC, 0xCC, 0xCC));
    patternPainter.end();
    QBrush brush(pattern);
    brush.setTransform(QTransform::fromTranslate(origin_.x(), origin_.y()));
    painter.fillRect(area, brush);
}

void CVexoView::PaintPicture(QPainter& painter)
{
    FillFrame(painter, QRectF(viewport()->rect()));
    const std::vector<TileKey> missing = PaintTiles(painter);
    if (missing.empty())
        standIn_ = {};
    tileRenderer_.Schedule(picture_, scale_, tiles_.Generation(), missing);
    tiles_.Trim(VisiblePicturePx(), svg::limits::kMaxViewTiles);
    picturePainted_ = true;
}

void CVexoView::PaintRulers(QPainter& painter) const
{
    const int widthPx = viewport()->width();
    const int heightPx = viewport()->height();
    const QRect top(kRulerWidth, 0, widthPx - kRulerWidth, kRulerHeight);
    const QRect left(0, kRulerHeight, kRulerWidth, heightPx - kRulerHeight);
    painter.save();
    painter.setFont(RulerFont());
    painter.fillRect(QRect(0, 0, widthPx, kRulerHeight), kRulerColour);
    painter.fillRect(QRect(0, 0, kRulerWidth, heightPx), kRulerColour);
    painter.setPen(kRulerEdgeColour);
    painter.drawLine(0, kRulerHeight - 1, widthPx, kRulerHeight - 1);
    painter.drawLine(kRulerWidth - 1, 0, kRulerWidth - 1, heightPx);
    painter.setPen(Qt::black);

    // Labels sit beside their long tick; short ticks mark the fifths.
    const RulerTicks xTicks{xStepUser_, UnitX().factor, xDigits_, scale_, origin_.x(), top.left(), top.right()};
    painter.setClipRect(top);
    xTicks.ForEach([&painter](int x, const QString& label) {
        if (label.isEmpty()) {
            painter.drawLine(x, kRulerHeight - 4, x, kRulerHeight - 1);
            return;
        }
        painter.drawLine(x, 0, x, kRulerHeight - 1);
        painter.drawText(QRect(x + 2, 0, 100, kRulerHeight - 2), Qt::AlignLeft | Qt::AlignTop, label);
    });

    // The left ruler's labels read upwards.
    const RulerTicks yTicks{yStepUser_, UnitY().factor, yDigits_, scale_, origin_.y(), left.top(), left.bottom()};
    painter.setClipRect(left);
    yTicks.ForEach([&painter](int y, const QString& label) {
        if (label.isEmpty()) {
            painter.drawLine(kRulerWidth - 5, y, kRulerWidth - 2, y);
            return;
        }
        painter.drawLine(0, y, kRulerWidth - 2, y);
        painter.save();
        painter.translate(0, y);
        painter.rotate(-90);
        painter.drawText(QRect(2, 0, 100, kRulerWidth - 5), Qt::AlignLeft | Qt::AlignTop, label);
        painter.restore();
    });
    painter.restore();
}

std::optional<QPolygon> CVexoView::HighlightCorners() const
{
    const svg::CElem* elem = doc_.Selected();
    if (elem == nullptr || !picturePainted_ || !HasPicture() || elem->Document() != doc_.Root() ||
        elem->HasAncestorOrSelfNamed(svg::ElementId::defs))
        return std::nullopt;
    svg::RectF box;
    svg::Matrix toRoot;
    if (HighlightsViewport(*elem)) {
        // The viewport lies in the user space outside the viewBox.
        box = elem->region;
        toRoot = elem->props.transform;
        if (elem->Parent() != nullptr)
            toRoot = svg::Matrix::Multiply(toRoot, svg::ElementToRoot(*elem->Parent()));
    } else if (elem->bboxUser) {
        box = *elem->bboxUser;
        toRoot = svg::ElementToRoot(*elem);
    } else {
        return std::nullopt;
    }
    const auto toPixel = [](double coordinate) {
        return ToInt(std::floor(std::clamp(coordinate, -kMaxHighlightCoordinate, kMaxHighlightCoordinate) + 0.5));
    };
    QPolygon corners;
    for (const svg::PointD corner : {svg::PointD{box.x, box.y}, svg::PointD{box.Right(), box.y},
                                     svg::PointD{box.Right(), box.Bottom()}, svg::PointD{box.x, box.Bottom()}}) {
        const svg::PointD user = toRoot.Apply(corner);
        const QPointF device = UserToDevice(QPointF(user.x, user.y));
        if (!std::isfinite(device.x()) || !std::isfinite(device.y()))
            return std::nullopt;
        corners << QPoint(toPixel(device.x()), toPixel(device.y()));
    }
    return corners;
}

// A white line under the dotted black one keeps the box visible on dark
// and light pictures alike.
void CVexoView::PaintHighlight(QPainter& painter) const
{
    const std::optional<QPolygon> corners = HighlightCorners();
    if (!corners)
        return;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawPolygon(*corners);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawPolygon(*corners);
    for (const QPoint& corner : *corners) {
        painter.setPen(Qt::black);
        painter.drawRect(corner.x() - 3, corner.y() - 3, 6, 6);
        painter.setPen(Qt::white);
        painter.drawRect(corner.x() - 2, corner.y() - 2, 4, 4);
    }
}

}  // namespace vexo
