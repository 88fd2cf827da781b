// The main view: replays the document's recorded picture at a zoom factor and
// pan offset of its own (device = user * scale + origin), with rulers in the
// document's units along the top and left edges, the selected element's
// highlight, progress while a document loads, and Copy. It never renders the
// element tree: tiles of the recording are replayed at the current scale on
// a worker thread (CTileRenderer), kept while panning and dropped by a zoom,
// and until they arrive the previous view, scaled, stands in for them.
#pragma once

#include <QAbstractScrollArea>
#include <QCursor>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QPolygon>
#include <QString>
#include <QTimer>
#include <optional>
#include <vector>

#include "app/tile_cache.h"
#include "app/tile_renderer.h"

namespace svg {
class CElem;
class CPicture;
}  // namespace svg

namespace vexo {

class CVexoDoc;
class CPictureMimeData;

// The unit rulers and coordinates are shown in: factor converts user units
// (px) into it.
struct DisplayUnit {
    double factor = 1;
    QString name = QStringLiteral("px");
};

// A ruler's tick step, in user units, for a unit factor and zoom scale; the
// decimal exponent of step * factor goes to `exponent`.
double RulerStep(double unitFactor, double scale, int& exponent);

class CVexoView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kRulerWidth = 21;
    static constexpr int kRulerHeight = 15;

    explicit CVexoView(CVexoDoc& doc, QWidget* parent = nullptr);
    ~CVexoView() override;

    // --- Commands ----------------------------------------------------------
    void FitWindow();
    void ZoomIn();   // about the centre of the client area
    void ZoomOut();
    void Scale100();
    // Zooms to `scale` (clamped to the zoom range) about the centre.
    void ZoomTo(float scale);
    // Transparent parts of the picture over a checkerboard instead of white.
    void SetCheckerboard(bool enabled);
    bool Checkerboard() const { return checkerboard_; }
    // Sets the zoom and the pan offset as they were (a reload of the file).
    void SetScaleAndOrigin(float scale, QPoint origin);
    // Zooms in or out by 1.5 keeping the user point under `device` in place.
    void ZoomAt(QPoint device, bool zoomIn);
    // Puts the picture on the clipboard: PNG over white at its natural size,
    // SVG and PDF, and the document's text as plain text.
    void Copy();
    // Renders the formats of the last Copy that no program has asked for
    // yet, so that the clipboard keeps them after the picture or the
    // application has gone; the frame calls it before quitting.
    void RenderClipboardNow();
    bool UsePxUnit() const { return usePxUnit_; }
    void SetUsePxUnit(bool enabled);

    // --- State, for the status bar and tests --------------------------------
    float Scale() const { return scale_; }
    QPoint Origin() const { return origin_; }
    QPointF DeviceToUser(QPointF device) const;
    QPointF UserToDevice(QPointF user) const;
    DisplayUnit UnitX() const;
    DisplayUnit UnitY() const;
    int XDigits() const { return xDigits_; }
    int YDigits() const { return yDigits_; }
    // "Scale: 250%".
    QString ZoomText() const;
    // The status-bar coordinates of a user point, in the rulers' units.
    QString CoordinateText(QPointF user) const;
    // The device corners of the selected element's highlight; none when
    // nothing is highlighted (no selection, an element under `defs`, or no
    // picture painted yet).
    std::optional<QPolygon> HighlightCorners() const;
    // Every tile the client area shows has arrived.
    bool TilesComplete() const;
    // No load runs and the picture, if any, is fully drawn.
    bool Drawn() const;
    const CTileCache& Tiles() const { return tiles_; }
    CTileRenderer& TileRenderer() { return tileRenderer_; }

signals:
    // Status-bar texts: the element name under the mouse (empty for none),
    // the coordinates under the mouse, and the zoom.
    void elementNameChanged(const QString& name);
    void coordinatesChanged(const QString& text);
    void zoomChanged(const QString& text);
    // The mouse's back (-1) or forward (+1) button: the previous or next file.
    void browseRequested(int step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // A scroll bar moved: the picture pans with it.
    void scrollContentsBy(int dx, int dy) override;

private:
    void OnCleared();
    void OnLoaded();
    void OnStateChanged();
    void OnProgressTick();

    bool HasPicture() const { return picture_ != nullptr; }
    // Hit tests need the whole tree set up and no load running.
    bool CanHitTest() const;
    const svg::CElem* HitTest(QPoint device) const;
    void SetView(float scale, QPoint origin);
    void PanTo(QPoint mouse);
    void UpdateRulerSteps();
    void UpdateScrollBars();
    void UpdateCursor(Qt::KeyboardModifiers modifiers);
    void ReportMouse(QPoint device);

    void PaintMessage(QPainter& painter, const QString& text, const QColor& colour) const;
    void PaintProgress(QPainter& painter) const;
    static void PaintShare(QPainter& painter, QPoint topLeft, int widthPx, double share);
    void PaintPicture(QPainter& painter);
    void PaintRulers(QPainter& painter) const;
    void PaintHighlight(QPainter& painter) const;
    // The picture pixels (device minus origin) of the client area that the
    // picture's frame covers.
    QRect VisiblePicturePx() const;
    // Draws the stand-in and the tiles that have arrived; returns the
    // visible tiles still missing.
    std::vector<TileKey> PaintTiles(QPainter& painter) const;
    void OnTileRendered(quint64 generation, TileKey key, const QImage& image);
    // Before a zoom: the client area as it looks now becomes the stand-in.
    void KeepStandIn();
    void DropTiles();
    // Fills the part of `rectDevice` inside the picture's frame with the
    // picture's background: white or the checkerboard.
    void FillFrame(QPainter& painter, const QRectF& rectDevice) const;

    CVexoDoc& doc_;
    // The document's picture from loaded() to cleared(); null otherwise.
    const svg::CPicture* picture_ = nullptr;
    float scale_ = 1;
    QPoint origin_{0, 0};
    int xDigits_ = 0;
    int yDigits_ = 0;
    double xStepUser_ = 0;
    double yStepUser_ = 0;
    bool usePxUnit_ = false;
    bool checkerboard_ = false;
    DisplayUnit documentUnitX_;
    DisplayUnit documentUnitY_;
    bool picturePainted_ = false;

    bool panning_ = false;
    QPoint panStartOrigin_;
    QPoint panStartMouse_;
    int wheelDelta_ = 0;
    // Set while the view sets the scroll bars itself, which must not pan.
    bool updatingScrollBars_ = false;
    QString elementUnderMouse_;
    QTimer progressTimer_;
    QCursor zoomCursor_;

    CTileCache tiles_;
    CTileRenderer tileRenderer_;
    // What the client area showed before the last zoom, at its scale and
    // origin; drawn scaled under the tiles until all of them have arrived.
    struct StandIn {
        QImage image;
        float scale = 0;
        QPoint origin;
    } standIn_;

    // The clipboard owns it; null once another copy has replaced it.
    QPointer<CPictureMimeData> copied_;
};

}  // namespace vexo
