// Selector matching and the cascade of one parsed style sheet into a libxml2
// document: every element is matched against the rulesets and the winning
// property declarations are written into it as attributes (replacing
// presentation attributes and what earlier sheets wrote), before the element
// tree is built; the `style` attribute, read later, still beats them all.
// Names compare as qualified names ("prefix:local"), with regard to case.
// Cost: one pass over the elements, each matched only against the rulesets
// whose subject could fit its id, classes or name, without allocating per
// match. Runs on the loading thread; stops between elements and rulesets when
// the stop token is set, keeping what was written.
#pragma once

#include <cstdint>
#include <unordered_map>

#include <libxml/tree.h>

#include "style/css_parser.h"

namespace svg::css {

// The properties of each element that an important declaration set, over all
// the sheets of one load: a later sheet's normal declaration must not replace
// them. Keyed by node, so it must be cleared when the tree is replaced.
class CImportantProperties {
public:
    bool Has(const xmlNode* element, int property) const;
    void Set(const xmlNode* element, int property);
    void Clear() { bits_.clear(); }

private:
    static_assert(kCssPropertyCount <= 64, "one bit per property");
    std::unordered_map<const xmlNode*, std::uint64_t> bits_;
};

// Cascades `rulesets` (sorted by specificity) into the elements of `document`
// in document order.
void applySheet(const CRulesets& rulesets, xmlDoc* document, CImportantProperties& important, const CStopToken& stop);

bool matchCompound(const xmlNode* element, const CSimpleSelector& compound);
// Matches from the subject (the last compound) leftwards; for a descendant
// junction the nearest ancestor that matches is taken.
bool matchSelector(const xmlNode* element, const CSelector& selector);

}  // namespace svg::css
