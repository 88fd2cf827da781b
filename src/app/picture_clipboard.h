// The picture on the clipboard, rendered only when a program asks for a
// format: PNG (and a QImage) of the root viewport over white, scaled down to
// the output pixel budget when larger (render/output.h), SVG and PDF at the
// picture's frame, and the document's text as plain text.
//
// The mime data reads the document's picture until RenderAll() has run; the
// view calls it before the picture goes (a new load, closing, quitting), so
// the clipboard keeps its content without ever reading a deleted picture.
// User-interface thread only.
#pragma once

#include <QImage>
#include <QMimeData>
#include <QSize>
#include <functional>
#include <map>
#include <mutex>

namespace svg {
class CPicture;
class CStopToken;
struct Matrix;
}  // namespace svg

namespace vexo {

// `picture` replayed by cairo into a new image of `sizePx` over `background`
// (Qt::transparent for none), `userToDevice` mapping picture units onto image
// pixels. A null image when it cannot be allocated. A picture drawn again
// for the image stops drawing, unfinished, once `stop` is requested.
QImage ReplayPicture(const svg::CPicture& picture, QSize sizePx, const svg::Matrix& userToDevice,
                     const QColor& background, const svg::CStopToken* stop = nullptr);

class CPictureMimeData : public QMimeData {
    Q_OBJECT
public:
    static const QString kPng;
    static const QString kQtImage;
    static const QString kSvg;
    static const QString kPdf;

    // `text` becomes text/plain when not empty. `picture` must stay valid
    // until RenderAll() or the destructor.
    CPictureMimeData(const svg::CPicture& picture, const QString& text);

    // Renders every format not rendered yet and lets go of the picture.
    void RenderAll();
    bool HoldsPicture() const { return picture_ != nullptr; }
    // Held while the picture is replayed here: the view's tile worker
    // replays the same recording, which two threads must not do at once.
    void SetReplayGuard(std::function<std::unique_lock<std::mutex>()> guard) { replayGuard_ = std::move(guard); }

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QVariant Render(const QString& mimeType) const;
    QImage RenderImage() const;
    QByteArray RenderVector(const QString& mimeType) const;

    const svg::CPicture* picture_;
    std::function<std::unique_lock<std::mutex>()> replayGuard_;
    // Formats rendered so far; filled on demand, hence mutable.
    mutable std::map<QString, QVariant> rendered_;
};

}  // namespace vexo
