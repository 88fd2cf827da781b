// Property resolution: turns an element's specified values into the resolved
// fields of ResolvedProperties, once, before the element is set up. Resolving
// the references of mask, filter, clip-path, fill and stroke may load the
// documents they name. Runs on the loading thread; bad values are reported
// with the element's location and the starting or initial value stays.
#pragma once

namespace svg {

class CElem;
class CLoadContext;

// Resolves `elem`'s properties from its specified values and its parent's
// resolved ones (the parent is resolved first).
void ResolveProperties(CElem& elem, CLoadContext& context);

}  // namespace svg
