// Reading typed values from an element's attributes, with the one message
// for a value that cannot be used: "E <element> <attribute>="<text>"
// :Invalid value", located at the element. Lengths resolve in the element's
// own context (its viewport, font size and x-height) at the load's
// resolution.
#pragma once

#include <optional>
#include <string>

#include "model/attribute_names.h"
#include "values/number.h"
#include "values/rect.h"
#include "values/syntax.h"

namespace svg {

class CElem;
class CLoadContext;

void ReportInvalidValue(const CElem& elem, AttributeId attribute, const std::string& text,
                        const CLoadContext& context);

// The lengths of `elem` at the load's resolution.
LengthContext LengthsOf(const CElem& elem, const CLoadContext& context);

// A length attribute as written ("inherit" takes the parent's): `text` is
// null when it is missing, `value` null when it is not one length ("10abc"
// is none). Nothing is reported: for callers with messages of their own.
struct LengthAttribute {
    const std::string* text = nullptr;
    std::optional<double> value;
};
LengthAttribute ReadLengthValue(const CElem& elem, AttributeId attribute, PercentRule rule,
                                const CLoadContext& context);

// A length attribute in user units ("inherit" takes the parent's). Null when
// it is missing, or unreadable, which is reported.
std::optional<double> ReadLengthAttribute(const CElem& elem, AttributeId attribute, PercentRule rule,
                                          const CLoadContext& context);

// preserveAspectRatio: the default (xMidYMid meet) when missing, and after
// its message when unreadable.
AspectRatio ReadAspectRatioAttribute(const CElem& elem, const CLoadContext& context);

// The element's own viewBox: null when it is missing or has fewer than four
// numbers; a count other than four is reported.
std::optional<RectF> ReadViewBoxAttribute(const CElem& elem, const CLoadContext& context);

}  // namespace svg
