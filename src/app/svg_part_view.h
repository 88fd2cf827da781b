// The part view: a pane that shows the selected element alone, fitted into
// the pane between dotted guide lines labelled with its coordinates, over a
// white or checkered background; in axis mode in its own coordinates. The
// element is drawn on a rendering thread of the pane's own (CPreviewJob):
// a new selection tells the running drawing to stop and starts the next at
// once, without waiting; the document's cleared() stops and joins every
// drawing before the documents go. "Processing.." shows while it draws,
// "Wait.." while the document loads. For a filter primitive the pane shows
// the primitive's kept images instead (in, in2, result) with the image tool
// bar. Copy and Export take the element at its natural size.
//
// User-interface thread only; the drawing's result arrives through a queued
// call and is the pane's alone from then on.
#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <memory>
#include <optional>

#include "pipeline/preview_job.h"
#include "values/rect.h"

class QAction;
class QToolBar;

namespace svg {
class CElem;
class CPicture;
}  // namespace svg

namespace vexo {

class CVexoDoc;
class CSettings;
class PartCanvas;
struct PartViewLayout;

class CSvgPartView : public QWidget {
    Q_OBJECT
public:
    CSvgPartView(CVexoDoc& doc, CSettings& settings, QWidget* parent = nullptr);
    // Stops and joins the rendering thread.
    ~CSvgPartView() override;

    // Which kept image of a filter primitive is shown.
    enum class ImageKind { None, In, In2, Result };

    // --- Commands ------------------------------------------------------------
    void SelectElement(const svg::CElem* elem);
    void SetChecker(bool enabled);
    void SetAxisMode(bool enabled);
    void ShowImage(ImageKind kind);
    // Puts the element at its natural size on the clipboard: PNG (and a
    // bitmap), SVG and PDF.
    void Copy();
    // Asks for a file and writes the element at its natural size into it.
    void Export();
    // Writes the element at its natural size into `path`, the format by its
    // extension (else PDF); false with `error` set when it cannot.
    bool ExportTo(const QString& path, QString& error);

    // --- State, for the frame and tests ---------------------------------------
    const svg::CElem* Selected() const { return selected_; }
    bool Checker() const { return checker_; }
    bool AxisMode() const { return axisMode_; }
    // The drawing for the current selection is under way.
    bool Rendering() const;
    bool HasPicture() const { return picture_ != nullptr; }
    // The frame the pane fits; null when there is none.
    const std::optional<svg::RectF>& Extent() const { return extent_; }
    // The picture at its natural size (frame: what it covers); null without one.
    std::shared_ptr<const svg::CPicture> NaturalPicture() const;
    ImageKind ShownImage() const { return shownImage_; }
    QWidget* Canvas() const;
    QToolBar* DrawingToolBar() const { return drawingBar_; }
    QToolBar* ImageToolBar() const { return imageBar_; }
    QAction* CheckerAction() const { return checkerAction_; }
    QAction* AxisAction() const { return axisAction_; }
    QAction* CopyAction() const { return copyAction_; }
    QAction* ExportAction() const { return exportAction_; }
    QAction* ImageAction(ImageKind kind) const;

signals:
    // The status-bar coordinates under the pointer; empty when there are none.
    void coordinatesChanged(const QString& text);
    // A drawing was handed over (or found nothing to draw).
    void pictureChanged();

private:
    friend class PartCanvas;

    void OnCleared();
    // Where the pane shows the picture: its size, and the picture's scale
    // and origin in it.
    struct ReplayTarget {
        QSize size;
        double scale = 0;
        QPointF origin;
    };
    ReplayTarget ReplayTargetFor(QSize size, const PartViewLayout& layout) const;
    void OnDrawn(std::uint64_t generation, const QImage& replayed, std::optional<ReplayTarget> target);
    // Drops the picture and, when the pane can show it, starts drawing.
    void Redraw();
    void StartDrawing();
    void UpdateActions();
    bool IsPrimitive() const;
    QImage ShownBitmap() const;

    void Paint(QPainter& painter, QSize size);
    void PaintBackground(QPainter& painter, QSize size) const;
    void PaintGuideLines(QPainter& painter, QSize size, const PartViewLayout& layout) const;
    void PaintGuideLabels(QPainter& painter, QSize size, const PartViewLayout& layout) const;
    void PaintContent(QPainter& painter, QSize size, const PartViewLayout& layout);
    void PaintNote(QPainter& painter, QSize size, const QString& text, int pointSize) const;
    void MouseMoved(QPointF position, QSize size);
    std::optional<svg::RectF> FrameShown() const;

    CVexoDoc& doc_;
    CSettings& settings_;
    const svg::CElem* selected_ = nullptr;
    bool checker_ = false;
    bool axisMode_ = false;
    std::optional<svg::RectF> extent_;
    bool yAxisUp_ = false;

    svg::CPreviewJob job_;
    // Set once a drawing was started for the current selection and mode.
    bool drawingStarted_ = false;
    std::shared_ptr<const svg::CPicture> picture_;
    std::optional<svg::PrimitiveImages> images_;
    ImageKind shownImage_ = ImageKind::None;
    mutable std::shared_ptr<const svg::CPicture> natural_;

    // The picture replayed for the pane, kept until the picture, the pane
    // size or the layout change.
    struct Replay {
        const svg::CPicture* picture = nullptr;
        ReplayTarget target;
        QImage image;
    } replay_;

    PartCanvas* canvas_ = nullptr;
    QToolBar* drawingBar_ = nullptr;
    QToolBar* imageBar_ = nullptr;
    QAction* checkerAction_ = nullptr;
    QAction* axisAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* inAction_ = nullptr;
    QAction* in2Action_ = nullptr;
    QAction* resultAction_ = nullptr;
};

}  // namespace vexo
