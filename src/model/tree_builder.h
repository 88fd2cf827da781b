// Builds the element tree from a libxml2 document tree: one CElem per element
// (chosen by CreateElement), "#string" nodes for character data, "#comment"
// nodes for comments, entity references spliced into their parent. Attribute
// maps are filled from the element's attributes; the `style` attribute and
// the `font` shorthand are expanded into single properties by the reader the
// style layer supplies. Runs on the loading thread; problems are reported as
// located messages and nothing here fails.
#pragma once

#include <string>
#include <string_view>

#include <libxml/tree.h>

#include "model/elem.h"

namespace svg {

class CLoadContext;

// Expands CSS declarations into single properties of an attribute map.
class CStyleAttributeReader {
public:
    virtual ~CStyleAttributeReader() = default;
    // The declarations of a `style` attribute ("name: value; ...").
    virtual void ReadStyle(std::string_view style, CAttributeMap& attributes) const = 0;
    // The `font` shorthand; an invalid one stores nothing.
    virtual void ReadFont(std::string_view font, CAttributeMap& attributes) const = 0;
};

// Fills `root` (made for the libxml2 root element `rootNode`) with its
// attributes and its subtree, in document order, until the load is stopped.
// Whitespace-only text is kept only inside a `text` element; elements deeper
// than limits::kMaxElementDepth are dropped with one located message.
void BuildTree(CElem& root, const xmlNode* rootNode, const CStyleAttributeReader& styles, CLoadContext& context);
// The same, freeing each node of `rootNode`'s subtree as soon as it is built,
// so that the XML tree and the element tree never take their full memory at
// once. `rootNode` itself is kept and is left without children (those of a
// stopped build stay); entity declarations are not touched.
void BuildTreeReleasing(CElem& root, xmlNode* rootNode, const CStyleAttributeReader& styles, CLoadContext& context);

// Fills elem.attributes from the attributes of `node` in two passes: first
// everything except `style` and `font` (VexoLoc also sets line and column),
// then `font` and `style`, whose properties override what the first pass
// stored. Finally sets elem.id from `id`, else from `xml:id`.
void ReadAttributes(CElem& elem, const xmlNode* node, const CStyleAttributeReader& styles);

// Character data outside `text`: line feeds dropped, runs of blanks and tabs
// collapsed to one blank, leading and trailing blanks removed.
std::string NormalizeStringText(std::string_view text);

}  // namespace svg
