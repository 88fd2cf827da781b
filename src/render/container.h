// Containers, viewports and `use`: what CElemContainer's Setup, Draw and
// HitTest share with the other elements that establish a viewport (image,
// pattern, marker) and with `use` instantiation. All of it runs on the thread
// that prepares or renders the document; problems are reported as located
// messages and never stop the load.
#pragma once

#include <optional>
#include <string_view>

#include "model/elem.h"
#include "values/matrix.h"
#include "values/number.h"
#include "values/rect.h"

namespace svg {

// A length attribute of `elem` in user units ("inherit" takes the parent's).
// Null when it is missing, or unreadable, which is reported as
// "E <name> <attribute>="<text>" :Invalid value at <line>(<column>)".
std::optional<double> ReadLengthAttribute(const CElem& elem, std::string_view name, PercentRule rule);
// The same message for a value that reads but is out of range.
void ReportInvalidValue(const CElem& elem, std::string_view name, const std::string& text);

// The matrix that maps `viewBox` into `viewportRect` under preserveAspectRatio
// `align` (0 none, 1..9 xMinYMin..xMaxYMax) and `slice` (else meet); identity
// when either rectangle has no width or height.
Matrix ViewBoxToViewport(const RectF& viewportRect, const RectF& viewBox, int align, bool slice);

// Reads the `clip` property, rect(top, right, bottom, left) with `auto`
// allowed, into elem.clipRect. The offsets are taken from the top and left
// edges of the viewport and the rectangle is stored in the user space the
// content is drawn in, so call it once elem.region (the viewport in the
// parent's user space), elem.viewport and elem.viewBoxMatrix are set.
void ReadClipProperty(CElemContainer& elem);

// `use` (its Setup): clones the target named by xlink:href as the only child
// of the `use`, appends x and y to the use's transform and prepares the
// instance in its new place. Cycles, and instances beyond the bounds of
// limits.h, are reported and leave the `use` empty. False only when preparing
// the instance was stopped or failed.
bool InstantiateUse(CElemContainer& use);

// Gives the tree under `root` a fresh instance budget; called when a document
// root is set up, before any `use` in it.
void ResetUseInstanceBudget(const CElem& root);

}  // namespace svg
