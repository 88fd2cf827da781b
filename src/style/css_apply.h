// Where a parsed CSS style sheet meets the document: the rules of `cssText`
// are matched against the libxml2 tree and their declarations cascaded into
// it as attributes, before the element tree is built. Called once per style
// sheet, in document order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <libxml/tree.h>

namespace Xmlpp {

// State shared by the style sheets of one load.
struct CssLoadContext {
    // Sheets being loaded, outermost first: an @import of a sheet already in
    // the chain is a cycle.
    std::vector<std::string> importChain;
};

// `sheetPath` is the sheet's own file (the document's for embedded sheets);
// relative @import and url() values resolve against its directory.
void ApplyCssStyleSheet(xmlDoc* document, std::string_view cssText, const std::string& sheetPath,
                        const std::string& media, CssLoadContext& context);

}  // namespace Xmlpp
