// Where a CSS style sheet meets the document: the rules of `cssText` are
// parsed, matched against the libxml2 tree and their property declarations
// cascaded into it as attributes, before the element tree is built. Called
// once per style sheet, in document order, with one CssLoadContext for the
// whole load; problems are reported as messages and never stop the load.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <libxml/tree.h>

#include "style/cascade.h"
#include "style/css_font_face.h"
#include "style/css_parser.h"

namespace Xmlpp {

// State shared by the style sheets of one load.
struct CssLoadContext {
    CImportState imports;
    CImportantProperties importantProperties;
    // The @font-face rules of every sheet; handed to the loaded document.
    std::shared_ptr<CCssFontPool> fontFaces = std::make_shared<CCssFontPool>();

    // The tree was replaced (by an XSLT result): what was known about its
    // elements no longer applies.
    void DocumentReplaced() { importantProperties.Clear(); }
};

// `sheetPath` is the sheet's own file (the document's for embedded sheets);
// relative @import addresses resolve against its directory. `media` empty
// applies every medium.
void ApplyCssStyleSheet(xmlDoc* document, std::string_view cssText, const std::string& sheetPath,
                        const std::string& media, CssLoadContext& context);

}  // namespace Xmlpp
