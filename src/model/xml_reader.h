// Reads a document's XML into a libxml2 tree in one streaming pass: every
// element gets its source position as the attribute VexoLoc="line,column"
// (1-based, the column in UTF-16 code units), `style` and stylesheet `link`
// elements and `xml-stylesheet` instructions are taken out into a list of
// style sheets, comments and other instructions are dropped. XSLT style
// sheets are applied here; the style layer decides the order and applies
// CSS. No external entity, DTD or network resource is ever read, and
// document-supplied XSLT can neither write files nor reach the network; the
// files it reads are confined like every file a document names. Elements
// nested too deeply and entity expansions past their bounds end a parse
// with a message saying so (base/limits.h).
// Problems go to the log given; each call may run on any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <libxml/tree.h>

namespace svg {

class CLoadContext;
class CMessageLog;
class CStopToken;

struct StyleSheetRecord {
    std::string href;
    std::string content;  // embedded sheet text, XML-escaped
    std::string type = "text/css";
    std::string charset = "utf-8";
    std::string media = "all";
    std::string alternate;
    std::string title;
    // Where the instruction or element was written (1-based; 0 unknown).
    int line = 0;
    int column = 0;
};

// Owns a libxml2 document.
struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

struct XmlReadResult {
    XmlDocPtr document;                      // null when the XML could not be read
    std::vector<StyleSheetRecord> styleSheets;  // as collected, in document order
    // The elements went to the stream; the document is the root alone.
    bool streamed = false;
};

// The attributes of a start tag as the parser reports them, defaults from
// the DTD left out: five pointers each (local name, prefix, namespace URI,
// start and end of the value, entities already replaced).
struct XmlStartTagAttributes {
    const xmlChar** entries = nullptr;
    int count = 0;

    // The attribute's name as QualifiedName spells it for an xmlAttr.
    std::string Name(int index) const;
    std::string_view Value(int index) const;
};

// Receives a document's elements while it is parsed, so that the caller can
// build its own tree from them and the XML tree never holds more than the
// open elements. Only used for documents without style sheets: those need
// the whole XML tree to cascade into.
class CXmlElementStream {
public:
    virtual ~CXmlElementStream() = default;
    // `node` has just been made; it has no content yet. Its attributes are
    // those of the start tag: only the root's node carries them, and
    // VexoLoc for its start tag at `line`, `column`, which spares every
    // other element a node per attribute and its value.
    virtual void ElementStarted(xmlNode* node, const XmlStartTagAttributes& attributes, int line, int column) = 0;
    // The character data, entity references and comments under `parent`
    // read so far: the receiver unlinks and frees them.
    virtual void TakeContent(xmlNode* parent) = 0;
    // The end tag of `node` was read and its content taken. Every element
    // but the root is freed right after.
    virtual void ElementEnded(xmlNode* node) = 0;
    // What was received is void: the document turned out to need the whole
    // XML tree and is read again without the stream.
    virtual void Abandon() = 0;
};

// Parses `bytes` (any supported encoding) and collects the style sheets.
// Parser problems are reported as located messages; the document is null
// when it cannot be read or the load was stopped. With a `stream`, a
// document that can hold no style sheet hands its elements to it as they
// are read and comes back as a root element without content.
XmlReadResult PreprocessXml(std::string_view bytes, const std::string& fullPath, CMessageLog& log,
                            const CStopToken& stop, CXmlElementStream* stream = nullptr);

// False when no `style` element, stylesheet link or xml-stylesheet
// instruction can occur in the UTF-8 `text` (a cheap, conservative scan).
bool MayHoldStyleSheets(std::string_view text);

// Parses XML text (already UTF-8 or with its own declaration) into a tree with
// the same safety settings and no location attributes; reports
// "E line(column) : reason" on failure.
XmlDocPtr ParseXmlText(std::string_view text, const std::string& url, CMessageLog& log);
// The same for a style-sheet file, whose failure is reported as "E reason".
XmlDocPtr ParseXmlSheet(std::string_view text, const std::string& url, CMessageLog& log);

// Transforms `document` by the XSLT sheet `styleDoc`; the result re-parsed,
// or null after reporting the processor's errors. The files the sheet reads
// (xsl:import, xsl:include, document()) are read for `load`, confined to its
// folders (model/resource_file.h). A transform that runs too many steps or
// nests templates too deeply ends with a message saying so; one whose load
// is stopped ends at the next instruction, silently. A file the sheet may not
// read is reported at `line` and `column`, where the document names the sheet.
XmlDocPtr TransformXml(xmlDoc* document, XmlDocPtr styleDoc, CLoadContext& load, int line, int column);

// The value of pseudo-attribute `name` in the data of an xml-stylesheet
// instruction; empty when it is absent.
std::string PseudoAttribute(std::string_view data, std::string_view name);

// Replaces the five predefined entity references by their characters in one
// pass (so "&amp;lt;" becomes "&lt;").
std::string UnescapeXml(std::string_view text);

// Installs the process-wide libxml2 safety settings (entity loader that
// refuses external resources, counted allocation). Idempotent. The XSLT
// security preferences are set when the first style sheet is applied.
void InitXmlSafety();

// Qualified names as written: "prefix:local", except that elements of the SVG
// namespace go by their local name whatever prefix they carry. Attributes in
// the XLink and XML namespaces always carry the prefixes "xlink:" and "xml:".
std::string QualifiedName(const xmlNode* node);
std::string QualifiedName(const xmlAttr* attribute);

}  // namespace svg
