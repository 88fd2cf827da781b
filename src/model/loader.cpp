#include "model/loader.h"

#include <filesystem>
#include <vector>

#include <libxml/tree.h>

#include "model/file_io.h"
#include "model/inflate.h"
#include "model/limits.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "model/tree_builder.h"
#include "model/xml_reader.h"
#include "render/render.h"
#include "style/css_apply.h"
#include "values/number.h"

namespace svg {

LoadProgress& LoadProgress::Instance()
{
    static LoadProgress progress;
    return progress;
}

void LoadProgress::Reset()
{
    xmlNodes = 0;
    nodesVisited = 0;
    nodesAdded = 0;
    elementsPrepared = 0;
}

std::string MakeFullPath(std::string_view path, std::string_view baseDirectory)
{
    namespace fs = std::filesystem;
    fs::path full(path);
    if (full.is_relative()) {
        std::error_code ignored;
        const fs::path base = baseDirectory.empty() ? fs::current_path(ignored) : fs::path(baseDirectory);
        full = base / full;
    }
    return full.lexically_normal().string();
}

namespace {

// Element, text, CDATA and comment nodes, for the progress display. Iterative:
// the tree may be deep.
int CountXmlNodes(const xmlNode* root)
{
    int count = 0;
    const xmlNode* node = root;
    while (node != nullptr) {
        switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE: ++count; break;
        default: break;
        }
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node != root && node->next == nullptr)
            node = node->parent;
        if (node == nullptr || node == root)
            break;
        node = node->next;
    }
    return count;
}

// Root size: a missing or unparsable value gives 0 (and the no-size mark);
// percentages are taken of the default 800 by 600 (the root has no viewport
// yet), em and ex of the default font size and x-height.
float RootDimension(const CElemDocument& root, std::string_view name, PercentRule rule, bool& missing)
{
    const std::string* text = root.attributes.Value(name);
    const std::optional<Number> number = text ? ParseNumber(*text) : std::nullopt;
    if (!number) {
        missing = true;
        return 0;
    }
    return static_cast<float>(ResolveLength(*number, rule));
}

void SizeRoot(CElemDocument& root)
{
    bool missing = false;
    const float width = RootDimension(root, "width", PercentRule::HorizontalSize, missing);
    const float height = RootDimension(root, "height", PercentRule::VerticalSize, missing);
    root.noSize = missing;
    root.region = {0, 0, width, height};
    root.viewport = root.region;
}

}  // namespace

CElemDocument* LoadDocumentFromBytes(std::string bytes, const std::string& fullPath,
                                     std::string_view displayPath, const CDocOptions& options)
{
    const std::string shownPath(displayPath);
    if (bytes.size() < 2) {
        ReportMessage("F Not SVG file or damaged file '%s'", shownPath.c_str());
        return nullptr;
    }
    if (IsGzip(bytes)) {
        std::string inflated;
        if (!Inflate(bytes, limits::kMaxInflatedBytes, inflated)) {
            ReportMessage("F Inflate failed '%s'", shownPath.c_str());
            return nullptr;
        }
        bytes = std::move(inflated);
    }

    Xmlpp::CssLoadContext cssContext;
    Xmlpp::XmlDocPtr xml = Xmlpp::ReadXml(bytes, fullPath, options.media, cssContext);
    bytes = std::string();  // the text is no longer needed; free it before building
    if (!xml) {
        if (!StopRequested())
            ReportMessage("F File %s:can NOT open", fullPath.c_str());
        return nullptr;
    }

    LoadProgress::Instance().xmlNodes = CountXmlNodes(xmlDocGetRootElement(xml.get()));
    ReportMessage("D Loading XML");

    const xmlNode* rootNode = xmlDocGetRootElement(xml.get());
    if (rootNode == nullptr || Xmlpp::QualifiedName(rootNode) != "svg") {
        ReportMessage("F %s :Root element is NOT SVG", fullPath.c_str());
        return nullptr;
    }
    if (StopRequested())
        return nullptr;

    ReportMessage("D Create SVG");
    auto& documents = DocumentList::Instance();
    CElemDocument* root = documents.Add(std::make_unique<CElemDocument>(fullPath, options));
    root->fontFaces = std::move(cssContext.fontFaces);
    ReadAttributes(*root, rootNode);
    BuildChildren(*root, rootNode);
    xml.reset();
    root->IndexIds();

    if (!StopRequested()) {
        ReportMessage("D parsing SVG");
        SizeRoot(*root);
        root->Prepare();
    }
    if (!StopRequested()) {
        ReportMessage("D calulating object bounds");
        ComputeBounds(*root);
    }
    if (StopRequested()) {
        documents.Discard(root);
        return nullptr;
    }
    return root;
}

CElemDocument* LoadDocument(std::string_view path, std::string_view baseDirectory,
                            const CDocOptions& options)
{
    const std::string fullPath = MakeFullPath(path, baseDirectory);
    if (CElemDocument* loaded = DocumentList::Instance().Find(fullPath))
        return loaded;
    if (StopRequested())
        return nullptr;

    const std::string shownPath(path);
    ReportMessage("I Opening file %s", shownPath.c_str());
    if (DocumentList::Instance().Size() >= limits::kMaxLoadedDocuments) {
        ReportMessage("F Too many documents referenced '%s'", shownPath.c_str());
        return nullptr;
    }
    std::string bytes;
    switch (ReadFileBytes(fullPath, limits::kMaxFileBytes, bytes)) {
    case ReadStatus::Ok: break;
    case ReadStatus::OpenFailed:
        ReportMessage("F Open error '%s'", shownPath.c_str());
        return nullptr;
    case ReadStatus::TooLarge:
    case ReadStatus::ReadFailed:
        ReportMessage("F Not SVG file or damaged file '%s'", shownPath.c_str());
        return nullptr;
    }
    return LoadDocumentFromBytes(std::move(bytes), fullPath, shownPath, options);
}

}  // namespace svg
