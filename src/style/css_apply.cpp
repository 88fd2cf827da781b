#include "style/css_apply.h"

namespace Xmlpp {

void ApplyCssStyleSheet(xmlDoc* document, std::string_view cssText, const std::string& sheetPath,
                        const std::string& media, CssLoadContext& context)
{
    CRulesets rulesets;
    if (parseSheet(cssText, sheetPath, media, context.fontFaces.get(), context.imports, rulesets))
        applySheet(rulesets, document, context.importantProperties);
}

}  // namespace Xmlpp
