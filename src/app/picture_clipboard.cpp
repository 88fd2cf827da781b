#include "app/picture_clipboard.h"

#include <QBuffer>
#include <cairo.h>

#include "base/stop_token.h"
#include "render/output.h"
#include "render/render.h"

namespace vexo {
namespace {

// A huge root viewport would ask for gigabytes of pixels; the output size
// keeps within the pixel budget, scaled down with the aspect ratio kept.
svg::OutputSize BitmapSize(const svg::RectF& frame)
{
    return svg::ComputeOutputSize(frame, std::nullopt, std::nullopt, 1);
}

}  // namespace

QImage ReplayPicture(const svg::CPicture& picture, QSize sizePx, const svg::Matrix& userToDevice,
                     const QColor& background, const svg::CStopToken* stop)
{
    // Premultiplied ARGB32 is cairo's ARGB32 byte for byte, so cairo draws
    // straight into the image's memory.
    QImage image(sizePx, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(background);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(image.bits(), CAIRO_FORMAT_ARGB32, image.width(),
                                                                   image.height(), int(image.bytesPerLine()));
    cairo_t* cr = cairo_create(surface);
    picture.Replay(cr, userToDevice, stop != nullptr ? *stop : svg::CStopToken::Never());
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    return image;
}

const QString CPictureMimeData::kPng = QStringLiteral("image/png");
const QString CPictureMimeData::kQtImage = QStringLiteral("application/x-qt-image");
const QString CPictureMimeData::kSvg = QStringLiteral("image/svg+xml");
const QString CPictureMimeData::kPdf = QStringLiteral("application/pdf");

CPictureMimeData::CPictureMimeData(const svg::CPicture& picture, const QString& text) : picture_(&picture)
{
    if (!text.isEmpty())
        setText(text);
}

void CPictureMimeData::RenderAll()
{
    if (picture_ == nullptr)
        return;
    for (const QString& format : {kQtImage, kPng, kSvg, kPdf})
        retrieveData(format, QMetaType());
    picture_ = nullptr;
}

QStringList CPictureMimeData::formats() const
{
    return QStringList{kPng, kQtImage, kSvg, kPdf} + QMimeData::formats();
}

bool CPictureMimeData::hasFormat(const QString& mimeType) const { return formats().contains(mimeType); }

QVariant CPictureMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (mimeType != kPng && mimeType != kQtImage && mimeType != kSvg && mimeType != kPdf)
        return QMimeData::retrieveData(mimeType, type);
    const auto found = rendered_.find(mimeType);
    if (found != rendered_.end())
        return found->second;
    // Once the picture is gone, a format that was never rendered stays empty.
    if (picture_ == nullptr)
        return {};
    return rendered_[mimeType] = Render(mimeType);
}

QVariant CPictureMimeData::Render(const QString& mimeType) const
{
    if (mimeType == kQtImage)
        return RenderImage();
    if (mimeType == kPng) {
        const QImage image = retrieveData(kQtImage, QMetaType()).value<QImage>();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }
    return RenderVector(mimeType);
}

// The root viewport at one pixel a unit, opaque white under the picture.
QImage CPictureMimeData::RenderImage() const
{
    const std::unique_lock<std::mutex> guard = replayGuard_ ? replayGuard_() : std::unique_lock<std::mutex>();
    const svg::OutputSize size = BitmapSize(picture_->Frame());
    const QImage image = ReplayPicture(*picture_, QSize(size.width, size.height),
                                       svg::Matrix{size.scale, 0, 0, size.scale, size.offsetX, size.offsetY},
                                       Qt::white);
    return image.convertToFormat(QImage::Format_RGB32);
}

QByteArray CPictureMimeData::RenderVector(const QString& mimeType) const
{
    const std::unique_lock<std::mutex> guard = replayGuard_ ? replayGuard_() : std::unique_lock<std::mutex>();
    const svg::OutputSize size = svg::ComputeOutputSize(picture_->Frame(), std::nullopt, std::nullopt, 1);
    const svg::OutputFormat format = mimeType == kSvg ? svg::OutputFormat::Svg : svg::OutputFormat::Pdf;
    std::string bytes;
    std::string error;
    if (!svg::WritePictureToBytes(*picture_, format, size, std::nullopt, bytes, error))
        return {};
    return QByteArray::fromStdString(bytes);
}

}  // namespace vexo
