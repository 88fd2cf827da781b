// Where style meets a document before its element tree is built: reading
// the XML with its style sheets applied in document order (CSS cascaded into
// the tree as attributes, XSLT replacing it), and reading `style` attributes
// and the `font` shorthand into single properties while the tree is built.
// Problems are reported to the load's log and never stop the load.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "model/doc_options.h"
#include "model/tree_builder.h"
#include "model/xml_reader.h"
#include "style/cascade.h"
#include "style/css_font_face.h"
#include "style/css_parser.h"

namespace svg {
class CLoadContext;
}

namespace svg::css {

// State shared by the style sheets of one document.
struct CssLoadContext {
    CImportState imports;
    CImportantProperties importantProperties;
    // The @font-face rules of every sheet; handed to the loaded document.
    std::shared_ptr<CCssFontPool> fontFaces = std::make_shared<CCssFontPool>();

    // The tree was replaced (by an XSLT result): what was known about its
    // elements no longer applies.
    void DocumentReplaced() { importantProperties.Clear(); }
};

// Parses `cssText` and cascades it into `document`. `sheetPath` is the sheet's
// own file (the document's for embedded sheets); relative @import addresses
// resolve against its directory. `media` empty applies every medium.
void ApplyCssStyleSheet(xmlDoc* document, std::string_view cssText, const std::string& sheetPath,
                        const std::string& media, CssLoadContext& sheets, CLoadContext& context);

// The whole reading step of a load: the XML of `bytes` with VexoLoc
// locations, then its style sheets for the load's medium. Null when the
// document cannot be read or the load was stopped. A document without style
// sheets goes to `stream` as it is read (see PreprocessXml); `streamed` says
// whether it did.
XmlDocPtr ReadStyledXml(std::string_view bytes, const std::string& fullPath, CssLoadContext& sheets,
                        CLoadContext& context, CXmlElementStream* stream = nullptr, bool* streamed = nullptr);

// Reads `style` attributes with the CSS declaration parser: only properties
// are stored (`style="x: 5"` must not move a shape), the `marker` shorthand
// as its three longhands, `font` through the shorthand below. A style
// attribute reports nothing, as browsers do.
class CStyleDeclarationReader final : public CStyleAttributeReader {
public:
    explicit CStyleDeclarationReader(const DesktopStyle& desktop) : desktop_(desktop) {}
    void ReadStyle(std::string_view style, CAttributeMap& attributes) const override;
    void ReadFont(std::string_view font, CAttributeMap& attributes) const override;

private:
    const DesktopStyle& desktop_;
};

// Expands the `font` shorthand (or a system-font keyword such as `caption`,
// which stands for one of the desktop's fonts) into font-style, font-weight,
// font-variant, font-size and font-family. Returns true when the five
// properties were stored; an invalid shorthand stores nothing.
bool ParseFontShorthand(std::string_view value, const DesktopStyle& desktop, CAttributeMap& attributes);

}  // namespace svg::css
