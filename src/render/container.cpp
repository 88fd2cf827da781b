// CElemContainer: set-up of viewports (svg, symbol, foreignObject), the
// `clip` property and enable-background; drawing the children (one of them
// for a switch, a placeholder box for foreignObject); hit testing.
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
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "render/canvas.h"
#include "render/container.h"
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
ViewBoxState ReadViewBox(const CElem& elem, RectF& viewBox)
{
    if (!ParseViewBox(elem, viewBox))
        return ViewBoxState::None;
    if (!IsEmptyRect(viewBox))
        return ViewBoxState::Valid;
    ReportMessage("E %s viewBox=\"%s\" :Invalid value at %d(%d)", elem.Name().c_str(),
                  elem.attributes.Value("viewBox")->c_str(), elem.line, elem.column);
    return viewBox.width < 0 || viewBox.height < 0 ? ViewBoxState::None : ViewBoxState::Empty;
}

// Width or height of a nested svg or symbol: 100% of the parent's viewport
// when missing (or unreadable); 0 disables rendering; a negative value is
// reported and disables it too.
float NestedSize(const CElem& elem, std::string_view name, PercentRule rule, float parentSize)
{
    const std::optional<double> size = ReadLengthAttribute(elem, name, rule);
    if (!size)
        return parentSize;
    if (*size < 0) {
        ReportInvalidValue(elem, name, *elem.GetAttribute(name, false));
        return 0;
    }
    return static_cast<float>(*size);
}

// Width or height of the document root, which the loader has read: when
// missing, zero, unreadable or negative, the viewBox's is used, else the
// document's default viewport's.
float RootSize(const CElem& root, std::string_view name, PercentRule rule, float loaderSize,
               float viewBoxSize, float defaultSize)
{
    const std::optional<double> size = ReadLengthAttribute(root, name, rule);
    if (size && *size < 0)
        ReportInvalidValue(root, name, *root.GetAttribute(name, false));
    if (loaderSize > 0)
        return loaderSize;
    return viewBoxSize > 0 ? viewBoxSize : defaultSize;
}

RectF RootRegion(const CElemContainer& root, const RectF* viewBox)
{
    const CElemDocument* document = root.Document();
    const RectF defaults = document != nullptr ? document->Options().defaultViewport : CDocOptions{}.defaultViewport;
    // SVG ignores x and y on the outermost svg.
    return {0, 0,
            RootSize(root, "width", PercentRule::HorizontalSize, root.region.width, viewBox ? viewBox->width : 0,
                     defaults.width),
            RootSize(root, "height", PercentRule::VerticalSize, root.region.height, viewBox ? viewBox->height : 0,
                     defaults.height)};
}

// x, y, width and height in the parent's user space: elem.viewport is still
// the parent's copy here.
RectF NestedRegion(const CElemContainer& elem)
{
    const RectF& parentViewport = elem.viewport;
    return {static_cast<float>(ReadLengthAttribute(elem, "x", PercentRule::HorizontalPosition).value_or(0)),
            static_cast<float>(ReadLengthAttribute(elem, "y", PercentRule::VerticalPosition).value_or(0)),
            NestedSize(elem, "width", PercentRule::HorizontalSize, parentViewport.width),
            NestedSize(elem, "height", PercentRule::VerticalSize, parentViewport.height)};
}

void ReadAspectRatio(CElemContainer& elem)
{
    AspectRatio ratio;
    const std::string* text = elem.GetAttribute("preserveAspectRatio", false);
    if (text != nullptr && !ParseAspectRatio(*text, ratio))
        ReportInvalidValue(elem, "preserveAspectRatio", *text);
    elem.aspectAlign = ratio.align;
    elem.aspectSlice = ratio.slice;
}

void SetUpViewport(CElemContainer& elem)
{
    RectF viewBox;
    const ViewBoxState viewBoxState = ReadViewBox(elem, viewBox);
    const bool root = elem.Parent() == nullptr;
    elem.region = root ? RootRegion(elem, viewBoxState == ViewBoxState::Valid ? &viewBox : nullptr)
                       : NestedRegion(elem);
    elem.hasViewBox = viewBoxState != ViewBoxState::None;
    elem.viewport = elem.hasViewBox ? viewBox : RectF{0, 0, elem.region.width, elem.region.height};
    ReadAspectRatio(elem);
    // Without a viewBox this is the translation to the viewport's x and y.
    elem.viewBoxMatrix = ViewBoxToViewport(elem.region, elem.viewport, elem.aspectAlign, elem.aspectSlice);
}

