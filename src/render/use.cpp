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
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "model/document.h"
#include "model/limits.h"
#include "model/message_log.h"
#include "render/container.h"

namespace svg {
namespace {

// Elements cloned so far in one document's tree, and the uses already told
// that a bound was reached (by their original, so that copies of a `use`
// inside further instances do not repeat the message).
struct InstanceBudget {
    std::size_t clonedElements = 0;
    std::unordered_set<const CElem*> reported;
};

// By tree root. Documents are set up on the loading thread, but the part view
// may prepare elements of a loaded document on its own thread.
std::mutex budgetsMutex;
std::unordered_map<const CElem*, InstanceBudget> budgets;

const CElem* TreeRoot(const CElem& elem)
{
    const CElem* root = &elem;
    while (root->Parent() != nullptr)
        root = root->Parent();
    return root;
}

bool IsLoadedDocument(const CElem* root)
{
    const DocumentList& documents = DocumentList::Instance();
    for (std::size_t i = 0; i < documents.Size(); ++i)
        if (documents.At(i) == root)
            return true;
    return false;
}

std::size_t ElementsLeft(const CElem& use)
{
    const std::lock_guard lock(budgetsMutex);
    const InstanceBudget& budget = budgets[TreeRoot(use)];
    return limits::kMaxUseInstanceElements - std::min(budget.clonedElements, limits::kMaxUseInstanceElements);
}

void Spend(const CElem& use, std::size_t elements)
{
    const std::lock_guard lock(budgetsMutex);
    budgets[TreeRoot(use)].clonedElements += elements;
}

CElem* Original(CElem& elem) { return elem.instanceSource != nullptr ? elem.instanceSource : &elem; }

void ReportTooManyInstances(CElem& use, const std::string& href)
{
    {
        const std::lock_guard lock(budgetsMutex);
        if (!budgets[TreeRoot(use)].reported.insert(Original(use)).second)
            return;
    }
    ReportMessage("E use xlink:href=\"%s\" :Too many instances at %d(%d)", href.c_str(), use.line, use.column);
}

bool ClosesCycle(CElem& use, CElem& target)
{
    const CElem* original = Original(target);
    for (CElem* elem = &use; elem != nullptr; elem = elem->Parent())
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
std::unique_ptr<CElem> CopyNode(CElem& source, CElem* parent)
{
    std::unique_ptr<CElem> copy;
    if (source.Class() == ElemClass::String)
        copy = std::make_unique<CElemString>(parent, static_cast<const CElemString&>(source).text);
    else if (source.Class() == ElemClass::Comment)
        copy = std::make_unique<CElemComment>(parent, static_cast<const CElemComment&>(source).text);
    else
        copy = CreateElement(source.Name(), parent);
    copy->attributes = source.attributes;
    copy->id = source.id;
    copy->line = source.line;
    copy->column = source.column;
    copy->instanceSource = Original(source);
    return copy;
}

// Deep copy of `source` under `parent`; null when it would take more than
// `elementsLeft` elements (which counts down) or `levelsLeft` levels.
std::unique_ptr<CElem> CloneTree(CElem& source, CElem* parent, unsigned levelsLeft, std::size_t& elementsLeft)
{
    if (levelsLeft == 0 || elementsLeft == 0)
        return nullptr;
    --elementsLeft;
    std::unique_ptr<CElem> copy = CopyNode(source, parent);
    // A use's instance is built from its target when the copy is set up;
    // copying the instance as well would make two.
    if (source.Id() == ElementId::use)
        return copy;
    for (CElem* child : source.Children()) {
        std::unique_ptr<CElem> childCopy = CloneTree(*child, copy.get(), levelsLeft - 1, elementsLeft);
        if (!childCopy)
            return nullptr;
        copy->AppendChild(childCopy.release());
    }
    return copy;
}

// The instance of `target` for `use`, or null when a bound of limits.h stops it.
std::unique_ptr<CElem> Instantiate(CElemContainer& use, CElem& target)
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
void AppendPosition(CElemContainer& use)
{
    const double x = ReadLengthAttribute(use, "x", PercentRule::HorizontalPosition).value_or(0);
    const double y = ReadLengthAttribute(use, "y", PercentRule::VerticalPosition).value_or(0);
    use.props.transform.Prepend(Matrix::Translate(x, y));
}

// A used svg or symbol is drawn, at the use's width and height. Without
// them a symbol fills the use's viewport and an svg keeps its own size.
void SizeFromUse(const CElem& use, CElem& copy)
{
    copy.graphicsElement = true;
    for (const char* name : {"width", "height"}) {
        if (const std::string* size = use.GetAttribute(name, false))
            copy.attributes.Set(name, *size);
        else if (copy.Id() == ElementId::symbol)
            copy.attributes.Set(name, "100%");
    }
}

}  // namespace

void ResetUseInstanceBudget(const CElem& root)
{
    const std::lock_guard lock(budgetsMutex);
    // Budgets of documents that are gone would otherwise pile up, and a new
    // tree could inherit one through a reused address.
    std::erase_if(budgets, [&root](const auto& entry) { return entry.first == &root || !IsLoadedDocument(entry.first); });
}

bool InstantiateUse(CElemContainer& use)
{
    AppendPosition(use);
    const std::string* href = use.GetAttribute("xlink:href", false);
    if (href == nullptr)
        return true;
    CElem* target = use.FindReference(*href);
    if (target == nullptr) {
        ReportMessage("E use xlink:href=\"%s\" :Link NOT found at %d(%d)", href->c_str(), use.line, use.column);
        return true;
    }
    if (target->prepState == PrepState::BeingPrepared || ClosesCycle(use, *target)) {
        ReportMessage("F use xlink:href=\"%s\" : Cyclic reference at %d(%d)", href->c_str(), use.line, use.column);
        return true;
    }
    std::unique_ptr<CElem> instance = Instantiate(use, *target);
    if (!instance) {
        ReportTooManyInstances(use, *href);
        return true;
    }
    CElem& copy = *instance;
    use.AppendChild(instance.release());
    if (copy.Id() == ElementId::symbol || copy.Id() == ElementId::svg)
        SizeFromUse(use, copy);

    // A clipping path is made of shapes and text only.
    const bool illegalInClipPath =
        use.Parent() != nullptr && use.Parent()->Class() == ElemClass::ClipPath && !copy.IsA(ElemClass::Shape);
    if (illegalInClipPath)
        ReportMessage("E %s illegal for use of clipPath's child at %d(%d)", copy.Name().c_str(), use.line, use.column);
    const bool prepared = copy.Prepare();
    // After preparing, which resolves display afresh.
    if (illegalInClipPath)
        copy.props.display = Display::None;
    return prepared;
}

}  // namespace svg
