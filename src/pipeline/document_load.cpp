#include "pipeline/document_load.h"

#include <libxml/tree.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "base/limits.h"
#include "model/inflate.h"
#include "model/messages.h"
#include "model/references.h"
#include "model/resource_file.h"
#include "model/tree_builder.h"
#include "render/bands.h"
#include "render/filter_effect.h"
#include "style/style_sheets.h"

namespace svg {
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
// percentages are taken of the default viewport (the root has no viewport
// yet), em and ex of the default font size and x-height.
float RootDimension(const CElemDocument& root, AttributeId name, PercentRule rule, bool& missing)
{
    const std::string* text = root.attributes.Value(name);
    const std::optional<Number> number = text ? ParseNumber(*text) : std::nullopt;
    if (!number) {
        missing = true;
        return 0;
    }
    return static_cast<float>(ResolveLength(*number, rule, root.Options().DefaultLengthContext()));
}

// The primitives of the filters the document's elements are drawn through,
// for the progress display: an estimate, as an element drawn several times
// (a marker's content) counts once. Iterative: the tree may be deep.
int CountFilterPrimitives(const CElem& root)
{
    long long count = 0;
    std::vector<const CElem*> pending{&root};
    while (!pending.empty()) {
        const CElem* elem = pending.back();
        pending.pop_back();
        if (const CElem* filter = elem->props.filter; filter != nullptr && filter->Class() == ElemClass::Filter)
            count += static_cast<long long>(static_cast<const CElemFilter*>(filter)->primitives.size());
        for (const CElem* child : elem->Children())
            pending.push_back(child);
    }
    return static_cast<int>(std::min<long long>(count, std::numeric_limits<int>::max()));
}

void SizeRoot(CElemDocument& root)
{
    bool missing = false;
    const float width = RootDimension(root, AttributeId::width, PercentRule::HorizontalSize, missing);
    const float height = RootDimension(root, AttributeId::height, PercentRule::VerticalSize, missing);
    root.noSize = missing;
    root.region = {0, 0, width, height};
    root.viewport = root.region;
}

}  // namespace

CDocumentLoad::CDocumentLoad(CMessageLog& log, const CStopToken& stop, CDocOptions options)
    : context_(log, stop, std::move(options)), fonts_(context_.Options()), preparer_(context_, fonts_)
{
    context_.SetDocumentSource(this);
    context_.SetFontMetrics(&fonts_);
}

CDocumentLoad::~CDocumentLoad() = default;

CElemDocument* CDocumentLoad::LoadFile(std::string_view path) { return LoadReferencedDocument(path, {}, nullptr); }

CElemDocument* CDocumentLoad::LoadBytes(std::string bytes, const std::string& fullPath, std::string_view shownName)
{
    context_.SetMainDocumentPath(fullPath);
    return Load(std::move(bytes), fullPath, shownName);
}

CElemDocument* CDocumentLoad::LoadReferencedDocument(std::string_view path, std::string_view baseDirectory,
                                                     const CElem* referrer)
{
    const std::string fullPath = MakeFullPath(path, baseDirectory);
    if (CElemDocument* loaded = context_.Documents().Find(fullPath))
        return loaded;
    if (context_.StopRequested())
        return nullptr;

    CMessageLog& log = context_.Log();
    const std::string shownPath(path);
    // The first document read is the main one: its folder is where the
    // others may come from.
    context_.SetMainDocumentPath(fullPath);
    if (!MayReadFile(context_, fullPath)) {
        context_.NoteRefusedFile(fullPath);
        ReportUnreadResource(log, ReadStatus::NotAllowed, ResourceKind::Document, shownPath, referrer);
        return nullptr;
    }
    log.Report(msg::kOpeningFile, shownPath.c_str());
    if (context_.Documents().Size() >= limits::kMaxLoadedDocuments) {
        log.Report(msg::kTooManyDocuments, shownPath.c_str());
        return nullptr;
    }
    std::string bytes;
    switch (const ReadStatus status = ReadResourceFile(context_, fullPath, ResourceKind::Document, bytes)) {
    case ReadStatus::Ok: break;
    case ReadStatus::OpenFailed: log.Report(msg::kOpenError, shownPath.c_str()); return nullptr;
    case ReadStatus::ReadFailed: log.Report(msg::kNotSvgFile, shownPath.c_str()); return nullptr;
    case ReadStatus::Stopped: return nullptr;
    default: ReportUnreadResource(log, status, ResourceKind::Document, shownPath, referrer); return nullptr;
    }
    return Load(std::move(bytes), fullPath, shownPath);
}

CElemDocument* CDocumentLoad::LoadDocumentBytes(std::string bytes, const std::string& name,
                                                std::string_view shownName)
{
    if (CElemDocument* loaded = context_.Documents().Find(name))
        return loaded;
    if (context_.Documents().Size() >= limits::kMaxLoadedDocuments) {
        context_.Log().Report(msg::kTooManyDocuments, std::string(shownName).c_str());
        return nullptr;
    }
    return Load(std::move(bytes), name, shownName);
}