// SVG places foreignObject at its own x, y, width and height. One without a
// width or height covers its parent's viewport.
void SetUpForeignObject(CElemContainer& elem)
{
    const std::optional<double> width = ReadLengthAttribute(elem, "width", PercentRule::HorizontalSize);
    const std::optional<double> height = ReadLengthAttribute(elem, "height", PercentRule::VerticalSize);
    if (!width || !height) {
        elem.region = elem.viewport;
        return;
    }
    auto nonNegative = [&elem](std::string_view name, double size) {
        if (size >= 0)
            return static_cast<float>(size);
        ReportInvalidValue(elem, name, *elem.GetAttribute(name, false));
        return 0.0f;
    };
    elem.region = {static_cast<float>(ReadLengthAttribute(elem, "x", PercentRule::HorizontalPosition).value_or(0)),
                   static_cast<float>(ReadLengthAttribute(elem, "y", PercentRule::VerticalPosition).value_or(0)),
                   nonNegative("width", *width), nonNegative("height", *height)};
}

// With `new` and four numbers the background region is known now; with fewer
// it is the document root's bounding box, which only exists once bounds are
// computed, so backgroundRect stays empty and its readers take that box.
void ReadEnableBackground(CElemContainer& elem)
{
    const EnableBackground value = ParseEnableBackground(elem.GetAttribute("enable-background", false));
    elem.backgroundMode = value.code;
    elem.backgroundRect = {};
    if (value.code == 0 && value.region.size() >= 4)
        elem.backgroundRect = {static_cast<float>(value.region[0]), static_cast<float>(value.region[1]),
                               static_cast<float>(value.region[2]), static_cast<float>(value.region[3])};
}

// --- The clip property ------------------------------------------------------------

// rect( followed by offsets, each a length or `auto` (null), separated by
// commas or blanks; reading stops at ")" or at anything else.
std::vector<std::optional<double>> ReadClipOffsets(const CElem& elem, std::string_view text)
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
            offsets.emplace_back(ResolveLength(*number, rule, &elem));
        }
        pos = SkipSeparator(text, pos);
    }
    return offsets;
}

}  // namespace

// --- Shared helpers -----------------------------------------------------------------

void ReportInvalidValue(const CElem& elem, std::string_view name, const std::string& text)
{
    ReportMessage("E %s %.*s=\"%s\" :Invalid value at %d(%d)", elem.Name().c_str(), static_cast<int>(name.size()),
                  name.data(), text.c_str(), elem.line, elem.column);
}

std::optional<double> ReadLengthAttribute(const CElem& elem, std::string_view name, PercentRule rule)
{
    const std::string* text = elem.GetAttribute(name, false);
    if (text == nullptr)
        return std::nullopt;
    std::size_t pos = 0;
    const std::optional<Number> number = ParseNumber(*text, pos);
    // "10abc" is not a length: only blanks may follow the unit.
    if (!number || SkipSpace(*text, pos) != text->size()) {
        ReportInvalidValue(elem, name, *text);
        return std::nullopt;
    }
    return ResolveLength(*number, rule, &elem);
}

Matrix ViewBoxToViewport(const RectF& viewportRect, const RectF& viewBox, int align, bool slice)
{
    if (IsEmptyRect(viewportRect) || IsEmptyRect(viewBox))
        return {};
    const double sx = double{viewportRect.width} / viewBox.width;
    const double sy = double{viewportRect.height} / viewBox.height;
    if (align <= 0 || align > 9)
        return {sx, 0, 0, sy, viewportRect.x - viewBox.x * sx, viewportRect.y - viewBox.y * sy};
    // meet fits the whole viewBox in, slice fills the whole viewport.
    const double scale = slice ? std::max(sx, sy) : std::min(sx, sy);
    // 0, 1, 2 for Min, Mid, Max: that many halves of the free space go before.
    const int xPosition = (align - 1) / 3;
    const int yPosition = (align - 1) % 3;
    const double freeX = viewportRect.width - viewBox.width * scale;
    const double freeY = viewportRect.height - viewBox.height * scale;
    return {scale,
            0,
            0,
            scale,
            viewportRect.x - viewBox.x * scale + freeX * xPosition * 0.5,
            viewportRect.y - viewBox.y * scale + freeY * yPosition * 0.5};
}

