// Containers: set-up of viewports (svg, symbol, foreignObject), the `clip`
// property and enable-background; drawing the children (one of them for a
// switch, a placeholder box for foreignObject); hit testing.
//
// A viewport of zero size draws nothing, as SVG says for a zero width, height
// or viewBox size: such an svg or symbol keeps an empty region (zero or
// negative width or height) or an empty viewBox, and Draw and HitTest skip it.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/conditional.h"
#include "model/document.h"
#include "model/messages.h"
#include "render/background.h"
#include "render/canvas.h"
#include "render/container.h"
#include "render/prepare.h"
#include "render/render.h"
#include "values/syntax.h"

namespace svg {
namespace {

// The placeholder painted for a foreignObject, whose content is not rendered.
constexpr Rgba kForeignObjectColor{0xEE, 0xE8, 0xAA, 0xFF};

bool Contains(const RectF& rect, PointD p)
{
    return p.x >= rect.x && p.x <= rect.Right() && p.y >= rect.y && p.y <= rect.Bottom();
}

bool IsViewportElement(const CElem& elem) { return elem.Id() == ElementId::svg || elem.Id() == ElementId::symbol; }

// False for an svg or symbol whose viewport or viewBox has no area.
bool RendersContent(const CElemContainer& elem)
{
    if (!IsViewportElement(elem))
        return true;
    return !IsEmptyRect(elem.region) && !(elem.hasViewBox && IsEmptyRect(elem.viewport));
}

// `clip` refines the clipping that overflow sets up: where overflow shows
// everything there is no clipping at all.
bool ClipsToClipRect(const CElemContainer& elem)
{
    return ClipsOverflow(elem.props.overflow) && !IsEmptyRect(elem.clipRect);
}

// --- Viewports of svg and symbol ------------------------------------------------

enum class ViewBoxState { None, Valid, Empty };

// SVG: a negative viewBox width or height is an error that voids the viewBox;
// a zero one disables rendering of the element. Both are reported.
ViewBoxState ReadViewBox(const CElem& elem, RectF& viewBox, CPreparer& preparer)
{
    const std::optional<RectF> read = ReadViewBoxAttribute(elem, preparer.Context());
    if (!read)
        return ViewBoxState::None;
    viewBox = *read;
    if (!IsEmptyRect(viewBox))
        return ViewBoxState::Valid;
    preparer.ReportInvalid(elem, AttributeId::viewBox, *elem.attributes.Value(AttributeId::viewBox));
    return viewBox.width < 0 || viewBox.height < 0 ? ViewBoxState::None : ViewBoxState::Empty;
}

// Width or height of a nested svg or symbol: 100% of the parent's viewport
// when missing (or unreadable); 0 disables rendering; a negative value is
// reported and disables it too.
float NestedSize(const CElem& elem, AttributeId name, PercentRule rule, float parentSize, CPreparer& preparer)
{
    const std::optional<double> size = preparer.ReadLength(elem, name, rule);
    if (!size)
        return parentSize;
    if (*size < 0) {
        preparer.ReportInvalid(elem, name, *elem.GetAttribute(name, false));
        return 0;
    }
    return static_cast<float>(*size);
}

// Width or height of the document root, which the loader has read: when
// missing, zero, unreadable or negative, the viewBox's is used, else the
// document's default viewport's.
float RootSize(const CElem& root, AttributeId name, PercentRule rule, float loaderSize, float viewBoxSize,
               float defaultSize, CPreparer& preparer)
{
    const std::optional<double> size = preparer.ReadLength(root, name, rule);
    if (size && *size < 0)
        preparer.ReportInvalid(root, name, *root.GetAttribute(name, false));
    if (loaderSize > 0)
        return loaderSize;
    return viewBoxSize > 0 ? viewBoxSize : defaultSize;
}

RectF RootRegion(const CElemContainer& root, const RectF* viewBox, CPreparer& preparer)
{
    const RectF defaults = preparer.Context().Options().defaultViewport;
    // SVG ignores x and y on the outermost svg.
    return {0, 0,
            RootSize(root, AttributeId::width, PercentRule::HorizontalSize, root.region.width,
                     viewBox ? viewBox->width : 0, defaults.width, preparer),
            RootSize(root, AttributeId::height, PercentRule::VerticalSize, root.region.height,
                     viewBox ? viewBox->height : 0, defaults.height, preparer)};
}

float Coordinate(const CElem& elem, AttributeId name, PercentRule rule, CPreparer& preparer)
{
    return static_cast<float>(preparer.ReadLength(elem, name, rule).value_or(0));
}

// x, y, width and height in the parent's user space: elem.viewport is still
// the parent's copy here.
RectF NestedRegion(const CElemContainer& elem, CPreparer& preparer)
{
    const RectF& parentViewport = elem.viewport;
    return {Coordinate(elem, AttributeId::x, PercentRule::HorizontalPosition, preparer),
            Coordinate(elem, AttributeId::y, PercentRule::VerticalPosition, preparer),
            NestedSize(elem, AttributeId::width, PercentRule::HorizontalSize, parentViewport.width, preparer),
            NestedSize(elem, AttributeId::height, PercentRule::VerticalSize, parentViewport.height, preparer)};
}

void SetUpViewport(CElemContainer& elem, CPreparer& preparer)
{
    RectF viewBox;
    const ViewBoxState viewBoxState = ReadViewBox(elem, viewBox, preparer);
    const bool root = elem.Parent() == nullptr;
    elem.region = root ? RootRegion(elem, viewBoxState == ViewBoxState::Valid ? &viewBox : nullptr, preparer)
                       : NestedRegion(elem, preparer);
    elem.hasViewBox = viewBoxState != ViewBoxState::None;
    elem.viewport = elem.hasViewBox ? viewBox : RectF{0, 0, elem.region.width, elem.region.height};
    elem.aspect = ReadAspectRatioAttribute(elem, preparer.Context());
    // Without a viewBox this is the translation to the viewport's x and y.
    elem.viewBoxMatrix = ViewBoxToViewport(elem.region, elem.viewport, elem.aspect);
}

// SVG places foreignObject at its own x, y, width and height. One without a
// width or height covers its parent's viewport.
void SetUpForeignObject(CElemContainer& elem, CPreparer& preparer)
{
    const std::optional<double> width = preparer.ReadLength(elem, AttributeId::width, PercentRule::HorizontalSize);
    const std::optional<double> height = preparer.ReadLength(elem, AttributeId::height, PercentRule::VerticalSize);
    if (!width || !height) {
        elem.region = elem.viewport;
        return;
    }
    auto nonNegative = [&elem, &preparer](AttributeId name, double size) {
        if (size >= 0)
            return static_cast<float>(size);
        preparer.ReportInvalid(elem, name, *elem.GetAttribute(name, false));
        return 0.0f;
    };
    elem.region = {Coordinate(elem, AttributeId::x, PercentRule::HorizontalPosition, preparer),
                   Coordinate(elem, AttributeId::y, PercentRule::VerticalPosition, preparer),
                   nonNegative(AttributeId::width, *width), nonNegative(AttributeId::height, *height)};
}

// With `new` and four numbers the background region is known now; with fewer
// it is the document root's bounding box, which only exists once bounds are
// computed, so the region stays null and its readers take that box.
void ReadEnableBackground(CElemContainer& elem)
{
    const std::string* text = elem.GetAttribute(AttributeId::enable_background, false);
    elem.background = text != nullptr ? ParseEnableBackground(*text) : EnableBackground{};
}

// --- The clip property ------------------------------------------------------------

// rect( followed by offsets, each a length or `auto` (null), separated by
// commas or blanks; reading stops at ")" or at anything else.
std::vector<std::optional<double>> ReadOffsetList(const CElem& elem, std::string_view text, CPreparer& preparer)
{
    std::vector<std::optional<double>> offsets;
    std::size_t pos = SkipSpace(text, 0);
    while (pos < text.size() && text[pos] != ')') {
        if (text.substr(pos).starts_with("auto")) {
            offsets.emplace_back();
            pos += 4;
        } else {
            const std::optional<Number> number = ParseNumber(text, pos);
            if (!number)
                break;
            // Top and bottom are vertical, right and left horizontal.
            const PercentRule rule = offsets.size() % 2 == 0 ? PercentRule::VerticalSize : PercentRule::HorizontalSize;
            offsets.emplace_back(ResolveLength(*number, rule, preparer.Lengths(elem)));
        }
        pos = SkipSeparator(text, pos);
    }
    return offsets;
}

}  // namespace

// --- Shared helpers -----------------------------------------------------------------

Matrix ViewBoxToViewport(const RectF& viewportRect, const RectF& viewBox, const AspectRatio& aspect)
{
    if (IsEmptyRect(viewportRect) || IsEmptyRect(viewBox))
        return {};
    const double sx = double{viewportRect.width} / viewBox.width;
    const double sy = double{viewportRect.height} / viewBox.height;
    if (aspect.align == AspectAlign::None)
        return {sx, 0, 0, sy, viewportRect.x - viewBox.x * sx, viewportRect.y - viewBox.y * sy};
    // meet fits the whole viewBox in, slice fills the whole viewport.
    const double scale = aspect.slice ? std::max(sx, sy) : std::min(sx, sy);
    // 0, 1, 2 for Min, Mid, Max: that many halves of the free space go before.
    const int xPosition = AlignXPosition(aspect.align);
    const int yPosition = AlignYPosition(aspect.align);
    const double freeX = viewportRect.width - viewBox.width * scale;
    const double freeY = viewportRect.height - viewBox.height * scale;
    return {scale,
            0,
            0,
            scale,
            viewportRect.x - viewBox.x * scale + freeX * xPosition * 0.5,
            viewportRect.y - viewBox.y * scale + freeY * yPosition * 0.5};
}

std::optional<ClipOffsets> ReadClipOffsets(const CElem& elem, ClipCountMessage countMessage, CPreparer& preparer)
{
    const std::string* text = elem.GetAttribute(AttributeId::clip, false);
    if (text == nullptr)
        return std::nullopt;
    const std::string_view value = TrimSpace(*text);
    // `auto` is the viewport itself, which overflow already clips to.
    if (value == "auto")
        return std::nullopt;
    constexpr std::string_view kRect = "rect(";
    if (!value.starts_with(kRect)) {
        preparer.Log().Report(msg::kClipInvalid, static_cast<int>(text->size()), text->data());
        return std::nullopt;
    }
    const std::string_view inside = value.substr(kRect.size());
    const std::vector<std::optional<double>> offsets = ReadOffsetList(elem, inside, preparer);
    if (offsets.size() != 4) {
        if (countMessage == ClipCountMessage::Located)
            preparer.ReportInvalid(elem, AttributeId::clip, std::string(inside));
        else
            preparer.Log().Report(msg::kClipInvalid, static_cast<int>(inside.size()), inside.data());
    }
    if (offsets.size() < 4)
        return std::nullopt;
    return ClipOffsets{offsets[0], offsets[1], offsets[2], offsets[3]};
}

RectF ClipRectIn(const RectF& viewport, const ClipOffsets& offsets)
{
    if (IsEmptyRect(viewport))
        return {};
    // CSS: top and bottom are offsets from the top edge, right and left from
    // the left edge; `auto` keeps that edge of the viewport.
    const double top = viewport.y + offsets.top.value_or(0);
    const double right = viewport.x + offsets.right.value_or(viewport.width);
    const double bottom = viewport.y + offsets.bottom.value_or(viewport.height);
    const double left = viewport.x + offsets.left.value_or(0);
    return {static_cast<float>(std::min(left, right)), static_cast<float>(std::min(top, bottom)),
            static_cast<float>(std::abs(right - left)), static_cast<float>(std::abs(bottom - top))};
}

void ReadClipProperty(CElemContainer& elem, CPreparer& preparer, ClipCountMessage countMessage)
{
    elem.clipRect = {};
    const std::optional<ClipOffsets> offsets = ReadClipOffsets(elem, countMessage, preparer);
    const std::optional<Matrix> toContent = elem.viewBoxMatrix.Inverse();
    if (!offsets || !toContent || IsEmptyRect(elem.region))
        return;
    elem.clipRect = ClipRectIn(MapRectBounds(elem.region, *toContent), *offsets);
}

// --- Containers ----------------------------------------------------------------------

bool SetUpContainer(CElemContainer& elem, CPreparer& preparer)
{
    switch (elem.Id()) {
    case ElementId::use: return InstantiateUse(elem, preparer);
    case ElementId::svg:
    case ElementId::symbol:
        SetUpViewport(elem, preparer);
        ReadClipProperty(elem, preparer);
        break;
    case ElementId::foreignObject:
        SetUpForeignObject(elem, preparer);
        ReadClipProperty(elem, preparer);
        break;
    default: break;
    }
    ReadEnableBackground(elem);
    return true;
}

void DrawContainer(const CElemContainer& elem, CCanvas& canvas, const RenderArgs& args)
{
    if (!RendersContent(elem))
        return;
    if (ClipsToClipRect(elem))
        canvas.IntersectClip(elem.clipRect);
    if (elem.Id() == ElementId::foreignObject) {
        if (elem.props.visibility == Visibility::Visible)
            canvas.FillRect(elem.region, kForeignObjectColor);
        return;
    }
    if (elem.Id() == ElementId::switch_) {
        // Every alternative a document offers is recorded, not only the one drawn.
        if (CConditionalValues* conditions = args.pass.Conditions())
            for (const CElem* child : elem.Children())
                if (child->graphicsElement)
                    conditions->RecordElement(*child);
        if (const CElem* chosen = ChosenSwitchChild(elem))
            Render(*chosen, canvas, args);
        return;
    }
    CBackgroundScope background(elem, canvas, args.pass);
    for (const CElem* child : elem.Children()) {
        if (args.pass.StopRequested())
            break;
        if (!child->graphicsElement)
            continue;
        if (background.Active())
            background.RenderChild(*child, canvas, args);
        else
            Render(*child, canvas, args);
    }
}

const CElem* HitTestContainer(const CElemContainer& elem, double x, double y, CRenderPass& pass)
{
    if (elem.props.display == Display::None || pass.StopRequested() || !RendersContent(elem))
        return nullptr;
    const std::optional<Matrix> fromParent = elem.props.transform.Inverse();
    if (!fromParent)
        return nullptr;
    PointD point = fromParent->Apply({x, y});

    const ElementId id = elem.Id();
    const bool mapsViewBox = IsViewportElement(elem) || id == ElementId::foreignObject || id == ElementId::glyph;
    if (mapsViewBox) {
        // What the viewport clips away cannot be hit.
        if (ClipsOverflow(elem.props.overflow) && id != ElementId::glyph && !IsEmptyRect(elem.region) &&
            !Contains(elem.region, point))
            return nullptr;
        const std::optional<Matrix> toContent = elem.viewBoxMatrix.Inverse();
        if (!toContent)
            return nullptr;
        point = toContent->Apply(point);
    }
    if (ClipsToClipRect(elem) && !Contains(elem.clipRect, point))
        return nullptr;
    if (id == ElementId::foreignObject)
        return elem.props.visibility == Visibility::Visible && Contains(elem.region, point) ? &elem : nullptr;
    if (id == ElementId::switch_) {
        const CElem* chosen = ChosenSwitchChild(elem);
        return chosen != nullptr ? HitTest(*chosen, point.x, point.y, pass) : nullptr;
    }
    for (const CElem* child : elem.Children() | std::views::reverse) {
        if (child->excluded || !child->graphicsElement)
            continue;
        if (const CElem* hit = HitTest(*child, point.x, point.y, pass))
            return hit;
    }
    return nullptr;
}

}  // namespace svg
