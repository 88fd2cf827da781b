// `use` instantiation. The target is deep-copied as the only child of the
// `use` and the copy is prepared in its new place, so it inherits properties
// from the `use` and resolves percentages against the use's viewport.
//
// Preparation state alone cannot see cycles through instances, because every
// copy is prepared afresh: two groups that use each other, used once more from
// outside, would copy each other without end. So the target must be neither
// an ancestor of the `use` nor the original of one. The rest is bounded by
// limits.h: instances nest at most kMaxUseNesting deep, the tree they build
// stays within kMaxElementDepth levels, and each document may clone at most
// kMaxUseInstanceElements elements; a `use` past a bound draws nothing.
#include <algorithm>
#include <memory>
#include <string>

#include "base/limits.h"
#include "model/document.h"
#include "model/messages.h"
#include "render/container.h"
#include "render/prepare.h"

namespace svg {
namespace {

// Instances are counted per document: what its uses have cloned, and the
// uses already told that the budget ran out.
CElemDocument* BudgetOwner(CElem& use)
{
    CElem* root = &use;
    while (root->Parent() != nullptr)
        root = root->Parent();
    return root->Class() == ElemClass::Document ? static_cast<CElemDocument*>(root) : nullptr;
}

std::size_t ElementsLeft(CElem& use)
{
    const CElemDocument* document = BudgetOwner(use);
    const std::size_t spent = document != nullptr ? document->clonedElements : 0;
    return limits::kMaxUseInstanceElements - std::min(spent, limits::kMaxUseInstanceElements);
}

void Spend(CElem& use, std::size_t elements)
{
    if (CElemDocument* document = BudgetOwner(use))
        document->clonedElements += elements;
}

const CElem* Original(const CElem& elem) { return elem.instanceSource != nullptr ? elem.instanceSource : &elem; }

void ReportTooManyInstances(CElem& use, const std::string& href, CPreparer& preparer)
{
    CElemDocument* document = BudgetOwner(use);
    if (document != nullptr && !document->instanceLimitReported.insert(Original(use)).second)
        return;
    preparer.Log().Report(use, msg::kUseTooManyInstances, href.c_str());
}

bool ClosesCycle(const CElem& use, const CElem& target)
{
    const CElem* original = Original(target);
    for (const CElem* elem = &use; elem != nullptr; elem = elem->Parent())
        if (Original(*elem) == original)
            return true;
    return false;
}

unsigned Depth(const CElem& elem)
{
    unsigned depth = 0;
    for (const CElem* parent = elem.Parent(); parent != nullptr; parent = parent->Parent())
        ++depth;
    return depth;
}

unsigned EnclosingUses(const CElem& elem)
{
    unsigned uses = 0;
    for (const CElem* parent = elem.Parent(); parent != nullptr; parent = parent->Parent())
        uses += parent->Id() == ElementId::use ? 1 : 0;
    return uses;
}

// One element copied without its children: class by name, attributes (with
// their flags and previous values), id, source location and text.
std::unique_ptr<CElem> CopyNode(const CElem& source, CElem* parent)
{
    std::unique_ptr<CElem> copy;
    if (source.Class() == ElemClass::String)
        copy = std::make_unique<CElemString>(parent, static_cast<const CElemString&>(source).text);
    else if (source.Class() == ElemClass::Comment)
        copy = std::make_unique<CElemComment>(parent, static_cast<const CElemComment&>(source).text);
    else
        copy = CreateElement(source.Name(), parent);
    copy->attributes = source.attributes;
    copy->line = source.line;
    copy->column = source.column;
    copy->instanceSource = Original(source);
    return copy;
}

// Deep copy of `source` under `parent`; null when it would take more than
// `elementsLeft` elements (which counts down) or `levelsLeft` levels.
std::unique_ptr<CElem> CloneTree(const CElem& source, CElem* parent, unsigned levelsLeft, std::size_t& elementsLeft)
{
    if (levelsLeft == 0 || elementsLeft == 0)
        return nullptr;
    --elementsLeft;
    std::unique_ptr<CElem> copy = CopyNode(source, parent);
    // A use's instance is built from its target when the copy is set up;
    // copying the instance as well would make two.
    if (source.Id() == ElementId::use)
        return copy;
    for (const CElem* child : source.Children()) {
        std::unique_ptr<CElem> childCopy = CloneTree(*child, copy.get(), levelsLeft - 1, elementsLeft);
        if (!childCopy)
            return nullptr;
        copy->AppendChild(std::move(childCopy));
    }
    return copy;
}

// The instance of `target` for `use`, or null when a bound of limits.h stops it.
std::unique_ptr<CElem> Instantiate(CElemContainer& use, const CElem& target)
{
    const unsigned depth = Depth(use) + 1;
    if (EnclosingUses(use) >= limits::kMaxUseNesting || depth >= limits::kMaxElementDepth)
        return nullptr;
    const std::size_t budget = ElementsLeft(use);
    std::size_t elementsLeft = budget;
    std::unique_ptr<CElem> copy = CloneTree(target, &use, limits::kMaxElementDepth - depth, elementsLeft);
    // A copy cut short still cost what it copied; when the budget ran out,
    // the document's later uses fail at once instead of copying again.
    Spend(use, budget - elementsLeft);
    return copy;
}

// x and y apply before the use's own transform.
void AppendPosition(CElemContainer& use, CPreparer& preparer)
{
    const double x = preparer.ReadLength(use, AttributeId::x, PercentRule::HorizontalPosition).value_or(0);
    const double y = preparer.ReadLength(use, AttributeId::y, PercentRule::VerticalPosition).value_or(0);
    use.props.transform.Prepend(Matrix::Translate(x, y));
}

// A used svg or symbol is drawn, at the use's width and height. Without
// them a symbol fills the use's viewport and an svg keeps its own size.
void SizeFromUse(const CElem& use, CElem& copy)
{
    copy.graphicsElement = true;
    for (const AttributeId name : {AttributeId::width, AttributeId::height}) {
        if (const std::string* size = use.GetAttribute(name, false))
            copy.attributes.Set(name, *size);
        else if (copy.Id() == ElementId::symbol)
            copy.attributes.Set(name, "100%");
    }
}

}  // namespace

bool InstantiateUse(CElemContainer& use, CPreparer& preparer)
{
    AppendPosition(use, preparer);
    const std::string* href = use.GetAttribute(AttributeId::xlink_href, false);
    if (href == nullptr)
        return true;
    const CElem* target = preparer.FindReference(use, *href);
    if (target == nullptr) {
        preparer.Log().Report(use, msg::kUseNotFound, href->c_str());
        return true;
    }
    if (target->prepState == PrepState::BeingPrepared || ClosesCycle(use, *target)) {
        preparer.Log().Report(use, msg::kUseCycle, href->c_str());
        return true;
    }
    std::unique_ptr<CElem> instance = Instantiate(use, *target);
    if (!instance) {
        ReportTooManyInstances(use, *href, preparer);
        return true;
    }
    CElem& copy = *use.AppendChild(std::move(instance));
    if (copy.Id() == ElementId::symbol || copy.Id() == ElementId::svg)
        SizeFromUse(use, copy);

    // A clipping path is made of shapes and text only.
    const bool illegalInClipPath =
        use.Parent() != nullptr && use.Parent()->Class() == ElemClass::ClipPath && !copy.IsA(ElemClass::Shape);
    if (illegalInClipPath)
        preparer.Log().Report(use, msg::kIllegalClipUseChild, copy.Name().c_str());
    const bool prepared = preparer.Prepare(copy);
    // After preparing, which resolves display afresh.
    if (illegalInClipPath)
        copy.props.display = Display::None;
    return prepared;
}

}  // namespace svg
