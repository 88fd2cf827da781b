// Paint servers: setting up gradients and patterns, painting one item of a
// shape with them, and what they share: the xlink:href chain their
// attributes (and stops or children) come from, the reading of their units
// and transform attributes, and painting with a cairo source. Setting up runs
// on the loading thread, painting on any thread that draws.
#pragma once

#include <cairo.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/attribute_reader.h"
#include "model/elem.h"
#include "render/canvas.h"
#include "values/number.h"

namespace svg {

class CPreparer;

bool SetUpGradient(CElemGradient& gradient, CPreparer& preparer);
bool SetUpPattern(CElemPattern& pattern, CPreparer& preparer);

// Fills (or, with isStroke, strokes with the pen of) one path item of
// `shape` with `server`; the shape gives the fill or stroke style and its
// bounding box. True when the server has painted, which may mean painting
// nothing (a gradient without stops). False when it cannot paint this item
// (objectBoundingBox units on a box without width or height, or no paint
// server at all): the shape then uses its fallback colour. `boxOwner`, when
// given, is the element whose bounding box objectBoundingBox units refer to
// (a tspan paints in the box of its `text`).
bool PaintPath(const CElem& server, CCanvas& canvas, const CGraphicsPath& path, const CElem& shape, bool isStroke,
               const RenderArgs& args, const CElem* boxOwner = nullptr);
bool PaintWithGradient(const CElemGradient& gradient, CCanvas& canvas, const CGraphicsPath& path,
                       const CElem& shape, bool isStroke, const CElem* boxOwner = nullptr);
bool PaintWithPattern(const CElemPattern& pattern, CCanvas& canvas, const CGraphicsPath& path, const CElem& shape,
                      bool isStroke, const RenderArgs& args, const CElem* boxOwner = nullptr);

// `server` followed by the elements its xlink:href chain leads to. The chain
// ends at a missing target, at an element of another kind (gradients of both
// kinds count as one), where it loops back, or at the chain length bound.
// Each server reports only the faults of its own link and the loops that
// return to it, so a fault is reported once however many chains pass it.
// Targets are prepared on the way.
std::vector<CElem*> HrefChain(CElem& server, CPreparer& preparer);

// The first value of `name` along `chain`; with `sameNameOnly`, only elements
// named like the chain's first count (a radial gradient takes no cx from a
// linear one).
const std::string* AttributeAlong(const std::vector<CElem*>& chain, AttributeId name, bool sameNameOnly = false);

// A units attribute along the chain; `absent` when missing; an unknown value
// is reported against `server` and gives `absent`.
Units ReadUnits(const CElem& server, const std::vector<CElem*>& chain, AttributeId name, Units absent,
                CPreparer& preparer);

// A transform attribute along the chain; identity when missing, and after
// its message when unreadable.
Matrix ReadTransformAlong(const CElem& server, const std::vector<CElem*>& chain, AttributeId name,
                          CPreparer& preparer);

// A length attribute along the chain in a server's units. In
// objectBoundingBox units a fraction of the box: a percentage divided by
// 100; in userSpaceOnUse units a length resolved against `server`'s
// viewport. `text` is null when the attribute is missing; `value` is null
// when it is missing or unreadable, which is reported against `server`.
LengthAttribute ReadLengthAlong(const CElem& server, const std::vector<CElem*>& chain, AttributeId name,
                                Units units, PercentRule rule, CPreparer& preparer, bool sameNameOnly = false);
double ResolveInUnits(const CElem& server, Units units, const Number& number, PercentRule rule,
                      const CPreparer& preparer);

// A number or a percentage (divided by 100) and nothing else, as stop
// offsets and opacities are written; null otherwise.
std::optional<double> ReadFraction(std::string_view text);

// The inverse, or null when `m` is singular or not finite.
std::optional<Matrix> Invert(const Matrix& m);

// The matrix that maps the unit square onto `box`.
Matrix BoxMatrix(const RectF& box);

// Fills `item` with its fill rule, or strokes it with the style's pen
// (width, caps, joins, miter limit and dashes), using `source` faded by
// `alpha`. The canvas state is left as it was.
void PaintWithSource(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style, bool isStroke,
                     cairo_pattern_t* source, double alpha);

}  // namespace svg
