// Linear and radial gradients. Setup reads the attributes along the
// xlink:href chain and the stops (its own, or those of the first gradient
// along the chain that has some); painting builds the matching cairo
// gradient, which draws SVG's picture directly: pad, reflect and repeat
// extends, and a radial gradient's focal point as the centre of its 0% circle.
// Stops are straight colours with stop-opacity times fill-opacity or
// stroke-opacity; the element's `opacity` fades the whole shape elsewhere.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "model/elem.h"
#include "model/messages.h"
#include "render/canvas.h"
#include "render/container.h"
#include "render/paint_server.h"
#include "render/prepare.h"
#include "values/color.h"
#include "values/number.h"

namespace svg {
namespace {

// --- Geometry attributes --------------------------------------------------------

// The geometry attributes read along a gradient's chain.
class GeometryReader {
public:
    GeometryReader(const CElemGradient& gradient, const std::vector<CElem*>& chain, CPreparer& preparer)
        : gradient_(gradient), chain_(chain), preparer_(preparer)
    {
    }

    double Resolve(const Number& number, PercentRule rule) const
    {
        return ResolveInUnits(gradient_, gradient_.units, number, rule, preparer_);
    }

    // Only gradients of the same kind give x1..y2 or cx..r.
    LengthAttribute Read(AttributeId name, PercentRule rule) const
    {
        return ReadLengthAlong(gradient_, chain_, name, gradient_.units, rule, preparer_, true);
    }

