// Patterns. Setup reads the attributes along the xlink:href chain and picks
// the element whose children draw the tile (this pattern, or the first along
// the chain with children). Painting renders those children once into an
// image of one tile at the device resolution and lets cairo repeat it: no
// loop over tiles, so a tiny tile over a huge area costs no more than a
// large one. The tile is an image rather than a recording because cairo
// rasterises a repeated recording to a whole number of device pixels, which
// shifts every further tile by the rounding; an image repeats at the exact
// (fractional) period.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "base/limits.h"
#include "model/messages.h"
#include "render/canvas.h"
#include "render/container.h"
#include "render/paint_server.h"
#include "render/prepare.h"
#include "render/render.h"
#include "values/syntax.h"

namespace svg {
namespace {

// Patterns drawn inside pattern tiles inside pattern tiles ...: each level
// renders a tile, and the C++ stack grows with every level.
constexpr std::size_t kMaxPatternNesting = 16;

// A tile image is made for every shape a pattern paints; 4096 x 4096 pixels
// covers a full screen at any zoom a tile is worth drawing at, and a larger
// tile is drawn at a lower resolution.
constexpr double kMaxTilePixels = double{1 << 24};

// Notes the pattern in its drawing's tiles in progress while its tile is drawn.
class TileGuard {
public:
    TileGuard(const CElemPattern& pattern, CRenderPass& pass) : pass_(pass) { pass_.patterns.active.push_back(&pattern); }
    ~TileGuard() { pass_.patterns.active.pop_back(); }
    TileGuard(const TileGuard&) = delete;
    TileGuard& operator=(const TileGuard&) = delete;

private:
    CRenderPass& pass_;
};

bool HasElementChildren(const CElem& elem)
{
    return std::ranges::any_of(elem.Children(), [](const CElem* child) {
        return child->Class() != ElemClass::String && child->Class() != ElemClass::Comment;
    });
}

// --- Setup -------------------------------------------------------------------------

// x and y default to 0; an unreadable value is reported and taken as 0.
float TilePosition(const CElemPattern& pattern, const std::vector<CElem*>& chain, AttributeId name,
                   PercentRule rule, CPreparer& preparer)
{
    return static_cast<float>(
        ReadLengthAlong(pattern, chain, name, pattern.units, rule, preparer).value.value_or(0));
}

// Width and height default to 0, which disables the pattern; a negative value
// is reported and becomes 0.
float TileSize(const CElemPattern& pattern, const std::vector<CElem*>& chain, AttributeId name,
               PercentRule rule, CPreparer& preparer)
{
    const LengthAttribute size = ReadLengthAlong(pattern, chain, name, pattern.units, rule, preparer);
    if (!size.value)
        return 0;
    if (*size.value < 0) {
        const std::string_view shown = AttributeName(name);
        preparer.Log().Report(pattern, msg::kPatternMustBePositive, static_cast<int>(shown.size()), shown.data(),
                              size.text->c_str());
        return 0;
    }
    return static_cast<float>(*size.value);
}

// The first viewBox along the chain. False, after its message, when it has
// no area: SVG then disables the pattern.
bool ReadViewBox(CElemPattern& pattern, const std::vector<CElem*>& chain, CPreparer& preparer)
{
    pattern.hasViewBox = false;
    for (const CElem* elem : chain) {
        const std::string* text = elem->GetAttribute(AttributeId::viewBox, false);
        if (text == nullptr)
            continue;
        const std::optional<RectF> box = ReadViewBoxAttribute(*elem, preparer.Context());
        if (!box)
            return true;
        if (IsEmptyRect(*box)) {
            preparer.ReportInvalid(*elem, AttributeId::viewBox, *text);
            return false;
        }
        pattern.hasViewBox = true;
        pattern.viewBox = *box;
        return true;
    }
    return true;
}

void ReadAspectRatio(CElemPattern& pattern, const std::vector<CElem*>& chain, CPreparer& preparer)
{
    AspectRatio ratio;
    const std::string* text = AttributeAlong(chain, AttributeId::preserveAspectRatio);
    if (text != nullptr && !ParseAspectRatio(*text, ratio))
        preparer.ReportInvalid(pattern, AttributeId::preserveAspectRatio, *text);
    pattern.aspect = ratio;
}

CElem* ContentElement(const std::vector<CElem*>& chain)
{
    for (CElem* elem : chain)
        if (HasElementChildren(*elem))
            return elem;
    return chain.front();
}

// --- Painting ----------------------------------------------------------------------

// A tile in pattern space (after patternUnits, before patternTransform), the
// size of its image in pixels, and the period the image repeats with in
// pattern units: the tile's own size, or along an axis where the tile is
// smaller than a device pixel, one device pixel. Below a pixel the image
// holds the tile's average colour along that axis, which is all the eye can
// see there, and the source needs no more image pixels than device pixels.
struct Tile {
    RectF rect;
    int pixelsWide = 1;
    int pixelsHigh = 1;
    double periodWide = 1;
    double periodHigh = 1;
};

RectF TileRect(const CElemPattern& pattern, const RectF& box)
{
    if (pattern.units == Units::UserSpaceOnUse)
        return {pattern.x, pattern.y, pattern.width, pattern.height};
    return {box.x + pattern.x * box.width, box.y + pattern.y * box.height, pattern.width * box.width,
            pattern.height * box.height};
}

// The tile's size on the device, capped to kMaxTilePixels (which only
// lowers its resolution); null when it is not finite.
std::optional<Tile> SizeTile(const CElemPattern& pattern, const RectF& rect, const Matrix& patternToDevice,
                             CRenderPass& pass)
{
    const double deviceWide = rect.width * std::hypot(patternToDevice.m11, patternToDevice.m12);
    const double deviceHigh = rect.height * std::hypot(patternToDevice.m21, patternToDevice.m22);
    Tile tile{rect, 1, 1, deviceWide < 1 ? rect.width / deviceWide : rect.width,
              deviceHigh < 1 ? rect.height / deviceHigh : rect.height};
    double wide = std::ceil(deviceWide);
    double high = std::ceil(deviceHigh);
    if (!std::isfinite(wide * high) || !std::isfinite(tile.periodWide) || !std::isfinite(tile.periodHigh))
        return std::nullopt;
    wide = std::max(1.0, wide);
    high = std::max(1.0, high);
    const double maxSide = limits::kMaxBitmapSide;
    const double shrink = std::min({1.0, std::sqrt(kMaxTilePixels / (wide * high)), maxSide / wide, maxSide / high});
    if (shrink < 1) {
        wide = std::max(1.0, std::floor(wide * shrink));
        high = std::max(1.0, std::floor(high * shrink));
        pass.Report(pattern, msg::kPatternTileReduced, static_cast<int>(wide), static_cast<int>(high));
    }
    tile.pixelsWide = static_cast<int>(wide);
    tile.pixelsHigh = static_cast<int>(high);
    return tile;
}

// Maps the tile's content into the tile at the origin: the viewBox, or the
// box's size for objectBoundingBox content units.
Matrix ContentMatrix(const CElemPattern& pattern, const Tile& tile, const RectF& box)
{
    if (pattern.hasViewBox)
        return ViewBoxToViewport({0, 0, tile.rect.width, tile.rect.height}, pattern.viewBox, pattern.aspect);
    if (pattern.contentUnits == Units::ObjectBoundingBox)
        return Matrix::Scale(box.width, box.height);
    return {};
}

// The `clip` property cuts each tile further where overflow clips: its
// offsets are taken from the tile's edges, seen in content units.
void ClipToClipProperty(const CElemPattern& pattern, const Tile& tile, const Matrix& content, CCanvas& tileCanvas)
{
    if (!pattern.clipOffsets || !ClipsOverflow(pattern.props.overflow))
        return;
    const std::optional<Matrix> toContent = Invert(content);
    if (!toContent)
        return;
    const RectF viewport = MapRectBounds({0, 0, tile.rect.width, tile.rect.height}, *toContent);
    tileCanvas.IntersectClip(ClipRectIn(viewport, *pattern.clipOffsets));
}

// Renders the pattern's content into an image of one tile, clipped to it;
// null when cairo cannot make the image.
cairo_surface_t* RenderTile(const CElemPattern& pattern, const Tile& tile, const RectF& box,
                            const Matrix& patternToDevice, const CCanvas& canvas, const RenderArgs& args)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tile.pixelsWide, tile.pixelsHigh);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    CCanvas tileCanvas(surface, canvas.Purpose());
    const Matrix pixelsToTile = Matrix::Scale(tile.rect.width / tile.pixelsWide, tile.rect.height / tile.pixelsHigh);
    const Matrix tileToPixels = Matrix::Scale(tile.pixelsWide / double{tile.rect.width},
                                              tile.pixelsHigh / double{tile.rect.height});
    const Matrix tileToPattern = Matrix::Translate(tile.rect.x, tile.rect.y);
    // Nested patterns and effects learn the device resolution from the ctm.
    tileCanvas.InheritCtm(Matrix::Multiply(Matrix::Multiply(pixelsToTile, tileToPattern), patternToDevice));
    const Matrix content = ContentMatrix(pattern, tile, box);
    if (tileCanvas.MultiplyTransform(tileToPixels) && tileCanvas.MultiplyTransform(content)) {
        ClipToClipProperty(pattern, tile, content, tileCanvas);
        for (const CElem* child : pattern.content->Children())
            if (child->graphicsElement)
                Render(*child, tileCanvas, args);
    }
    return surface;
}

