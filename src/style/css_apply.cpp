#include "style/css_apply.h"

namespace Xmlpp {

void ApplyCssStyleSheet(xmlDoc* document, std::string_view cssText, const std::string& sheetPath,
                        const std::string& media, CssLoadContext& context)
{
    // The CSS parser and cascade are not built yet: sheets are collected and
    // handed here, and contribute nothing to the picture so far.
    (void)document;
    (void)cssText;
    (void)sheetPath;
    (void)media;
    (void)context;
}

}  // namespace Xmlpp
