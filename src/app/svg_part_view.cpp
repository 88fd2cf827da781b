#include "app/svg_part_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cairo.h>

#include "app/export.h"
#include "app/icons.h"
#include "app/part_view_layout.h"
#include "app/picture_clipboard.h"
#include "app/vexo_doc.h"
#include "filter/rt_bitmap.h"
#include "model/elem.h"
#include "render/render.h"

namespace vexo {

// The pane's drawing surface: paints and follows the pointer for the part view.
class PartCanvas : public QWidget {
public:
    explicit PartCanvas(CSvgPartView& view) : QWidget(&view), view_(view)
    {
        setMouseTracking(true);
        setMinimumSize(80, 60);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        view_.Paint(painter, size());
    }
    void mouseMoveEvent(QMouseEvent* event) override { view_.MouseMoved(event->position(), size()); }
    void leaveEvent(QEvent*) override { emit view_.coordinatesChanged(QString()); }

private:
    CSvgPartView& view_;
};

namespace {

const QColor kCheckerGrey(192, 192, 192);
const QColor kGuideColour(255, 128, 128);
constexpr int kCheckerSquarePx = 15;
constexpr int kLabelPointSize = 8;
constexpr int kProcessingPointSize = 10;
constexpr int kWaitPointSize = 12;

QFont UiFont(int pointSize)
{
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    return font;
}

// A filter's kept image, premultiplied as cairo keeps it, which is Qt's
// premultiplied ARGB32 byte for byte; the image shares the bitmap's pixels
// and holds the bitmap alive.
QImage ImageOfBitmap(const std::shared_ptr<const svg::CRtBitmap>& bitmap)
{
    if (!bitmap || bitmap->Rect().IsEmpty())
        return {};
    auto* keep = new std::shared_ptr<const svg::CRtBitmap>(bitmap);
    return QImage(
        bitmap->Data(), bitmap->Rect().width, bitmap->Rect().height, qsizetype(bitmap->Stride()),
        QImage::Format_ARGB32_Premultiplied, [](void* held) { delete static_cast<std::shared_ptr<const svg::CRtBitmap>*>(held); },
        keep);
}

QString SuggestedName(const svg::CElem& elem)
{
    return QString::fromStdString(elem.IdAttribute().empty() ? elem.Name() : elem.IdAttribute()) + QStringLiteral(".pdf");
}

}  // namespace

CSvgPartView::CSvgPartView(CVexoDoc& doc, CSettings& settings, QWidget* parent)
    : QWidget(parent), doc_(doc), settings_(settings)
{
    auto make = [this](const QString& tooltip, const QString& statusTip, ToolIcon icon, auto slot,
                       bool checkable = false) {
        auto* action = new QAction(ToolBarIcon(icon), tooltip, this);
        action->setToolTip(tooltip);
        action->setStatusTip(statusTip);
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    // The prompts are the program's own texts.
    checkerAction_ = make(QStringLiteral("Background Checker/White"), QStringLiteral("背景をチェック模様にします。"),
                          ToolIcon::Checker, [this](bool on) { SetChecker(on); }, true);
    axisAction_ = make(QStringLiteral("Toggle Axis mode"),
                       QStringLiteral("viewbox/transformを適用しない要素の内部座標系に切り替えます。"),
                       ToolIcon::AxisMode, [this](bool on) { SetAxisMode(on); }, true);
    exportAction_ = make(QStringLiteral("Export"), QStringLiteral("選択した要素の図形を外部ファイルにエクスポートします。"),
                         ToolIcon::Export, [this] { Export(); });
    copyAction_ = make(QStringLiteral("Copy"), QStringLiteral("選択した要素の図形をクリップボードにコピーします。"),
                       ToolIcon::Copy, [this] { Copy(); });
    inAction_ = make(QStringLiteral("Show \"in\""), QStringLiteral("\"filter-primitive\"の'in'の画像を表示します。"),
                     ToolIcon::ShowIn, [this] { ShowImage(ImageKind::In); }, true);
    in2Action_ = make(QStringLiteral("Show in2"), QStringLiteral("\"filter-primitive\"の'in2'の画像を表示します。"),
                      ToolIcon::ShowIn2, [this] { ShowImage(ImageKind::In2); }, true);
    resultAction_ = make(QStringLiteral("Show result"), QStringLiteral("\"filter-primitive\"の結果の画像を表示します。"),
                         ToolIcon::ShowResult, [this] { ShowImage(ImageKind::Result); }, true);

    drawingBar_ = new QToolBar(this);
    drawingBar_->setObjectName(QStringLiteral("PartViewDrawingToolBar"));
    drawingBar_->setIconSize(QSize(16, 16));
    drawingBar_->addActions({checkerAction_, axisAction_});
    drawingBar_->addSeparator();
    drawingBar_->addActions({exportAction_, copyAction_});
    imageBar_ = new QToolBar(this);
    imageBar_->setObjectName(QStringLiteral("PartViewImageToolBar"));
    imageBar_->setIconSize(QSize(16, 16));
    imageBar_->addAction(checkerAction_);
    imageBar_->addSeparator();
    imageBar_->addActions({inAction_, in2Action_, resultAction_});
    imageBar_->hide();

    canvas_ = new PartCanvas(*this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(drawingBar_);
    layout->addWidget(imageBar_);
    layout->addWidget(canvas_, 1);

    connect(&doc_, &CVexoDoc::elementSelected, this, &CSvgPartView::SelectElement);
    // Direct: the documents are deleted right after cleared() returns.
    connect(&doc_, &CVexoDoc::cleared, this, &CSvgPartView::OnCleared, Qt::DirectConnection);
    connect(&doc_, &CVexoDoc::stateChanged, canvas_, qOverload<>(&QWidget::update));
    UpdateActions();
}

CSvgPartView::~CSvgPartView() { job_.StopAndJoin(); }

QWidget* CSvgPartView::Canvas() const { return canvas_; }

bool CSvgPartView::IsPrimitive() const
{
    return selected_ != nullptr && selected_->Class() == svg::ElemClass::FilterPrimitive;
}

bool CSvgPartView::Rendering() const { return job_.Running(); }

QAction* CSvgPartView::ImageAction(ImageKind kind) const
{
    switch (kind) {
    case ImageKind::In: return inAction_;
    case ImageKind::In2: return in2Action_;
    case ImageKind::Result: return resultAction_;
    case ImageKind::None: break;
    }
    return nullptr;
}

// --- Selection and the rendering thread -----------------------------------------------

void CSvgPartView::SelectElement(const svg::CElem* elem)
{
    selected_ = elem;
    images_.reset();
    shownImage_ = ImageKind::None;
    const bool primitive = IsPrimitive();
    drawingBar_->setVisible(!primitive);
    imageBar_->setVisible(primitive);
    Redraw();
}

void CSvgPartView::SetChecker(bool enabled)
{
    checker_ = enabled;
    UpdateActions();
    canvas_->update();
}

void CSvgPartView::SetAxisMode(bool enabled)
{
    axisMode_ = enabled;
    Redraw();
}

void CSvgPartView::ShowImage(ImageKind kind)
{
    shownImage_ = kind;
    UpdateActions();
    canvas_->update();
}

void CSvgPartView::Redraw()
{
    job_.Cancel();
    picture_.reset();
    natural_.reset();
    drawingStarted_ = false;
    extent_.reset();
    yAxisUp_ = false;
    if (selected_ != nullptr) {
        extent_ = svg::PreviewExtent(*selected_, axisMode_);
        yAxisUp_ = svg::PreviewYAxisUp(*selected_);
    }
    if (isVisible())
        StartDrawing();
    UpdateActions();
    canvas_->update();
}

void CSvgPartView::StartDrawing()
{
    if (drawingStarted_ || selected_ == nullptr || doc_.Loading())
        return;
    drawingStarted_ = true;
    // The picture is replayed for the pane on the drawing's thread as well,
    // at the pane's present size: a large one takes seconds to replay, and
    // the interface must not wait for that.
    std::optional<ReplayTarget> target;
    if (extent_ && !IsPrimitive()) {
        const QSize size = canvas_->size();
        if (const std::optional<PartViewLayout> layout = LayOutPartView(size, *extent_, yAxisUp_))
            target = ReplayTargetFor(size, *layout);
    }
    auto replayed = std::make_shared<QImage>();
    svg::CPreviewJob::Finish finish;
    if (target) {
        finish = [replayed, target](const svg::PreviewResult& result, const svg::CStopToken& stop) {
            if (result.recording && result.recording->picture)
                *replayed = ReplayPicture(*result.recording->picture, target->size,
                                          svg::Matrix{target->scale, 0, 0, target->scale, target->origin.x(),
                                                      target->origin.y()},
                                          Qt::transparent, &stop);
        };
    }
    QPointer<CSvgPartView> self(this);
    job_.Start(
        *selected_, axisMode_,
        [self, replayed, target](std::uint64_t generation) {
            // On the rendering thread: the pane takes the result on its own thread.
            QMetaObject::invokeMethod(
                self.data(),
                [self, generation, replayed, target] {
                    if (self)
                        self->OnDrawn(generation, *replayed, target);
                },
                Qt::QueuedConnection);
        },
        std::move(finish));
}

CSvgPartView::ReplayTarget CSvgPartView::ReplayTargetFor(QSize size, const PartViewLayout& layout) const
{
    const svg::RectF& extent = *extent_;
    return {size, layout.fitScale,
            QPointF(layout.frameOrigin.x() - extent.x * layout.fitScale,
                    layout.frameOrigin.y() - extent.y * layout.fitScale)};
}

void CSvgPartView::OnDrawn(std::uint64_t generation, const QImage& replayed, std::optional<ReplayTarget> target)
{
    std::unique_ptr<svg::PreviewResult> result = job_.Take(generation);
    if (result == nullptr)
        return;  // stopped, or a later selection has been made since
    if (result->recording)
        picture_ = std::shared_ptr<const svg::CPicture>(std::move(result->recording->picture));
    if (picture_ && target && !replayed.isNull())
        replay_ = {picture_.get(), *target, replayed};
    images_ = std::move(result->images);
    if (images_ && shownImage_ == ImageKind::None)
        shownImage_ = ImageKind::Result;
    UpdateActions();
    canvas_->update();
    emit pictureChanged();
}

void CSvgPartView::OnCleared()
{
    // Every drawing reads the documents that are about to be deleted.
    job_.StopAndJoin();
    selected_ = nullptr;
    picture_.reset();
    natural_.reset();
    images_.reset();
    shownImage_ = ImageKind::None;
    extent_.reset();
    drawingStarted_ = false;
    replay_ = {};
    drawingBar_->show();
    imageBar_->hide();
    UpdateActions();
    canvas_->update();
    emit coordinatesChanged(QString());
}

void CSvgPartView::UpdateActions()
{
    checkerAction_->setChecked(checker_);
    axisAction_->setChecked(axisMode_);
    copyAction_->setEnabled(picture_ != nullptr);
    exportAction_->setEnabled(picture_ != nullptr);
    for (ImageKind kind : {ImageKind::In, ImageKind::In2, ImageKind::Result}) {
        QAction* action = ImageAction(kind);
        const bool present = images_ && [&] {
            switch (kind) {
            case ImageKind::In: return images_->in != nullptr;
            case ImageKind::In2: return images_->in2 != nullptr;
            default: return images_->result != nullptr;
            }
        }();
        action->setEnabled(present);
        action->setChecked(present && shownImage_ == kind);
    }
}

// --- Copy and export ----------------------------------------------------------------------

std::shared_ptr<const svg::CPicture> CSvgPartView::NaturalPicture() const
{
    if (picture_ == nullptr)
        return nullptr;
    if (natural_ == nullptr) {
        const std::optional<svg::RectF> ink = svg::InkBounds(*picture_);
        if (!ink)
            return nullptr;
        // The same recording, framed by what it covers.
        natural_ = picture_->Reframed(*ink);
    }
    return natural_;
}

void CSvgPartView::Copy()
{
    const std::shared_ptr<const svg::CPicture> natural = NaturalPicture();
    if (natural == nullptr)
        return;
    auto* mimeData = new CPictureMimeData(*natural, QString());
    // Rendered now: the picture goes with the next selection.
    mimeData->RenderAll();
    QApplication::clipboard()->setMimeData(mimeData);
}

bool CSvgPartView::ExportTo(const QString& path, QString& error)
{
    const std::shared_ptr<const svg::CPicture> natural = NaturalPicture();
    if (natural == nullptr) {
        error = tr("Nothing to export");
        return false;
    }
    return ExportPicture(*natural, ResolveExportTarget(path, ExportFilters().first()), error);
}

void CSvgPartView::Export()
{
    const std::shared_ptr<const svg::CPicture> natural = NaturalPicture();
    if (natural != nullptr && selected_ != nullptr)
        ExportWithDialog(this, settings_, *natural, SuggestedName(*selected_));
}

// --- Painting ---------------------------------------------------------------------------

QImage CSvgPartView::ShownBitmap() const
{
    if (!images_)
        return {};
    switch (shownImage_) {
    case ImageKind::In: return ImageOfBitmap(images_->in);
    case ImageKind::In2: return ImageOfBitmap(images_->in2);
    case ImageKind::Result: return ImageOfBitmap(images_->result);
    case ImageKind::None: break;
    }
    return {};
}

// The frame shown: the kept image's size for a primitive showing one, else
// the element's extent.
std::optional<svg::RectF> CSvgPartView::FrameShown() const
{
    if (IsPrimitive()) {
        const QImage image = ShownBitmap();
        if (image.isNull())
            return std::nullopt;
        return svg::RectF{0, 0, float(image.width()), float(image.height())};
    }
    return extent_;
}

void CSvgPartView::Paint(QPainter& painter, QSize size)
{
    if (doc_.Loading()) {
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        PaintNote(painter, size, QStringLiteral("Wait.."), kWaitPointSize);
        return;
    }
    PaintBackground(painter, size);
    if (selected_ == nullptr)
        return;
    const std::optional<svg::RectF> frame = FrameShown();
    const std::optional<PartViewLayout> layout =
        frame ? LayOutPartView(size, *frame, yAxisUp_ && !IsPrimitive()) : std::nullopt;
    if (!layout) {
        // Nothing to frame; a drawing may still be wanted (a primitive's images).
        if (!IsPrimitive())
            return;
    } else {
        PaintGuideLines(painter, size, *layout);
    }
    if (IsPrimitive()) {
        if (layout) {
            painter.drawImage(QRectF(layout->left, layout->top, layout->right - layout->left,
                                     layout->bottom - layout->top),
                              ShownBitmap());
            PaintGuideLabels(painter, size, *layout);
        }
        else if (!drawingStarted_)
            StartDrawing();
        else if (Rendering())
            PaintNote(painter, size, QStringLiteral("Processing.."), kProcessingPointSize);
        return;
    }
    PaintContent(painter, size, *layout);
    // The labels stay readable where the drawing covers them.
    PaintGuideLabels(painter, size, *layout);
}

void CSvgPartView::PaintBackground(QPainter& painter, QSize size) const
{
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (!checker_)
        return;
    for (int y = 0; y < size.height(); y += kCheckerSquarePx)
        for (int x = (y / kCheckerSquarePx) % 2 == 0 ? kCheckerSquarePx : 0; x < size.width(); x += 2 * kCheckerSquarePx)
            painter.fillRect(QRect(x, y, kCheckerSquarePx, kCheckerSquarePx), kCheckerGrey);
}

void CSvgPartView::PaintGuideLines(QPainter& painter, QSize size, const PartViewLayout& layout) const
{
    painter.save();
    painter.setPen(QPen(kGuideColour, 1, Qt::DotLine));
    painter.drawLine(QPointF(0, layout.top), QPointF(size.width(), layout.top));
    painter.drawLine(QPointF(0, layout.bottom), QPointF(size.width(), layout.bottom));
    painter.drawLine(QPointF(layout.left, 0), QPointF(layout.left, size.height()));
    painter.drawLine(QPointF(layout.right, 0), QPointF(layout.right, size.height()));
    painter.restore();
}

void CSvgPartView::PaintGuideLabels(QPainter& painter, QSize size, const PartViewLayout& layout) const
{
    painter.save();
    painter.setFont(UiFont(kLabelPointSize));
    painter.setPen(kGuideColour.darker(150));
    const QFontMetricsF metrics(painter.font());
    // Labels keep inside the pane: a long right x label moves left of the
    // pane's edge, a long y label starts at the pane's left edge.
    const double paneWidth = size.width();
    for (const GuideLabel* label : {&layout.leftLabel, &layout.rightLabel}) {
        const double width = metrics.horizontalAdvance(label->text);
        const double x = std::max(0.0, std::min(label->anchor.x(), paneWidth - width - 1));
        painter.drawText(QPointF(x, label->anchor.y() + metrics.ascent()), label->text);
    }
    for (const GuideLabel* label : {&layout.topLabel, &layout.bottomLabel}) {
        const double width = metrics.horizontalAdvance(label->text);
        const double x = std::max(0.0, label->anchor.x() - width);
        painter.drawText(QPointF(x, label->anchor.y() + (metrics.ascent() - metrics.descent()) / 2), label->text);
    }
    painter.restore();
}

void CSvgPartView::PaintContent(QPainter& painter, QSize size, const PartViewLayout& layout)
{
    if (picture_ == nullptr) {
        if (!drawingStarted_)
            StartDrawing();
        if (Rendering())
            PaintNote(painter, size, QStringLiteral("Processing.."), kProcessingPointSize);
        return;
    }
    const ReplayTarget target = ReplayTargetFor(size, layout);
    const ReplayTarget& kept = replay_.target;
    if (replay_.picture != picture_.get() || kept.size != size || kept.scale != target.scale ||
        kept.origin != target.origin) {
        // The pane changed since the drawing's thread replayed the picture.
        replay_.picture = picture_.get();
        replay_.target = target;
        replay_.image = ReplayPicture(
            *picture_, size,
            svg::Matrix{target.scale, 0, 0, target.scale, target.origin.x(), target.origin.y()}, Qt::transparent);
    }
    painter.drawImage(0, 0, replay_.image);
}

void CSvgPartView::PaintNote(QPainter& painter, QSize size, const QString& text, int pointSize) const
{
    painter.save();
    painter.setFont(UiFont(pointSize));
    painter.setPen(Qt::black);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, text);
    painter.restore();
}

void CSvgPartView::MouseMoved(QPointF position, QSize size)
{
    const std::optional<svg::RectF> frame = FrameShown();
    const std::optional<PartViewLayout> layout =
        selected_ != nullptr && frame ? LayOutPartView(size, *frame) : std::nullopt;
    if (!layout) {
        emit coordinatesChanged(QString());
        return;
    }
    emit coordinatesChanged(PartViewCoordinateText(layout->PaneToUser(position, *frame), yAxisUp_ && !IsPrimitive()));
}

}  // namespace vexo
