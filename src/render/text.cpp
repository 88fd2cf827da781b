#include "render/text.h"

#include <algorithm>

#include "base/limits.h"
#include "model/document.h"
#include "model/messages.h"
#include "render/clip_path.h"
#include "render/paint_server.h"
#include "render/prepare.h"
#include "render/render.h"
#include "render/text_fonts.h"
#include "text/font_context.h"
#include "text/text_layout.h"

namespace svg {
namespace {

// References of text content, followed through the preparer: the target is
// prepared first (a textPath's path has its outline then).
class CPreparedReferences final : public CTextReferences {
public:
    explicit CPreparedReferences(CPreparer& preparer) : preparer_(preparer) {}

    CElem* Resolve(const CElem& from, std::string_view reference, bool& cycle) override
    {
        CElem* target = preparer_.FindReference(from, reference);
        cycle = target != nullptr && target->prepState == PrepState::BeingPrepared;
        if (target == nullptr || cycle)
            return nullptr;
        if (target->prepState == PrepState::NotPrepared && !preparer_.Prepare(*target))
            return nullptr;
        return target;
    }

private:
    CPreparer& preparer_;
};

void PaintItem(const TextPaintItem& item, const CElemText& text, CCanvas& canvas, const RenderArgs& args)
{
    const CElem& painter = *item.paintElement;
    const ResolvedProperties& style = painter.props;
    if (style.visibility != Visibility::Visible)
        return;
    if (style.fillPaintServer == nullptr || !PaintPath(*style.fillPaintServer, canvas, item.path, painter, false, args, &text)) {
        if (style.fillBrush)
            canvas.Fill(item.path, style.fillBrush->color);
    }
    if (style.strokePaintServer == nullptr ||
        !PaintPath(*style.strokePaintServer, canvas, item.path, painter, true, args, &text)) {
        if (style.strokePen)
            canvas.Stroke(item.path, *style.strokePen);
    }
}

bool InQuad(const TextGlyphCell& cell, double x, double y)
{
    // Inside when on the same side of all four edges.
    int positive = 0, negative = 0;
    for (int k = 0; k < 4; ++k) {
        const PointF& a = cell.corners[k];
        const PointF& b = cell.corners[(k + 1) % 4];
        const double cross = (double{b.x} - a.x) * (y - a.y) - (double{b.y} - a.y) * (x - a.x);
        positive += cross >= 0;
        negative += cross <= 0;
    }
    return positive == 4 || negative == 4;
}

}  // namespace

void FinishText(CElemText& text, CPreparer& preparer)
{
    if (text.Id() != ElementId::text)
        return;
    CFontContext& fonts = preparer.Fonts();
    if (const CElemDocument* document = text.Document(); document != nullptr && fonts.FirstTextOf(document))
        InstallDocumentFonts(*text.Document(), preparer);
    CPreparedReferences references(preparer);
    LayOutText(text, fonts, references, preparer.Context());
}

// SVG-font glyphs drawn from their child content, bounded in nesting and
// in count (glyph content may hold text in the same font).
void DrawGlyphContent(const CElemText& text, const CLaidOutText& layout, CCanvas& canvas, const RenderArgs& args)
{
    CRenderPass::GlyphContentState& state = args.pass.glyphContent;
    for (const GlyphContentUse& use : layout.glyphContent) {
        if (state.depth >= limits::kMaxGlyphContentNesting || state.drawsLeft == 0) {
            if (!state.reported)
                args.pass.Report(text, msg::kGlyphContentTooDeep, text.Name().c_str());
            state.reported = true;
            return;
        }
        --state.drawsLeft;
        ++state.depth;
        const CCanvasSaveGuard saved(canvas);
        if (canvas.MultiplyTransform(use.transform))
            for (const CElem* child : use.glyph->Children())
                Render(*child, canvas, args);
        --state.depth;
    }
}

void DrawText(const CElemText& text, CCanvas& canvas, const RenderArgs& args)
{
    const CLaidOutText* layout = LaidOut(text);
    if (layout == nullptr || text.props.filterFailed)
        return;
    for (const TextPaintItem& item : layout->items) {
        if (args.pass.StopRequested())
            return;
        PaintItem(item, text, canvas, args);
    }
    if (!layout->glyphContent.empty() && text.props.visibility == Visibility::Visible)
        DrawGlyphContent(text, *layout, canvas, args);
}

std::optional<RectF> TextOutlineBounds(const CElemText& text, const Matrix& toSpace)
{
    const CLaidOutText* layout = LaidOut(text);
    if (layout == nullptr || !layout->cellBounds)
        return std::nullopt;
    if (toSpace.IsIdentity())
        return layout->cellBounds;
    std::optional<RectF> bounds;
    for (const TextGlyphCell& cell : layout->cells) {
        for (const PointF& corner : cell.corners) {
            const PointD p = toSpace.Apply({corner.x, corner.y});
            const RectF point{static_cast<float>(p.x), static_cast<float>(p.y), 0, 0};
            if (!bounds) {
                bounds = point;
                continue;
            }
            const float left = std::min(bounds->x, point.x), top = std::min(bounds->y, point.y);
            bounds = RectF{left, top, std::max(bounds->Right(), point.x) - left,
                           std::max(bounds->Bottom(), point.y) - top};
        }
    }
    return bounds;
}

const CElem* HitTestText(const CElemText& text, double x, double y)
{
    const CLaidOutText* layout = LaidOut(text);
    if (layout == nullptr || text.props.display == Display::None || text.excluded)
        return nullptr;
    const std::optional<Matrix> toUser = text.props.transform.Inverse();
    if (!toUser)
        return nullptr;
    const PointD point = toUser->Apply({x, y});
    // The last glyph drawn is the one on top.
    for (auto cell = layout->cells.rbegin(); cell != layout->cells.rend(); ++cell)
        if (InQuad(*cell, point.x, point.y))
            return cell->owner;
    return nullptr;
}

void AppendTextClipGeometry(const CElemText& text, ClipRegion& clip, FillRule rule)
{
    const CLaidOutText* layout = LaidOut(text);
    if (layout == nullptr)
        return;
    for (const TextPaintItem& item : layout->items) {
        if (item.paintElement->props.visibility != Visibility::Visible || item.path.Empty())
            continue;
        CGraphicsPath outline = item.path;
        outline.fillRule = rule;
        clip.paths.push_back(std::move(outline));
    }
}

}  // namespace svg