    // A coordinate with its default given as a percentage.
    float Coordinate(AttributeId name, PercentRule rule, double defaultPercent) const
    {
        const LengthAttribute read = Read(name, rule);
        return static_cast<float>(read.value.value_or(Resolve({Unit::Percent, defaultPercent}, rule)));
    }

private:
    const CElemGradient& gradient_;
    const std::vector<CElem*>& chain_;
    CPreparer& preparer_;
};

void ReadLinearGeometry(CElemGradient& gradient, const GeometryReader& reader)
{
    gradient.x1 = reader.Coordinate(AttributeId::x1, PercentRule::HorizontalPosition, 0);
    gradient.y1 = reader.Coordinate(AttributeId::y1, PercentRule::VerticalPosition, 0);
    gradient.x2 = reader.Coordinate(AttributeId::x2, PercentRule::HorizontalPosition, 100);
    gradient.y2 = reader.Coordinate(AttributeId::y2, PercentRule::VerticalPosition, 0);
}

void ReadRadialGeometry(CElemGradient& gradient, const GeometryReader& reader, CPreparer& preparer)
{
    gradient.cx = reader.Coordinate(AttributeId::cx, PercentRule::HorizontalPosition, 50);
    gradient.cy = reader.Coordinate(AttributeId::cy, PercentRule::VerticalPosition, 50);
    const LengthAttribute fx = reader.Read(AttributeId::fx, PercentRule::HorizontalPosition);
    const LengthAttribute fy = reader.Read(AttributeId::fy, PercentRule::VerticalPosition);
    gradient.fx = static_cast<float>(fx.value.value_or(gradient.cx));
    gradient.fy = static_cast<float>(fy.value.value_or(gradient.cy));
    // In user space a percentage radius is of the viewport's normalised diagonal.
    const float defaultRadius = static_cast<float>(reader.Resolve({Unit::Percent, 50}, PercentRule::Diagonal));
    const LengthAttribute r = reader.Read(AttributeId::r, PercentRule::Diagonal);
    gradient.r = static_cast<float>(r.value.value_or(defaultRadius));
    if (r.value && *r.value < 0) {
        preparer.Log().Report(gradient, msg::kRadiusMustBePositive, gradient.Name().c_str(), r.text->c_str());
        gradient.r = defaultRadius;
    }
}

SpreadMethod ReadSpread(const CElemGradient& gradient, const std::vector<CElem*>& chain, CPreparer& preparer)
{
    const std::string* text = AttributeAlong(chain, AttributeId::spreadMethod);
    if (text == nullptr)
        return SpreadMethod::Pad;
    if (const std::optional<SpreadMethod> spread = ParseSpreadMethod(*text))
        return *spread;
    preparer.ReportInvalid(gradient, AttributeId::spreadMethod, *text);
    return SpreadMethod::Pad;
}

// --- Stops ----------------------------------------------------------------------

bool IsStop(const CElem* elem) { return elem->Id() == ElementId::stop; }

bool HasStops(const CElem& gradient) { return std::ranges::any_of(gradient.Children(), IsStop); }

float StopOffset(const CElem& stop, CPreparer& preparer)
{
    const std::string* text = stop.GetAttribute(AttributeId::offset, false);
    if (text == nullptr)
        return 0;
    const std::optional<double> offset = ReadFraction(*text);
    if (!offset) {
        preparer.Log().Report(stop, msg::kStopOffsetInvalid, stop.Name().c_str(), text->c_str());
        return 0;
    }
    return static_cast<float>(std::clamp(*offset, 0.0, 1.0));
}

float StopOpacity(const CElem& stop)
{
    const std::string* text = stop.GetAttribute(AttributeId::stop_opacity, false);
    const std::optional<double> opacity = text != nullptr ? ReadFraction(*text) : std::nullopt;
    return static_cast<float>(std::clamp(opacity.value_or(1), 0.0, 1.0));
}

Rgba StopColor(const CElem& stop, const CPreparer& preparer)
{
    // currentColor is the stop's own resolved `color`.
    const std::string* text = stop.GetColorAttribute(AttributeId::stop_color, false);
    const SystemPalette& palette = preparer.Context().Options().desktop.palette;
    const Rgb color = text != nullptr ? ParseColor(*text, palette).value_or(Rgb{}) : Rgb{};
    return {color.r, color.g, color.b, 255};
}

// SVG: an offset below the one before takes that one's value, so stops
// never run backwards (cairo would sort them into another picture).
std::vector<CGradientStop> ReadStops(CElemGradient& gradient, CPreparer& preparer)
{
    std::vector<CGradientStop> stops;
    for (CElem* stop : gradient.Children()) {
        if (!IsStop(stop))
            continue;
        // The stop's `color` must be resolved for currentColor.
        if (stop->prepState == PrepState::NotPrepared)
            preparer.Prepare(*stop);
        CGradientStop read{StopOffset(*stop, preparer), StopOpacity(*stop), StopColor(*stop, preparer)};
        if (!stops.empty() && read.offset < stops.back().offset) {
            const std::string* text = stop->GetAttribute(AttributeId::offset, false);
            preparer.Log().Report(*stop, msg::kStopOffsetOrder, gradient.Name().c_str(),
                                  text != nullptr ? text->c_str() : "");
            read.offset = stops.back().offset;
        }
        stops.push_back(read);
    }
    if (!stops.empty() && stops.front().offset > 0) {
        CGradientStop first = stops.front();
        first.offset = 0;
        stops.insert(stops.begin(), first);
    }
    return stops;
}

// The stops of the first gradient along the chain that has stop children.
// A gradient reads its own stops first thing in Setup, so one met on the
// chain (prepared on the way, or still in preparation) has them already.
std::vector<CGradientStop> InheritedStops(const std::vector<CElem*>& chain)
{
    for (std::size_t i = 1; i < chain.size(); ++i)
        if (HasStops(*chain[i]))
            return static_cast<const CElemGradient*>(chain[i])->stops;
    return {};
}

// --- Painting -------------------------------------------------------------------

void AddStop(cairo_pattern_t* source, double offset, const CGradientStop& stop, double alpha)
{
    cairo_pattern_add_color_stop_rgba(source, offset, stop.color.r / 255.0, stop.color.g / 255.0,
                                      stop.color.b / 255.0, stop.opacity * alpha);
}

// SVG paints the last stop's colour all over when the gradient has a single
// stop, a linear vector of no length or a zero radius.
bool IsSolid(const CElemGradient& gradient)
{
    if (gradient.stops.size() == 1)
        return true;
    if (gradient.kind == CElemGradient::Linear)
        return gradient.x1 == gradient.x2 && gradient.y1 == gradient.y2;
    return !(gradient.r > 0);
}

cairo_extend_t Extend(SpreadMethod spread)
{
    switch (spread) {
    case SpreadMethod::Reflect: return CAIRO_EXTEND_REFLECT;
    case SpreadMethod::Repeat: return CAIRO_EXTEND_REPEAT;
    case SpreadMethod::Pad: break;
    }
    return CAIRO_EXTEND_PAD;
}

// The cairo source in gradient space; `alpha` multiplies every stop's opacity.
cairo_pattern_t* CreateSource(const CElemGradient& gradient, double alpha)
{
    const CGradientStop& last = gradient.stops.back();
    if (IsSolid(gradient))
        return cairo_pattern_create_rgba(last.color.r / 255.0, last.color.g / 255.0, last.color.b / 255.0,
                                         last.opacity * alpha);
    cairo_pattern_t* source = nullptr;
    if (gradient.kind == CElemGradient::Linear) {
        source = cairo_pattern_create_linear(gradient.x1, gradient.y1, gradient.x2, gradient.y2);
    } else {
        // The focal point stays where it is given, also outside the circle:
        // cairo then paints the cone that touches both circles and leaves the
        // rest unpainted. SVG 1.1 moved such a point onto the circle; SVG 2
        // and every current renderer draw the cone, and authors see that.
        source = cairo_pattern_create_radial(gradient.fx, gradient.fy, 0, gradient.cx, gradient.cy, gradient.r);
    }
    for (const CGradientStop& stop : gradient.stops)
        AddStop(source, stop.offset, stop, alpha);
    // Reflected and repeated cycles hold the last colour up to the cycle's end.
    if (last.offset < 1)
        AddStop(source, 1, last, alpha);
    cairo_pattern_set_extend(source, Extend(gradient.spread));
    return source;
}

}  // namespace

bool SetUpGradient(CElemGradient& gradient, CPreparer& preparer)
{
    if (!SetUpContainer(gradient, preparer))
        return false;
    // Own stops first: gradients whose chains lead here copy them.
    gradient.stops = ReadStops(gradient, preparer);
    const std::vector<CElem*> chain = HrefChain(gradient, preparer);
    if (!HasStops(gradient))
        gradient.stops = InheritedStops(chain);
    gradient.units = ReadUnits(gradient, chain, AttributeId::gradientUnits, Units::ObjectBoundingBox, preparer);
    gradient.spread = ReadSpread(gradient, chain, preparer);
    gradient.gradientTransform = ReadTransformAlong(gradient, chain, AttributeId::gradientTransform, preparer);
    const GeometryReader reader(gradient, chain, preparer);
    if (gradient.kind == CElemGradient::Linear)
        ReadLinearGeometry(gradient, reader);
    else
        ReadRadialGeometry(gradient, reader, preparer);
    return true;
}

bool PaintWithGradient(const CElemGradient& gradient, CCanvas& canvas, const CGraphicsPath& path,
                       const CElem& shape, bool isStroke, const CElem* boxOwner)
{
    const Matrix& gradientTransform = gradient.gradientTransform;
    Matrix toUser = gradientTransform;
    const std::optional<RectF>& box = (boxOwner != nullptr ? *boxOwner : shape).bboxUser;
    if (gradient.units == Units::ObjectBoundingBox) {
        // A box without width or height has no objectBoundingBox space.
        if (!box || IsEmptyRect(*box))
            return false;
        toUser = Matrix::Multiply(gradientTransform, BoxMatrix(*box));
    }
    // No stops paints as none; a singular transform leaves no gradient to see.
    const std::optional<Matrix> toGradient = Invert(toUser);
    if (gradient.stops.empty() || !toGradient)
        return true;

    const ResolvedProperties& style = shape.props;
    cairo_pattern_t* source = CreateSource(gradient, isStroke ? style.strokeOpacity : style.fillOpacity);
    const cairo_matrix_t matrix = ToCairo(*toGradient);
    cairo_pattern_set_matrix(source, &matrix);
    PaintWithSource(canvas, path, style, isStroke, source, 1);
    cairo_pattern_destroy(source);
    return true;
}

}  // namespace svg
