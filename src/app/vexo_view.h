// The main view: replays the document's recorded picture at a zoom factor and
// pan offset of its own (device = user * scale + origin), with rulers in the
// document's units along the top and left edges, the selected element's
// highlight, progress while a document loads, and Copy. It never renders the
// element tree; repaints replay the recording.
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

signals:
    // Status-bar texts: the element name under the mouse (empty for none),
    // the coordinates under the mouse, and the zoom.
    void elementNameChanged(const QString& name);
    void coordinatesChanged(const QString& text);
    void zoomChanged(const QString& text);

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
    // The picture replayed for the client area at the current zoom and pan;
    // kept until one of them changes.
    const QImage& ReplayedImage();

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

    struct Replay {
        const svg::CPicture* picture = nullptr;
        float scale = 0;
        QPoint origin;
        QSize size;
        QImage image;
    } replay_;

    // The clipboard owns it; null once another copy has replaced it.
    QPointer<CPictureMimeData> copied_;
};

}  // namespace vexo