void ReadClipProperty(CElemContainer& elem)
{
    elem.clipRect = {};
    const std::string* text = elem.GetAttribute("clip", false);
    if (text == nullptr)
        return;
    const std::string_view value = TrimSpace(*text);
    // `auto` is the viewport itself, which overflow already clips to.
    if (value == "auto")
        return;
    constexpr std::string_view kRect = "rect(";
    if (!value.starts_with(kRect)) {
        ReportMessage("E clip=\"%s\" :Invalid value", text->c_str());
        return;
    }
    const std::string_view inside = value.substr(kRect.size());
    const std::vector<std::optional<double>> offsets = ReadClipOffsets(elem, inside);
    if (offsets.size() != 4)
        ReportMessage("E clip=\"%.*s\" :Invalid value", static_cast<int>(inside.size()), inside.data());
    const std::optional<Matrix> toContent = elem.viewBoxMatrix.Inverse();
    if (offsets.size() < 4 || !toContent || IsEmptyRect(elem.region))
        return;

    // CSS: top and bottom are offsets from the top edge, right and left from
    // the left edge; `auto` keeps that edge of the viewport.
    const RectF box = MapRectBounds(elem.region, *toContent);
    const double top = box.y + offsets[0].value_or(0);
    const double right = box.x + offsets[1].value_or(box.width);
    const double bottom = box.y + offsets[2].value_or(box.height);
    const double left = box.x + offsets[3].value_or(0);
    elem.clipRect = {static_cast<float>(std::min(left, right)), static_cast<float>(std::min(top, bottom)),
                     static_cast<float>(std::abs(right - left)), static_cast<float>(std::abs(bottom - top))};
}

// --- CElemContainer -------------------------------------------------------------------

bool CElemContainer::Setup()
{
    if (!CElem::Setup())
        return false;
    if (Parent() == nullptr)
        ResetUseInstanceBudget(*this);
    switch (Id()) {
    case ElementId::use: return InstantiateUse(*this);
    case ElementId::svg:
    case ElementId::symbol:
        SetUpViewport(*this);
        ReadClipProperty(*this);
        break;
    case ElementId::foreignObject:
        SetUpForeignObject(*this);
        ReadClipProperty(*this);
        break;
    default: break;
    }
    ReadEnableBackground(*this);
    return true;
}

bool CElemContainer::Draw(CCanvas& canvas, const RenderArgs& args)
{
    if (!RendersContent(*this))
        return true;
    if (ClipsToClipRect(*this))
        canvas.IntersectClip(clipRect);
    if (Id() == ElementId::foreignObject) {
        if (props.visibility == Visibility::Visible)
            canvas.FillRect(region, kForeignObjectColor);
        return true;
    }
    if (Id() == ElementId::switch_) {
        if (CElem* chosen = SelectSwitchChild(*this))
            Render(*chosen, canvas, args);
        return true;
    }
    for (CElem* child : Children()) {
        if (StopRequested())
            break;
        if (child->graphicsElement)
            Render(*child, canvas, args);
    }
    return true;
}

CElem* CElemContainer::HitTest(double x, double y)
{
    if (props.display == Display::None || StopRequested() || !RendersContent(*this))
        return nullptr;
    const std::optional<Matrix> fromParent = props.transform.Inverse();
    if (!fromParent)
        return nullptr;
    PointD point = fromParent->Apply({x, y});

    const bool mapsViewBox = IsViewportElement(*this) || Id() == ElementId::foreignObject || Id() == ElementId::glyph;
    if (mapsViewBox) {
        // What the viewport clips away cannot be hit.
        if (ClipsOverflow(props.overflow) && Id() != ElementId::glyph && !IsEmptyRect(region) &&
            !Contains(region, point))
            return nullptr;
        const std::optional<Matrix> toContent = viewBoxMatrix.Inverse();
        if (!toContent)
            return nullptr;
        point = toContent->Apply(point);
    }
    if (ClipsToClipRect(*this) && !Contains(clipRect, point))
        return nullptr;
    if (Id() == ElementId::foreignObject)
        return props.visibility == Visibility::Visible && Contains(region, point) ? this : nullptr;
    if (Id() == ElementId::switch_) {
        CElem* chosen = SelectSwitchChild(*this);
        return chosen != nullptr ? chosen->HitTest(point.x, point.y) : nullptr;
    }
    const auto& children = Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CElem* child = *it;
        if (child->excluded || !child->graphicsElement)
            continue;
        if (CElem* hit = child->HitTest(point.x, point.y))
            return hit;
    }
    return nullptr;
}

}  // namespace svg