// The repeating source for `image`, with user space mapped to its pixels.
// pixman finds positions within a source in 16.16 fixed point, so they must
// stay well below 32768 image pixels where the shape is painted: the tile
// grid's origin is moved by whole periods next to `anchor` (user space).
cairo_pattern_t* CreateSource(cairo_surface_t* image, const Tile& tile, const Matrix& userToPattern,
                              const PointF& anchor)
{
    const double anchorX = anchor.x * userToPattern.m11 + anchor.y * userToPattern.m21 + userToPattern.dx;
    const double anchorY = anchor.x * userToPattern.m12 + anchor.y * userToPattern.m22 + userToPattern.dy;
    const double originX = tile.rect.x + std::floor((anchorX - tile.rect.x) / tile.periodWide) * tile.periodWide;
    const double originY = tile.rect.y + std::floor((anchorY - tile.rect.y) / tile.periodHigh) * tile.periodHigh;
    const Matrix patternToPixels = Matrix::Multiply(
        Matrix::Translate(-originX, -originY),
        Matrix::Scale(tile.pixelsWide / tile.periodWide, tile.pixelsHigh / tile.periodHigh));
    cairo_pattern_t* source = cairo_pattern_create_for_surface(image);
    cairo_pattern_set_extend(source, CAIRO_EXTEND_REPEAT);
    const cairo_matrix_t matrix = ToCairo(Matrix::Multiply(userToPattern, patternToPixels));
    cairo_pattern_set_matrix(source, &matrix);
    return source;
}

