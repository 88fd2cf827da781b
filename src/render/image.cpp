#include "render/image.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/limits.h"
#include "model/document.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "model/resource_file.h"
#include "render/canvas.h"
#include "render/container.h"
#include "render/data_url.h"
#include "render/image_decode.h"
#include "render/prepare.h"
#include "render/render.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {
namespace {

// Each SVG picture drawn inside another (a.svg shows b.svg shows c.svg ...)
// nests the renderer's recursion once more.
constexpr std::size_t kMaxNestedPictures = 32;

bool Contains(const RectF& rect, PointD p)
{
    return p.x >= rect.x && p.x <= rect.Right() && p.y >= rect.y && p.y <= rect.Bottom();
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// --- Messages -----------------------------------------------------------------------

// An feImage loads its picture through an image of its own name (see
// render/filter_effect.cpp), which reports with the primitive's messages.
bool IsFeImage(const CElemImage& image) { return image.Id() == ElementId::feImage; }

void ReportCannotOpen(const CElemImage& image, std::string_view reference, CPreparer& preparer)
{
    const std::string shown = ShownReference(reference);
    preparer.Log().Report(image, IsFeImage(image) ? msg::kFeImageCannotOpen : msg::kFileCannotOpen,
                          image.Name().c_str(), shown.c_str());
}

void ReportCyclic(const CElemImage& image, CPreparer& preparer)
{
    const std::string* href = image.GetAttribute(AttributeId::xlink_href, false);
    const std::string shown = ShownReference(href != nullptr ? *href : std::string());
    preparer.Log().Report(image, msg::kHrefCycle, image.Name().c_str(), shown.c_str());
}

// --- Region ---------------------------------------------------------------------------

// width or height. SVG 1.1 requires both; one that is missing (or cannot be
// read) is taken from the picture's proportions, as SVG 2 and today's
// viewers do. Zero disables drawing; a negative value is reported and does too.
std::optional<float> ImageSide(const CElemImage& image, AttributeId name, PercentRule rule, CPreparer& preparer)
{
    const std::optional<double> side = preparer.ReadLength(image, name, rule);
    if (!side)
        return std::nullopt;
    if (*side < 0) {
        preparer.ReportInvalid(image, name, *image.GetAttribute(name, false));
        return 0.0f;
    }
    return static_cast<float>(*side);
}

RectF CompleteRegion(float x, float y, std::optional<float> width, std::optional<float> height, const RectF& natural)
{
    if (!width && !height)
        return {x, y, natural.width, natural.height};
    if (!width)
        width = natural.height > 0 ? *height * natural.width / natural.height : 0;
    if (!height)
        height = natural.width > 0 ? *width * natural.height / natural.width : 0;
    return {x, y, *width, *height};
}

// --- SVG pictures ---------------------------------------------------------------------

// Another document's natural size is the size its root was given (its width
// and height, else its viewBox's, else the default viewport); a percentage
// takes that share of the viewBox, because here the image, not a window,
// gives the document its room.
RectF DocumentNaturalRect(const CElemDocument& root)
{
    auto side = [&root](AttributeId name, float regionSide, float viewBoxSide) {
        const std::string* text = root.attributes.Value(name);
        const std::optional<Number> number = text != nullptr ? ParseNumber(*text) : std::nullopt;
        if (number && number->unit == Unit::Percent && number->value > 0 && root.hasViewBox)
            return static_cast<float>(number->value / 100 * viewBoxSide);
        return regionSide;
    };
    return {0, 0, side(AttributeId::width, root.region.width, root.viewport.width),
            side(AttributeId::height, root.region.height, root.viewport.height)};
}

// Render maps the root's viewBox onto its region; the picture wants it
// mapped onto the natural rectangle instead (they differ for percentage
// sizes). The matrix undoes the one and applies the other.
Matrix DocumentPlacement(const CElemDocument& root, const RectF& natural)
{
    if (!root.hasViewBox)
        return {};
    const std::optional<Matrix> undo = root.viewBoxMatrix.Inverse();
    if (!undo)
        return {};
    return Matrix::Multiply(*undo, ViewBoxToViewport(natural, root.viewport, root.aspect));
}

// A picture still being set up encloses this image: its own document, a
// document that shows this one, or an element around the image. The cycle
// is reported, and the picture kept: drawing shows it once and stops where
// it meets the picture inside itself (DrawSvgPicture).
void SetSvgPicture(CElemImage& image, CElem& picture, CPreparer& preparer)
{
    if (picture.prepState == PrepState::BeingPrepared) {
        ReportCyclic(image, preparer);
        if (&picture == &image)
            return;
    }
    if (picture.prepState == PrepState::NotPrepared && !preparer.Prepare(picture))
        return;
    image.svgPicture = &picture;
    if (picture.Class() == ElemClass::Document) {
        const auto& root = static_cast<const CElemDocument&>(picture);
        image.viewport = DocumentNaturalRect(root);
        image.svgPictureMatrix = DocumentPlacement(root, image.viewport);
        return;
    }
    // An element of a document: a nested svg or symbol shows its viewport,
    // anything else the viewport it is drawn in.
    const bool ownViewport = picture.Id() == ElementId::svg || picture.Id() == ElementId::symbol;
    const RectF& shown = ownViewport ? picture.region : picture.viewport;
    image.viewport = {0, 0, shown.width, shown.height};
    image.svgPictureMatrix = Matrix::Translate(-shown.x, -shown.y);
}

// A document read from a data: URL is named by its content, so the same
// URL twice loads once; the name has no directory, so relative references
// inside it resolve to nothing.
std::string DataDocumentName(std::string_view href)
{
    char name[64];
    std::snprintf(name, sizeof name, "data-url-%016zx-%zu", std::hash<std::string_view>{}(href), href.size());
    return name;
}

CElemDocument* LoadDataDocument(DataUrl& data, std::string_view href, CPreparer& preparer)
{
    CDocumentSource* source = preparer.Context().DocumentSource();
    if (source == nullptr)
        return nullptr;
    return source->LoadDocumentBytes(std::move(data.bytes), DataDocumentName(href), "data:" + data.mediaType);
}

void LoadFragmentPicture(CElemImage& image, std::string_view href, CPreparer& preparer)
{
    CElem* target = preparer.FindReference(image, href);
    if (target == nullptr) {
        ReportCannotOpen(image, href, preparer);
        return;
    }
    SetSvgPicture(image, *target, preparer);
}

void LoadSvgFilePicture(CElemImage& image, std::string_view href, const std::string& fullPath,
                        std::string_view fragment, CPreparer& preparer)
{
    CDocumentSource* source = preparer.Context().DocumentSource();
    CElemDocument* document = source != nullptr ? source->LoadReferencedDocument(fullPath, "", &image) : nullptr;
    CElem* picture = document;
    if (document != nullptr && !fragment.empty())
        picture = preparer.FindReference(*document, "#" + std::string(fragment));
    if (picture == nullptr) {
        if (!preparer.Context().StopRequested())
            ReportCannotOpen(image, href, preparer);
        return;
    }
    SetSvgPicture(image, *picture, preparer);
}

// --- Raster pictures ------------------------------------------------------------------

// Colours are not converted through a color-profile element, but a
// reference to something else is reported.
void CheckColorProfileReference(CElemImage& image, CPreparer& preparer)
{
    const std::string* value = image.GetAttribute(AttributeId::color_profile, true);
    const std::optional<UrlValue> url = value != nullptr ? ParseUrl(*value) : std::nullopt;
    if (!url)
        return;  // auto, sRGB or a profile's name
    const CElem* target = preparer.FindReference(image, url->reference);
    if (target == nullptr)
        return;
    const std::string reference(url->reference);
    if (target->prepState == PrepState::BeingPrepared)
        preparer.Log().Report(image, msg::kHrefCycle, image.Name().c_str(), reference.c_str());
    else if (target->Class() != ElemClass::ColorProfile)
        preparer.Log().Report(image, msg::kColorProfileNotProfile, image.Name().c_str(), reference.c_str());
}

void SetRasterPicture(CElemImage& image, std::string_view bytes, std::string_view reference, CPreparer& preparer)
{
    image.raster = DecodeRasterImage(bytes);
    if (!image.raster) {
        ReportCannotOpen(image, reference, preparer);
        return;
    }
    image.viewport = {0, 0, static_cast<float>(image.raster->Width()), static_cast<float>(image.raster->Height())};
    CheckColorProfileReference(image, preparer);
}

void LoadRasterFilePicture(CElemImage& image, std::string_view path, const std::string& fullPath,
                           CPreparer& preparer)
{
    std::string bytes;
    const ReadStatus status = ReadResourceFile(preparer.Context(), fullPath, ResourceKind::Image, bytes);
    if (status == ReadStatus::Stopped ||
        ReportUnreadResource(preparer.Log(), status, ResourceKind::Image, path, &image))
        return;
    const std::string shown(path);
    preparer.Log().Report(msg::kLoadingImage, shown.c_str());
    if (status != ReadStatus::Ok) {
        ReportCannotOpen(image, path, preparer);
        return;
    }
    SetRasterPicture(image, bytes, path, preparer);
}

// --- Loading --------------------------------------------------------------------------

void LoadDataPicture(CElemImage& image, std::string_view href, CPreparer& preparer)
{
    std::optional<DataUrl> data = DecodeDataUrl(image, href.substr(5), preparer.Log());
    if (!data)
        return;
    // Plain text (the type of a data: URL that names none) is a raster when
    // its bytes say so, else taken for SVG.
    const bool svg = data->kind == DataKind::Svg ||
                     (data->kind == DataKind::Text && SniffRasterFormat(data->bytes) == RasterFormat::Unknown);
    if (!svg) {
        SetRasterPicture(image, data->bytes, href, preparer);
        return;
    }
    if (CElemDocument* document = LoadDataDocument(*data, href, preparer))
        SetSvgPicture(image, *document, preparer);
    else if (!preparer.Context().StopRequested())
        ReportCannotOpen(image, href, preparer);
}

void LoadPicture(CElemImage& image, std::string_view href, CPreparer& preparer)
{
    if (IsDataUrl(href)) {
        LoadDataPicture(image, href, preparer);
        return;
    }
    const std::size_t hash = href.find('#');
    const std::string_view path = href.substr(0, hash);
    if (path.empty()) {
        LoadFragmentPicture(image, href, preparer);
        return;
    }
    const std::optional<std::string> fullPath = ResourceFilePath(image, path);
    if (!fullPath) {
        const std::string shown(href);
        preparer.Log().Report(image, msg::kHrefInvalidPathQuoted, image.Name().c_str(), shown.c_str());
        return;
    }
    if (EndsWithNoCase(path, ".svg") || EndsWithNoCase(path, ".svgz")) {
        const std::string_view fragment = hash == std::string_view::npos ? std::string_view() : href.substr(hash + 1);
        LoadSvgFilePicture(image, href, *fullPath, fragment, preparer);
    } else {
        LoadRasterFilePicture(image, path, *fullPath, preparer);
    }
}

// A `use` instance shows the picture its source element loaded: the same
// reference from the same place names the same picture, and is neither read
// nor reported again.
bool ShareSourcePicture(CElemImage& image, const std::string& href)
{
    if (image.instanceSource == nullptr || image.instanceSource->Class() != ElemClass::Image ||
        image.instanceSource->prepState != PrepState::Prepared)
        return false;
    const auto& source = static_cast<const CElemImage&>(*image.instanceSource);
    const std::string* sourceHref = source.GetAttribute(AttributeId::xlink_href, false);
    if (sourceHref == nullptr || *sourceHref != href || source.BaseDirectory() != image.BaseDirectory())
        return false;
    image.raster = source.raster;
    image.svgPicture = source.svgPicture;
    image.svgPictureMatrix = source.svgPictureMatrix;
    image.viewport = source.viewport;
    return true;
}

AspectRatio ReadImageAspectRatio(const CElemImage& image, CPreparer& preparer)
{
    AspectRatio ratio = ReadAspectRatioAttribute(image, preparer.Context());
    // `defer`: an SVG picture that has an alignment of its own keeps it.
    const CElem* picture = image.svgPicture;
    if (ratio.defer && picture != nullptr && picture->IsA(ElemClass::Container) &&
        picture->attributes.Contains(AttributeId::preserveAspectRatio)) {
        const auto& container = static_cast<const CElemContainer&>(*picture);
        ratio.align = container.aspect.align;
        ratio.slice = container.aspect.slice;
    }
    return ratio;
}

// --- Drawing --------------------------------------------------------------------------

// image-rendering asks for speed (or, in CSS's words, for crisp pixels):
// nearest-neighbour sampling instead of smooth filtering.
cairo_filter_t RasterFilter(const CElemImage& image)
{
    const std::string* value = image.GetAttribute(AttributeId::image_rendering, true);
    if (value != nullptr) {
        const std::string_view rendering = TrimSpace(*value);
        if (rendering == "optimizeSpeed" || rendering == "pixelated" || rendering == "crisp-edges")
            return CAIRO_FILTER_NEAREST;
    }
    return CAIRO_FILTER_GOOD;
}

void DrawRaster(const CElemImage& image, CCanvas& canvas)
{
    cairo_t* cr = canvas.Cairo();
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(image.raster->Surface());
    cairo_pattern_set_filter(pattern, RasterFilter(image));
    // Padding keeps the border pixels whole: the picture's edge is the
    // rectangle's, not a fade into transparency.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, image.raster->Width(), image.raster->Height());
    cairo_fill(cr);
}

void DrawSvgPicture(const CElemImage& image, CCanvas& canvas, CRenderPass& pass)
{
    const CElem& picture = *image.svgPicture;
    std::vector<const CElem*>& pictures = pass.pictures;
    // Every cycle of pictures passes through one that was still being set
    // up when its image asked for it, and was reported then.
    if (std::find(pictures.begin(), pictures.end(), &picture) != pictures.end())
        return;
    if (pictures.size() >= kMaxNestedPictures) {
        pass.Report(image, msg::kTooDeeplyNested, image.Name().c_str());
        return;
    }
    struct DrawingGuard {
        DrawingGuard(std::vector<const CElem*>& list, const CElem* elem) : drawing(list) { drawing.push_back(elem); }
        ~DrawingGuard() { drawing.pop_back(); }
        DrawingGuard(const DrawingGuard&) = delete;
        DrawingGuard& operator=(const DrawingGuard&) = delete;
        std::vector<const CElem*>& drawing;
    } guard(pictures, &picture);

    if (!canvas.MultiplyTransform(image.svgPictureMatrix))
        return;
    // The picture starts afresh: nothing of the image's context reaches it.
    RenderArgs args(pass, picture);
    Render(picture, canvas, args);
}

}  // namespace

bool SetUpImage(CElemImage& image, CPreparer& preparer)
{
    image.raster.reset();
    image.svgPicture = nullptr;
    image.svgPictureMatrix = {};
    // Read while `viewport` is still the parent's, which percentages refer to.
    const float x = static_cast<float>(
        preparer.ReadLength(image, AttributeId::x, PercentRule::HorizontalPosition).value_or(0));
    const float y = static_cast<float>(
        preparer.ReadLength(image, AttributeId::y, PercentRule::VerticalPosition).value_or(0));
    const std::optional<float> width = ImageSide(image, AttributeId::width, PercentRule::HorizontalSize, preparer);
    const std::optional<float> height = ImageSide(image, AttributeId::height, PercentRule::VerticalSize, preparer);

    image.viewport = {};
    const std::string* href = image.GetAttribute(AttributeId::xlink_href, false);
    if (href == nullptr)
        preparer.Log().Report(image, msg::kHrefNotDefined, image.Name().c_str());
    else if (!ShareSourcePicture(image, *href))
        LoadPicture(image, *href, preparer);

    image.region = CompleteRegion(x, y, width, height, image.viewport);
    image.aspect = ReadImageAspectRatio(image, preparer);
    image.viewBoxMatrix = IsEmptyRect(image.viewport) ? Matrix::Translate(image.region.x, image.region.y)
                                                      : ViewBoxToViewport(image.region, image.viewport, image.aspect);
    ReadClipProperty(image, preparer, ClipCountMessage::Located);
    return true;
}

void DrawImage(const CElemImage& image, CCanvas& canvas, const RenderArgs& args)
{
    if (IsEmptyRect(image.region) || IsEmptyRect(image.viewport) || image.props.visibility != Visibility::Visible)
        return;
    const CCanvasSaveGuard saved(canvas);
    if (ClipsOverflow(image.props.overflow) && !IsEmptyRect(image.clipRect))
        canvas.IntersectClip(image.clipRect);
    if (image.raster)
        DrawRaster(image, canvas);
    else if (image.svgPicture != nullptr)
        DrawSvgPicture(image, canvas, args.pass);
}

std::optional<RectF> ImageOutlineBounds(const CElemImage& image, const Matrix& toSpace)
{
    const std::optional<Matrix> toContent = image.viewBoxMatrix.Inverse();
    if (IsEmptyRect(image.region) || !toContent)
        return std::nullopt;
    // The region is in the parent's user space; the outline is asked for in
    // the image's own, inside viewBoxMatrix.
    const Matrix m = Matrix::Multiply(*toContent, toSpace);
    return MapRectBounds(image.region, m);
}

const CElem* HitTestImage(const CElemImage& image, double x, double y)
{
    if (image.props.display == Display::None || image.excluded || IsEmptyRect(image.region) ||
        IsEmptyRect(image.viewport))
        return nullptr;
    const std::optional<Matrix> fromParent = image.props.transform.Inverse();
    const std::optional<Matrix> toContent = image.viewBoxMatrix.Inverse();
    if (!fromParent || !toContent)
        return nullptr;
    PointD point = fromParent->Apply({x, y});
    const bool clipped = ClipsOverflow(image.props.overflow);
    if (clipped && !Contains(image.region, point))
        return nullptr;
    point = toContent->Apply(point);
    if (!Contains(image.viewport, point) ||
        (clipped && !IsEmptyRect(image.clipRect) && !Contains(image.clipRect, point)))
        return nullptr;
    return &image;
}

}  // namespace svg
