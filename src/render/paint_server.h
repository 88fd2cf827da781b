// What the gradient and pattern servers share: the xlink:href chain their
// attributes (and stops or children) come from, the reading of their units
// and transform attributes, and painting one item of a shape with a cairo
// source. Setup runs on the loading thread, painting on the rendering one.
#pragma once

#include <cairo.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/elem.h"
#include "render/canvas.h"
#include "values/number.h"

namespace svg {

// `server` followed by the elements its xlink:href chain leads to. The chain
// ends at a missing target, at an element of another kind (gradients of both
// kinds count as one), where it loops back, or at the chain length bound.
// Each server reports only the faults of its own link and the loops that
// return to it, so a fault is reported once however many chains pass it.
// Targets are prepared on the way.
std::vector<CElem*> HrefChain(CElem& server);

// The first value of `name` along `chain`; with `sameNameOnly`, only elements
// named like the chain's first count (a radial gradient takes no cx from a
// linear one).
const std::string* AttributeAlong(const std::vector<CElem*>& chain, std::string_view name,
                                  bool sameNameOnly = false);

// A units attribute along the chain: 0 objectBoundingBox, 1 userSpaceOnUse;
// `absent` when missing; an unknown value is reported against `server` and
// gives `absent`.
int ReadUnits(const CElem& server, const std::vector<CElem*>& chain, std::string_view name, int absent);

// A transform attribute along the chain; identity when missing, and after
// its message when unreadable.
Matrix ReadTransformAlong(const CElem& server, const std::vector<CElem*>& chain, std::string_view name);

// A length attribute along the chain in a server's units. In
// objectBoundingBox units (0) a fraction of the box: a percentage divided by
// 100; in userSpaceOnUse units (1) a length resolved against `server`'s
// viewport. `text` is null when the attribute is missing; `value` is null
// when it is missing or unreadable, which is reported against `server`.
struct LengthAlong {
    const std::string* text = nullptr;
    std::optional<double> value;
};
LengthAlong ReadLengthAlong(const CElem& server, const std::vector<CElem*>& chain, std::string_view name,
                            int units, PercentRule rule, bool sameNameOnly = false);
double ResolveInUnits(const CElem& server, int units, const Number& number, PercentRule rule);

// A number or a percentage (divided by 100) and nothing else, as stop
// offsets and opacities are written; null otherwise.
std::optional<double> ReadFraction(std::string_view text);

// The inverse, or null when `m` is singular or not finite.
std::optional<Matrix> Invert(const Matrix& m);

// The matrix that maps the unit square onto `box`.
Matrix BoxMatrix(const RectF& box);

// The style that paints `item`: its owner's, or else the shape's.
const ResolvedProperties& ItemStyle(const CGraphicsPath& item, const CElem& shape);

// Fills `item` with its fill rule, or strokes it with the style's pen
// (width, caps, joins, miter limit and dashes), using `source` faded by
// `alpha`. The canvas state is left as it was.
void PaintWithSource(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style, bool isStroke,
                     cairo_pattern_t* source, double alpha);

}  // namespace svg