// The middle of what can be painted of `path`: its bounds within the clip.
PointF PaintAnchor(const CCanvas& canvas, const CGraphicsPath& path)
{
    const std::optional<RectF> bounds = TightBounds(path);
    if (!bounds)
        return {};
    double left = bounds->x, top = bounds->y, right = bounds->Right(), bottom = bounds->Bottom();
    double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    cairo_clip_extents(canvas.Cairo(), &clipLeft, &clipTop, &clipRight, &clipBottom);
    if (clipLeft < right && clipRight > left && clipTop < bottom && clipBottom > top) {
        left = std::max(left, clipLeft);
        top = std::max(top, clipTop);
        right = std::min(right, clipRight);
        bottom = std::min(bottom, clipBottom);
    }
    return {static_cast<float>((left + right) / 2), static_cast<float>((top + bottom) / 2)};
}

void ReportCycle(const CElemPattern& pattern, const CElem& source, bool isStroke, CRenderPass& pass)
{
    if (!pass.patterns.cyclesReported.insert(&pattern).second)
        return;
    if (isStroke) {
        const std::string* value = source.GetAttribute(AttributeId::stroke, true);
        pass.Report(source, msg::kStrokeCycle, pattern.Name().c_str(), value != nullptr ? value->c_str() : "");
    } else {
        pass.Report(source, msg::kPatternFillCycle, source.Name().c_str(), pattern.IdAttribute().c_str());
    }
}

}  // namespace

