// Builds the element tree from a libxml2 document tree: one CElem per element
// (chosen by CreateElement), "#string" nodes for character data, "#comment"
// nodes for comments, entity references spliced into their parent. Attribute
// maps are filled from the element's attributes, with the `style` attribute
// and the `font` shorthand expanded into single properties. Runs on the
// loading thread; the built nodes are owned by the element they are appended
// to. Problems are reported as located messages; nothing here fails.
#pragma once

#include <string>
#include <string_view>

#include <libxml/tree.h>

#include "model/elem.h"

namespace svg {

// Builds the children of `elem` from the children of the libxml2 element
// `node`, in document order, until stopLoading is set. Whitespace-only text is
// kept only inside a `text` element. `depth` is the depth of `elem` in the
// tree (0 for the root); children deeper than limits::kMaxElementDepth are
// dropped with one located message.
void BuildChildren(CElem& elem, const xmlNode* node, unsigned depth = 0);

// Fills elem.attributes from the attributes of `node` in two passes: first
// everything except `style` and `font` (VexoLoc also sets line and column),
// then `font` and `style`, whose properties override what the first pass
// stored. Finally sets elem.id from `id`, else from `xml:id`.
void ReadAttributes(CElem& elem, const xmlNode* node);

// Stores the declarations of a `style` attribute ("name: value; ...") in
// `attributes`, names lower-cased. Comments are skipped, quoted text may hold
// ';' and ':', a declaration without a colon or without a name is ignored, and
// a `font` declaration is expanded like the `font` attribute.
void ParseStyleAttribute(std::string_view style, CAttributeMap& attributes);

// Expands the `font` shorthand (or a system-font keyword such as `caption`)
// into font-style, font-weight, font-variant, font-size and font-family.
// Returns true when the five properties were stored; an invalid shorthand
// stores nothing.
bool ParseFontAttribute(std::string_view value, CAttributeMap& attributes);

// Character data outside `text`: line feeds dropped, runs of blanks and tabs
// collapsed to one blank, leading and trailing blanks removed.
std::string NormalizeStringText(std::string_view text);

// Replaces the font a system-font keyword (`caption`, `icon`, `menu`,
// `message-box`, `small-caption`, `status-bar`) stands for. Without a desktop
// the keywords mean sans-serif at 12 px (11 px for the small ones); the shell
// calls this at start-up, before the first load, with the desktop's fonts.
// Returns false for an unknown keyword.
bool SetSystemFont(std::string_view keyword, std::string family, int sizePx, bool bold, bool italic);

}  // namespace svg
