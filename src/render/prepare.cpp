#include "render/prepare.h"

#include <algorithm>
#include <vector>

#include "base/limits.h"
#include "model/conditional.h"
#include "model/messages.h"
#include "model/references.h"
#include "render/clip_path.h"
#include "render/color_profile.h"
#include "render/container.h"
#include "render/filter_effect.h"
#include "render/image.h"
#include "render/marker.h"
#include "render/mask.h"
#include "render/paint_server.h"
#include "render/render.h"
#include "render/shape.h"
#include "style/resolve.h"
#include "render/text.h"

namespace svg {
namespace {

// Elements whose behaviour Vexo does not have: it says so and draws what
// they contain (an `a`) or nothing.
void ReportUnsupported(const CElem& elem, CMessageLog& log)
{
    switch (elem.Id()) {
    case ElementId::script:
    case ElementId::a:
    case ElementId::animate:
    case ElementId::set:
    case ElementId::animateMotion:
    case ElementId::animateColor:
    case ElementId::animateTransform:
    case ElementId::cursor: log.Report(elem, msg::kNotSupported, elem.Name().c_str()); break;
    default: break;
    }
}

class NestingGuard {
public:
    explicit NestingGuard(unsigned& nesting) : nesting_(nesting) { ++nesting_; }
    ~NestingGuard() { --nesting_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    unsigned& nesting_;
};

}  // namespace

bool CPreparer::SetUp(CElem& elem)
{
    ReportUnsupported(elem, Log());
    switch (elem.Class()) {
    case ElemClass::Container:
    case ElemClass::Document:
    case ElemClass::Glyph:
    case ElemClass::Paint: return SetUpContainer(static_cast<CElemContainer&>(elem), *this);
    case ElemClass::Image: return SetUpImage(static_cast<CElemImage&>(elem), *this);
    case ElemClass::Marker: return SetUpMarker(static_cast<CElemMarker&>(elem), *this);
    case ElemClass::Mask: return SetUpMask(static_cast<CElemMask&>(elem), *this);
    case ElemClass::Gradient: return SetUpGradient(static_cast<CElemGradient&>(elem), *this);
    case ElemClass::Pattern: return SetUpPattern(static_cast<CElemPattern&>(elem), *this);
    case ElemClass::Shape: return SetUpShape(static_cast<CElemShape&>(elem), *this);
    // Text is laid out once its content elements are prepared (Prepare).
    case ElemClass::Text: return true;
    case ElemClass::ClipPath: return SetUpClipPath(static_cast<CElemClipPath&>(elem), *this);
    case ElemClass::Filter: return SetUpFilter(static_cast<CElemFilter&>(elem), *this);
    case ElemClass::FilterPrimitive: return SetUpFilterPrimitive(static_cast<CElemFilterPrimitive&>(elem), *this);
    case ElemClass::ColorProfile: return SetUpColorProfile(static_cast<CElemColorProfile&>(elem), *this);
    case ElemClass::Elem:
    case ElemClass::Font:
    case ElemClass::AltGlyphDef:
    case ElemClass::String:
    case ElemClass::Comment: return true;
    }
    return true;
}

bool CPreparer::Prepare(CElem& elem)
{
    if (context_.StopRequested())
        return false;
    if (elem.prepState == PrepState::Prepared)
        return true;
    // Reached again through a reference cycle that its caller did not check.
    if (elem.prepState == PrepState::BeingPrepared)
        return false;
    // Left unprepared: the tree traversal prepares it later from a shallower level.
    if (nesting_ >= limits::kMaxPrepareNesting) {
        Log().Report(elem, msg::kTooDeeplyNested, elem.Name().c_str());
        return false;
    }
    const NestingGuard nesting(nesting_);

    elem.prepState = PrepState::BeingPrepared;
    ++context_.Progress().elementsPrepared;
    ResolveProperties(elem, context_);
    if (const CElem* parent = elem.Parent()) {
        elem.viewport = parent->viewport;
        elem.region = parent->region;
    }
    if (!SetUp(elem)) {
        elem.prepState = PrepState::Prepared;
        return false;
    }
    EvaluateConditions(elem);
    // A clipping path is made of shapes, text and use only; containers and
    // images inside one are reported.
    std::vector<CElem*> illegalClipChildren;
    if (elem.Class() == ElemClass::ClipPath) {
        for (CElem* child : elem.Children()) {
            if (child->graphicsElement && !child->IsA(ElemClass::Shape) && child->Id() != ElementId::use) {
                Log().Report(*child, msg::kIllegalClipChild, child->Name().c_str());
                illegalClipChildren.push_back(child);
            }
        }
    }
    for (CElem* child : elem.Children()) {
        if (!Prepare(*child)) {
            elem.prepState = PrepState::Prepared;
            return false;
        }
    }
    // After the children resolved their own properties, which would otherwise
    // overwrite it: the clipping path ignores these children.
    for (CElem* child : illegalClipChildren)
        child->props.display = Display::None;
    // Only `text` is laid out; its tspan, tref, textPath and altGlyph content
    // is read from there, with their properties resolved.
    if (elem.Class() == ElemClass::Text)
        FinishText(static_cast<CElemText&>(elem), *this);
    elem.prepState = PrepState::Prepared;
    return true;
}

CElem* CPreparer::FindReference(const CElem& from, std::string_view reference)
{
    return svg::FindReference(from, reference, context_);
}

CElem* CPreparer::FollowHref(CElem& elem)
{
    const std::string* href = elem.GetAttribute(AttributeId::xlink_href, false);
    if (href == nullptr)
        return nullptr;
    CElem* target = FindReference(elem, *href);
    const bool cycle = target != nullptr && target->prepState == PrepState::BeingPrepared;
    if (target != nullptr && !cycle) {
        if (target->prepState == PrepState::NotPrepared && !Prepare(*target))
            return nullptr;
        if (IsSameKind(elem, *target))
            return target;
    }
    // Each attribute read along the chain follows it again; one message is enough.
    if (!hrefReported_.insert(&elem).second)
        return nullptr;
    const char* name = elem.Name().c_str();
    if (target == nullptr)
        Log().Report(elem, msg::kHrefNotFound, name, href->c_str());
    else if (cycle)
        Log().Report(elem, msg::kHrefCycle, name, href->c_str());
    else
        Log().Report(elem, msg::kHrefWrongElement, name, href->c_str(), name);
    return nullptr;
}

const std::string* CPreparer::GetAttributeVia(CElem& start, AttributeId attribute, bool inherited)
{
    // A chain of prepared elements that loops back on itself is not caught by
    // the preparation state; the visited list ends it.
    std::vector<const CElem*> visited;
    for (CElem* elem = &start; elem != nullptr; elem = FollowHref(*elem)) {
        if (std::find(visited.begin(), visited.end(), elem) != visited.end())
            return nullptr;
        if (visited.size() == limits::kMaxHrefChain) {
            Log().Report(start, msg::kHrefChainTooLong, start.Name().c_str());
            return nullptr;
        }
        visited.push_back(elem);
        if (const std::string* value = elem->GetAttribute(attribute, inherited))
            return value;
    }
    return nullptr;
}

}  // namespace svg
