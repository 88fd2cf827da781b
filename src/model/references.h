// Finding the element a reference names: "url(file#id)", "file#id" or
// "#id". A same-document reference searches the tree the referring element
// was written in (a `use` instance resolves where its source was written).
// A reference into another file loads that file, once per load, through the
// load context's document source.
#pragma once

#include <string>
#include <string_view>

namespace svg {

class CElem;
class CLoadContext;
class DocumentList;

// Null when nothing is found; nothing is reported here.
CElem* FindReference(const CElem& from, std::string_view reference, CLoadContext& context);

// The same among the documents already loaded, never loading one: for
// readers once the load has ended (drawing, the user interface).
const CElem* FindLoadedReference(const CElem& from, std::string_view reference, const DocumentList& documents);

// Whether an xlink:href from `from` may name `target`: an element of the
// same name, or for gradients either gradient kind.
bool IsSameKind(const CElem& from, const CElem& target);

// Absolute, lexically normalised form of `path` relative to `baseDirectory`
// (or the current directory when it is empty).
std::string MakeFullPath(std::string_view path, std::string_view baseDirectory);

}  // namespace svg