bool SetUpPattern(CElemPattern& pattern, CPreparer& preparer)
{
    if (!SetUpContainer(pattern, preparer))
        return false;
    const std::vector<CElem*> chain = HrefChain(pattern, preparer);
    pattern.units = ReadUnits(pattern, chain, AttributeId::patternUnits, Units::ObjectBoundingBox, preparer);
    pattern.contentUnits =
        ReadUnits(pattern, chain, AttributeId::patternContentUnits, Units::UserSpaceOnUse, preparer);
    pattern.patternTransform = ReadTransformAlong(pattern, chain, AttributeId::patternTransform, preparer);
    pattern.x = TilePosition(pattern, chain, AttributeId::x, PercentRule::HorizontalPosition, preparer);
    pattern.y = TilePosition(pattern, chain, AttributeId::y, PercentRule::VerticalPosition, preparer);
    pattern.width = TileSize(pattern, chain, AttributeId::width, PercentRule::HorizontalSize, preparer);
    pattern.height = TileSize(pattern, chain, AttributeId::height, PercentRule::VerticalSize, preparer);
    pattern.content = ContentElement(chain);
    pattern.clipOffsets = ReadClipOffsets(pattern, ClipCountMessage::Located, preparer);
    pattern.ready = pattern.width > 0 && pattern.height > 0 && ReadViewBox(pattern, chain, preparer);
    if (pattern.ready)
        ReadAspectRatio(pattern, chain, preparer);
    return true;
}

bool PaintWithPattern(const CElemPattern& pattern, CCanvas& canvas, const CGraphicsPath& path, const CElem& shape,
                      bool isStroke, const RenderArgs& args, const CElem* boxOwner)
{
    const std::optional<RectF>& shapeBox = (boxOwner != nullptr ? *boxOwner : shape).bboxUser;
    CRenderPass& pass = args.pass;
    const bool needsBox = pattern.units == Units::ObjectBoundingBox ||
                          (pattern.contentUnits == Units::ObjectBoundingBox && !pattern.hasViewBox);
    RectF box;
    if (needsBox) {
        // A box without width or height has no objectBoundingBox space.
        if (!shapeBox || IsEmptyRect(*shapeBox))
            return false;
        box = *shapeBox;
    }
    // SVG: a tile without area disables the paint (as if it were none).
    const RectF rect = TileRect(pattern, box);
    const std::optional<Matrix> userToPattern = Invert(pattern.patternTransform);
    if (!pattern.ready || IsEmptyRect(rect) || !userToPattern)
        return true;
    if (std::ranges::find(pass.patterns.active, &pattern) != pass.patterns.active.end()) {
        ReportCycle(pattern, shape, isStroke, pass);
        return true;
    }
    if (pass.patterns.active.size() >= kMaxPatternNesting) {
        pass.Report(pattern, msg::kPatternNestedTooDeeply);
        return true;
    }
    const TileGuard guard(pattern, pass);

    const Matrix patternToDevice = Matrix::Multiply(pattern.patternTransform, canvas.Ctm());
    const std::optional<Tile> tile = SizeTile(pattern, rect, patternToDevice, pass);
    if (!tile)
        return true;
    cairo_surface_t* image = RenderTile(pattern, *tile, box, patternToDevice, canvas, args);
    if (image == nullptr)
        return true;
    cairo_pattern_t* source = CreateSource(image, *tile, *userToPattern, PaintAnchor(canvas, path));
    cairo_surface_destroy(image);
    const ResolvedProperties& style = shape.props;
    PaintWithSource(canvas, path, style, isStroke, source, isStroke ? style.strokeOpacity : style.fillOpacity);
    cairo_pattern_destroy(source);
    return true;
}

}  // namespace svg
