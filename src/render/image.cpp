// CElemImage: loading the picture of an `image` at set-up, placing it with
// preserveAspectRatio, drawing it, and its bounds and hit test.
//
// A picture is a raster, decoded in memory (image_decode.h) from a file or a
// data: URL, or an SVG picture: the root of another document, loaded through
// LoadDocument and cached in DocumentList, or an element of this document
// named by a fragment. SVG pictures are drawn through Render when the image
// is drawn, so they stay vector at every zoom and their effects are computed
// at the resolution they are shown at.
//
// Cycles: a file showing itself, or two files showing each other, are
// reported when set up (the document asked for is still being set up) and
// drawn once: a per-thread list of the SVG pictures being drawn meets the
// picture again inside itself and stops there. The same list bounds how
// deeply pictures nest.
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/document.h"
#include "model/file_io.h"
#include "model/limits.h"
#include "model/loader.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "render/canvas.h"
#include "render/container.h"
#include "render/data_url.h"
#include "render/image_decode.h"
#include "render/render.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {
namespace {

// Each SVG picture drawn inside another (a.svg shows b.svg shows c.svg ...)
// nests the renderer's recursion once more.
constexpr std::size_t kMaxNestedPictures = 32;

thread_local std::vector<const CElem*> picturesBeingDrawn;

bool Contains(const RectF& rect, PointD p)
{
    return p.x >= rect.x && p.x <= rect.Right() && p.y >= rect.y && p.y <= rect.Bottom();
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

const CDocOptions& OptionsOf(const CElem& elem)
{
    static const CDocOptions defaults;
    const CElemDocument* document = elem.Document();
    return document != nullptr ? document->Options() : defaults;
}

// --- Messages -----------------------------------------------------------------------

void ReportCannotOpen(const CElemImage& image, std::string_view reference)
{
    const std::string shown = ShownReference(reference);
    ReportMessage("E %s file '%s' can NOT open at %d(%d)", image.Name().c_str(), shown.c_str(), image.line,
                  image.column);
}

void ReportCyclic(const CElemImage& image)
{
    const std::string* href = image.GetAttribute("xlink:href", false);
    const std::string shown = ShownReference(href != nullptr ? *href : std::string());
    ReportMessage("F use xlink:href=\"%s\" : Cyclic reference at %d(%d)", shown.c_str(), image.line, image.column);
}

// --- Region ---------------------------------------------------------------------------

// width or height. SVG 1.1 requires both; one that is missing (or cannot be
// read) is taken from the picture's proportions, as SVG 2 and today's
// viewers do. Zero disables drawing; a negative value is reported and does too.
std::optional<float> ImageSide(const CElemImage& image, std::string_view name, PercentRule rule)
{
    const std::optional<double> side = ReadLengthAttribute(image, name, rule);
    if (!side)
        return std::nullopt;
    if (*side < 0) {
        ReportInvalidValue(image, name, *image.GetAttribute(name, false));
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
    auto side = [&root](std::string_view name, float regionSide, float viewBoxSide) {
        const std::string* text = root.attributes.Value(name);
        const std::optional<Number> number = text != nullptr ? ParseNumber(*text) : std::nullopt;
        if (number && number->unit == Unit::Percent && number->value > 0 && root.hasViewBox)
            return static_cast<float>(number->value / 100 * viewBoxSide);
        return regionSide;
    };
    return {0, 0, side("width", root.region.width, root.viewport.width),
            side("height", root.region.height, root.viewport.height)};
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
    return Matrix::Multiply(*undo, ViewBoxToViewport(natural, root.viewport, root.aspectAlign, root.aspectSlice));
}

// A picture still being set up encloses this image: its own document, a
// document that shows this one, or an element around the image. The cycle
// is reported, and the picture kept: drawing shows it once and stops where
// it meets the picture inside itself (DrawSvgPicture).
void SetSvgPicture(CElemImage& image, CElem& picture)
{
    if (picture.prepState == PrepState::BeingPrepared) {
        ReportCyclic(image);
        if (&picture == &image)
            return;
    }
    if (picture.prepState == PrepState::NotPrepared && !picture.Prepare())
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

CElemDocument* LoadDataDocument(const CElemImage& image, DataUrl& data, std::string_view href)
{
    const std::string name = DataDocumentName(href);
    DocumentList& documents = DocumentList::Instance();
    if (CElemDocument* loaded = documents.Find(name))
        return loaded;
    const std::string shown = "data:" + data.mediaType;
    if (documents.Size() >= limits::kMaxLoadedDocuments) {
        ReportMessage("F Too many documents referenced '%s'", shown.c_str());
        return nullptr;
    }
    return LoadDocumentFromBytes(std::move(data.bytes), name, shown, OptionsOf(image));
}

void LoadFragmentPicture(CElemImage& image, std::string_view href)
{
    CElem* target = image.FindReference(href);
    if (target == nullptr) {
        ReportCannotOpen(image, href);
        return;
    }
    SetSvgPicture(image, *target);
}

void LoadSvgFilePicture(CElemImage& image, std::string_view href, const std::string& fullPath,
                        std::string_view fragment)
{
    CElemDocument* document = LoadDocument(fullPath, "", OptionsOf(image));
    CElem* picture = document;
    if (document != nullptr && !fragment.empty())
        picture = document->FindReference("#" + std::string(fragment));
    if (picture == nullptr) {
        if (!StopRequested())
            ReportCannotOpen(image, href);
        return;
    }
    SetSvgPicture(image, *picture);
}

// --- Raster pictures ------------------------------------------------------------------

// Colours are not converted through a color-profile element, but a
// reference to something else is reported.
void CheckColorProfileReference(CElemImage& image)
{
    const std::string* value = image.GetAttribute("color-profile", true);
    const std::optional<UrlValue> url = value != nullptr ? ParseUrl(*value) : std::nullopt;
    if (!url)
        return;  // auto, sRGB or a profile's name
    const CElem* target = image.FindReference(url->reference);
    if (target == nullptr)
        return;
    const std::string reference(url->reference);
    if (target->prepState == PrepState::BeingPrepared)
        ReportMessage("F %s xlink:href=\"%s\" : Cyclic reference at %d(%d)", image.Name().c_str(), reference.c_str(),
                      image.line, image.column);
    else if (target->Class() != ElemClass::ColorProfile)
        ReportMessage("E %s filter=\"%s\" :Link NOT refer to 'color-profile' at %d(%d)", image.Name().c_str(),
                      reference.c_str(), image.line, image.column);
}

void SetRasterPicture(CElemImage& image, std::string_view bytes, std::string_view reference)
{
    image.raster = DecodeRasterImage(bytes);
    if (!image.raster) {
        ReportCannotOpen(image, reference);
        return;
    }
    image.viewport = {0, 0, static_cast<float>(image.raster->Width()), static_cast<float>(image.raster->Height())};
    CheckColorProfileReference(image);
}

void LoadRasterFilePicture(CElemImage& image, std::string_view path, const std::string& fullPath)
{
    const std::string shown(path);
    ReportMessage("I Loading Image file '%s'", shown.c_str());
    std::string bytes;
    if (ReadFileBytes(fullPath, limits::kMaxFileBytes, bytes) != ReadStatus::Ok) {
        ReportCannotOpen(image, path);
        return;
    }
    SetRasterPicture(image, bytes, path);
}

// --- Loading --------------------------------------------------------------------------

void LoadDataPicture(CElemImage& image, std::string_view href)
{
    std::optional<DataUrl> data = DecodeDataUrl(image, href.substr(5));
    if (!data)
        return;
    // Plain text (the type of a data: URL that names none) is a raster when
    // its bytes say so, else taken for SVG.
    const bool svg = data->kind == DataKind::Svg ||
                     (data->kind == DataKind::Text && SniffRasterFormat(data->bytes) == RasterFormat::Unknown);
    if (!svg) {
        SetRasterPicture(image, data->bytes, href);
        return;
    }
    if (CElemDocument* document = LoadDataDocument(image, *data, href))
        SetSvgPicture(image, *document);
    else if (!StopRequested())
        ReportCannotOpen(image, href);
}

void LoadPicture(CElemImage& image, std::string_view href)
{
    if (IsDataUrl(href)) {
        LoadDataPicture(image, href);
        return;
    }
    const std::size_t hash = href.find('#');
    const std::string_view path = href.substr(0, hash);
    if (path.empty()) {
        LoadFragmentPicture(image, href);
        return;
    }
    const std::optional<std::string> fullPath = ResourceFilePath(image, path);
    if (!fullPath) {
        const std::string shown(href);
        ReportMessage("E %s xlink:href invalid path '%s' at %d(%d)", image.Name().c_str(), shown.c_str(), image.line,
                      image.column);
        return;
    }
    if (EndsWithNoCase(path, ".svg") || EndsWithNoCase(path, ".svgz")) {
        const std::string_view fragment = hash == std::string_view::npos ? std::string_view() : href.substr(hash + 1);
        LoadSvgFilePicture(image, href, *fullPath, fragment);
    } else {
        LoadRasterFilePicture(image, path, *fullPath);
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
    const std::string* sourceHref = source.GetAttribute("xlink:href", false);
    if (sourceHref == nullptr || *sourceHref != href || source.BaseDirectory() != image.BaseDirectory())
        return false;
    image.raster = source.raster;
    image.svgPicture = source.svgPicture;
    image.svgPictureMatrix = source.svgPictureMatrix;
    image.viewport = source.viewport;
    return true;
}

AspectRatio ReadImageAspectRatio(const CElemImage& image)
{
    AspectRatio ratio;
    const std::string* text = image.GetAttribute("preserveAspectRatio", false);
    if (text != nullptr && !ParseAspectRatio(*text, ratio))
        ReportInvalidValue(image, "preserveAspectRatio", *text);
    // `defer`: an SVG picture that has an alignment of its own keeps it.
    const CElem* picture = image.svgPicture;
    if (ratio.defer && picture != nullptr && picture->IsA(ElemClass::Container) &&
        picture->attributes.Contains("preserveAspectRatio")) {
        const auto& container = static_cast<const CElemContainer&>(*picture);
        ratio.align = container.aspectAlign;
        ratio.slice = container.aspectSlice;
    }
    return ratio;
}

// --- Drawing --------------------------------------------------------------------------

// image-rendering asks for speed (or, in CSS's words, for crisp pixels):
// nearest-neighbour sampling instead of smooth filtering.
cairo_filter_t RasterFilter(const CElemImage& image)
{
    const std::string* value = image.GetAttribute("image-rendering", true);
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

void DrawSvgPicture(const CElemImage& image, CCanvas& canvas)
{
    CElem& picture = *image.svgPicture;
    // Every cycle of pictures passes through one that was still being set
    // up when its image asked for it, and was reported then.
    if (std::find(picturesBeingDrawn.begin(), picturesBeingDrawn.end(), &picture) != picturesBeingDrawn.end())
        return;
    if (picturesBeingDrawn.size() >= kMaxNestedPictures) {
        ReportMessage("E %s too deeply nested at %d(%d)", image.Name().c_str(), image.line, image.column);
        return;
    }
    struct DrawingGuard {
        explicit DrawingGuard(const CElem* elem) { picturesBeingDrawn.push_back(elem); }
        ~DrawingGuard() { picturesBeingDrawn.pop_back(); }
        DrawingGuard(const DrawingGuard&) = delete;
        DrawingGuard& operator=(const DrawingGuard&) = delete;
    } drawing(&picture);

    if (!canvas.MultiplyTransform(image.svgPictureMatrix))
        return;
    // The picture starts afresh: nothing of the image's context reaches it.
    RenderArgs args;
    args.emSize = Defaults().fontSize;
    args.exSize = Defaults().xHeight;
    Render(picture, canvas, args);
}

}  // namespace

bool CElemImage::Setup()
{
    if (!CElem::Setup())
        return false;
    raster.reset();
    svgPicture = nullptr;
    svgPictureMatrix = {};
    // Read while `viewport` is still the parent's, which percentages refer to.
    const float x = static_cast<float>(ReadLengthAttribute(*this, "x", PercentRule::HorizontalPosition).value_or(0));
    const float y = static_cast<float>(ReadLengthAttribute(*this, "y", PercentRule::VerticalPosition).value_or(0));
    const std::optional<float> width = ImageSide(*this, "width", PercentRule::HorizontalSize);
    const std::optional<float> height = ImageSide(*this, "height", PercentRule::VerticalSize);

    viewport = {};
    const std::string* href = GetAttribute("xlink:href", false);
    if (href == nullptr)
        ReportMessage("E %s xlink:href NOT defined at %d(%d)", Name().c_str(), line, column);
    else if (!ShareSourcePicture(*this, *href))
        LoadPicture(*this, *href);

    region = CompleteRegion(x, y, width, height, viewport);
    const AspectRatio ratio = ReadImageAspectRatio(*this);
    aspectAlign = ratio.align;
    aspectSlice = ratio.slice;
    viewBoxMatrix = IsEmptyRect(viewport) ? Matrix::Translate(region.x, region.y)
                                          : ViewBoxToViewport(region, viewport, aspectAlign, aspectSlice);
    ReadClipProperty(*this);
    return true;
}

bool CElemImage::Draw(CCanvas& canvas, const RenderArgs&)
{
    if (IsEmptyRect(region) || IsEmptyRect(viewport) || props.visibility != Visibility::Visible)
        return true;
    const CanvasSaveGuard saved(canvas);
    if (ClipsOverflow(props.overflow) && !IsEmptyRect(clipRect))
        canvas.IntersectClip(clipRect);
    if (raster)
        DrawRaster(*this, canvas);
    else if (svgPicture != nullptr)
        DrawSvgPicture(*this, canvas);
    return true;
}

std::optional<RectF> CElemImage::GetOutlineBounds(const Matrix& toSpace) const
{
    const std::optional<Matrix> toContent = viewBoxMatrix.Inverse();
    if (IsEmptyRect(region) || !toContent)
        return std::nullopt;
    // The region is in the parent's user space; the outline is asked for in
    // the image's own, inside viewBoxMatrix.
    const Matrix m = Matrix::Multiply(*toContent, toSpace);
    return MapRectBounds(region, m);
}

CElem* CElemImage::HitTest(double x, double y)
{
    if (props.display == Display::None || excluded || IsEmptyRect(region) || IsEmptyRect(viewport))
        return nullptr;
    const std::optional<Matrix> fromParent = props.transform.Inverse();
    const std::optional<Matrix> toContent = viewBoxMatrix.Inverse();
    if (!fromParent || !toContent)
        return nullptr;
    PointD point = fromParent->Apply({x, y});
    const bool clipped = ClipsOverflow(props.overflow);
    if (clipped && !Contains(region, point))
        return nullptr;
    point = toContent->Apply(point);
    if (!Contains(viewport, point) || (clipped && !IsEmptyRect(clipRect) && !Contains(clipRect, point)))
        return nullptr;
    return this;
}

}  // namespace svg