CElemDocument* CDocumentLoad::Load(std::string bytes, const std::string& fullPath, std::string_view shownName)
{
    CMessageLog& log = context_.Log();
    const std::string shownPath(shownName);
    if (bytes.size() < 2) {
        log.Report(msg::kNotSvgFile, shownPath.c_str());
        return nullptr;
    }
    if (IsGzip(bytes)) {
        std::string inflated;
        switch (InflateBounded(bytes, limits::kMaxInflatedBytes, context_.Stop(), inflated)) {
        case InflateStatus::Ok:
            break;
        case InflateStatus::TooLarge:
            log.Report(msg::kInflatedTooLarge, shownPath.c_str(), limits::kMaxInflatedBytes >> 20);
            return nullptr;
        case InflateStatus::Stopped:
            return nullptr;
        case InflateStatus::Corrupt:
            log.Report(msg::kInflateFailed, shownPath.c_str());
            return nullptr;
        }
        bytes = std::move(inflated);
    }

    css::CssLoadContext sheets;
    const css::CStyleDeclarationReader styles(context_.Options().desktop);
    // A document without style sheets is built while it is parsed; the
    // others once their sheets have cascaded into the whole XML tree.
    auto streamedRoot = std::make_unique<CElemDocument>(fullPath, context_.Options());
    CStreamedTreeBuilder stream(*streamedRoot, styles, context_);
    bool streamed = false;
    XmlDocPtr xml = css::ReadStyledXml(bytes, fullPath, sheets, context_, &stream, &streamed);
    // The text is no longer needed: free it before building. Assigning an
    // empty string would keep its buffer.
    std::string().swap(bytes);
    if (!xml) {
        if (!context_.StopRequested())
            log.Report(msg::kCannotOpenFile, fullPath.c_str());
        return nullptr;
    }

    xmlNode* rootNode = xmlDocGetRootElement(xml.get());
    context_.Progress().xmlNodes =
        streamed ? context_.Progress().nodesVisited.load() : CountXmlNodes(rootNode);
    log.Report(msg::kDebugLoadingXml);
    if (rootNode == nullptr || QualifiedName(rootNode) != "svg") {
        log.Report(msg::kRootNotSvg, fullPath.c_str());
        return nullptr;
    }
    if (context_.StopRequested())
        return nullptr;

    log.Report(msg::kDebugCreateSvg);
    CElemDocument* root = nullptr;
    if (streamed && stream.Built()) {
        root = context_.Documents().Add(std::move(streamedRoot));
    } else {
        root = context_.Documents().Add(std::make_unique<CElemDocument>(fullPath, context_.Options()));
        // Each XML node is freed once its element is built: the two trees never peak together.
        BuildTreeReleasing(*root, rootNode, styles, context_);
    }
    root->fontFaces = std::move(sheets.fontFaces);
    xml.reset();
    root->IndexIds();

    if (!context_.StopRequested()) {
        log.Report(msg::kDebugParsingSvg);
        SizeRoot(*root);
        preparer_.Prepare(*root);
    }
    if (!context_.StopRequested()) {
        log.Report(msg::kDebugComputingBounds);
        ComputeBounds(*root);
    }
    // A stopped load is abandoned whole; its documents go with it.
    return context_.StopRequested() ? nullptr : root;
}

std::unique_ptr<CPicture> CDocumentLoad::PassPicture(PictureMaker make, const Matrix& recordedToDevice)
{
    const CElemDocument* document = Main();
    if (document == nullptr || context_.StopRequested())
        return nullptr;
    std::unique_ptr<CPicture> picture;
    RunDocumentPass([&](CRenderPass& pass) { picture = make(*document, pass, recordedToDevice); });
    return context_.StopRequested() ? nullptr : std::move(picture);
}

std::unique_ptr<CPicture> CDocumentLoad::Record(const Matrix& recordedToDevice)
{
    return PassPicture(&RecordDocument, recordedToDevice);
}

std::unique_ptr<CPicture> CDocumentLoad::Pass(const Matrix& recordedToDevice)
{
    return PassPicture(&PassDocument, recordedToDevice);
}

std::unique_ptr<CPicture> CDocumentLoad::MakePicture(const Matrix& recordedToDevice)
{
    const CElemDocument* document = Main();
    if (document == nullptr)
        return nullptr;
    return KeepsRecording(*document) ? Record(recordedToDevice) : Pass(recordedToDevice);
}

bool CDocumentLoad::Draw(cairo_t* cr, const Matrix& userToDevice)
{
    const CElemDocument* document = Main();
    if (document == nullptr || context_.StopRequested())
        return false;
    RunDocumentPass([&](CRenderPass& pass) { DrawDocument(*document, cr, pass, userToDevice); });
    return !context_.StopRequested();
}

bool CDocumentLoad::DrawInBands(cairo_t* cr, const Matrix& userToDevice, unsigned cores)
{
    const CElemDocument* document = Main();
    if (document == nullptr || context_.StopRequested())
        return false;
    cairo_surface_t* target = cairo_get_target(cr);
    int bands = 1;
    if (cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE) {
        const int width = cairo_image_surface_get_width(target);
        const int height = cairo_image_surface_get_height(target);
        bands = BandCount(width, height);
        if (!FiltersWorthBands(*document, userToDevice, width, height, bands))
            bands = 1;
    }
    bool drawn = true;
    svg::DrawInBands(
        cr, bands, cores, [&](cairo_t* band) { drawn = Draw(band, userToDevice); },
        [&](cairo_t* band) { DrawDocumentUnreported(*document, band, userToDevice, context_.Stop()); });
    return drawn && !context_.StopRequested();
}

void CDocumentLoad::RunDocumentPass(const std::function<void(CRenderPass&)>& draw)
{
    CRenderPass pass(&context_.Log(), context_.Stop(), &context_.Conditions());
    context_.Progress().primitivesTotal = CountFilterPrimitives(*Main());
    context_.Progress().primitivesDone = 0;
    pass.SetProgress(&context_.Progress());
    draw(pass);
    if (!context_.StopRequested())
        context_.Conditions().Report(context_.Log());
}

}  // namespace svg
