// Preparing a tree for drawing. Every element gets its properties resolved
// (the style layer), then its class reads its attributes into its typed
// fields and builds what its drawing needs: geometry, use instances, text
// layout, filter parameters, pictures; references are followed with cycle
// detection, other documents loaded on the way. Then ComputeBounds fills in
// the object bounds. Preparing runs on the loading thread; once a tree is
// prepared nothing in it changes and any thread may draw it.
//
// An element met again while it is still being prepared closes a reference
// cycle: the reference is reported and not followed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "model/attribute_names.h"
#include "model/attribute_reader.h"
#include "model/elem.h"
#include "model/load_context.h"

namespace svg {

class CFontContext;

class CPreparer {
public:
    CPreparer(CLoadContext& context, CFontContext& fonts) : context_(context), fonts_(fonts) {}
    CPreparer(const CPreparer&) = delete;
    CPreparer& operator=(const CPreparer&) = delete;

    // Prepares `elem` and its subtree, once. False when the load was stopped,
    // a class's set-up gave up, or the element is being prepared already.
    bool Prepare(CElem& elem);

    // FindReference in the load's documents, loading the file a reference
    // names; nothing is reported.
    CElem* FindReference(const CElem& from, std::string_view reference);
    // Follows xlink:href to an element of the same name, prepared, with the
    // located messages for a missing target, a cycle and a target of
    // another name, each said once per element however often the chain is
    // read. Null when there is no usable target.
    CElem* FollowHref(CElem& elem);
    // GetAttribute, then the same along the element's xlink:href chain
    // (masks take their region from the mask they reference).
    const std::string* GetAttributeVia(CElem& elem, AttributeId attribute, bool inherited);

    CLoadContext& Context() const { return context_; }
    CMessageLog& Log() const { return context_.Log(); }
    CFontContext& Fonts() const { return fonts_; }
    LengthContext Lengths(const CElem& elem) const { return LengthsOf(elem, context_); }
    std::optional<double> ReadLength(const CElem& elem, AttributeId attribute, PercentRule rule) const
    {
        return ReadLengthAttribute(elem, attribute, rule, context_);
    }
    void ReportInvalid(const CElem& elem, AttributeId attribute, const std::string& text) const
    {
        ReportInvalidValue(elem, attribute, text, context_);
    }

private:
    bool SetUp(CElem& elem);

    CLoadContext& context_;
    CFontContext& fonts_;
    // How deeply preparations nest through references.
    unsigned nesting_ = 0;
    // Elements whose unusable xlink:href has been reported.
    std::unordered_set<const CElem*> hrefReported_;
};

// Computes elem.bboxUser, elem.bboxParent and elem.readsBackground for the
// element and its subtree (once; later calls return at once).
void ComputeBounds(CElem& elem);

}  // namespace svg
