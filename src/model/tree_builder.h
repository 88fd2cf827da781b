// Builds the element tree from a libxml2 document tree: one CElem per element
// (chosen by CreateElement), "#string" nodes for character data, "#comment"
// nodes for comments, entity references spliced into their parent. Attribute
// maps are filled from the element's attributes; the `style` attribute and
// the `font` shorthand are expanded into single properties by the reader the
// style layer supplies. Runs on the loading thread; problems are reported as
// located messages and nothing here fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <libxml/tree.h>

#include "model/elem.h"
#include "model/xml_reader.h"

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

// Builds the element tree while the XML is parsed (PreprocessXml with a
// stream): each element is made when its start tag is read, character data
// when the next tag is, and the XML nodes are freed as they are built, so
// the XML tree never holds more than the open elements. The result is the
// tree BuildTreeReleasing makes.
class CStreamedTreeBuilder final : public CXmlElementStream {
public:
    CStreamedTreeBuilder(CElem& root, const CStyleAttributeReader& styles, CLoadContext& context);
    ~CStreamedTreeBuilder() override;

    void ElementStarted(xmlNode* node, const XmlStartTagAttributes& attributes, int line, int column) override;
    void TakeContent(xmlNode* parent) override;
    void ElementEnded(xmlNode* node) override;
    void Abandon() override { abandoned_ = true; }

    // The root was read and nothing was abandoned.
    bool Built() const { return started_ && !abandoned_; }

private:
    CElem& root_;
    const CStyleAttributeReader& styles_;
    CLoadContext& context_;
    // The open elements, the root first.
    std::vector<CElem*> open_;
    bool started_ = false;
    bool abandoned_ = false;
};

// Fills elem.attributes from the attributes of `node` in two passes: first
// everything except `style` and `font` (VexoLoc also sets line and column),
// then `font` and `style`, whose properties override what the first pass
// stored. A `location` (line, column) is stored as VexoLoc after the node's own attributes, as
// the reader would have added it.
void ReadAttributes(CElem& elem, const xmlNode* node, const CStyleAttributeReader& styles,
                    std::optional<std::pair<int, int>> location = std::nullopt);
// The same from a start tag's attributes, with its location.
void ReadAttributes(CElem& elem, const XmlStartTagAttributes& attributes, const CStyleAttributeReader& styles,
                    std::pair<int, int> location);

// Character data outside `text`: line feeds dropped, runs of blanks and tabs
// collapsed to one blank, leading and trailing blanks removed.
std::string NormalizeStringText(std::string_view text);

}  // namespace svg
