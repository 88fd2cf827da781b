// Text layout. The steps, each below in its own section:
//   1. characters, positioning lists and span styles (text_content, text_style);
//   2. chunks: a new one at every absolute x or y and where a textPath
//      starts or ends; each chunk is one bidi paragraph;
//   3. shaping: runs of one span style and one bidi level, shaped with the
//      whole chunk as context, cut into clusters (one or more characters
//      drawn by one or more glyphs);
//   4. spacing and textLength: what each cluster adds after itself;
//   5. positions: clusters placed in visual order along the line (or the
//      path), chunks anchored, glyphs turned into glyph-to-user matrices;
//   6. output: outlines, decoration rectangles and cells, per run of one
//      content element.
#include "text/text_layout.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "base/limits.h"
#include "model/attribute_reader.h"
#include "model/document.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "text/bidi.h"
#include "text/font_context.h"
#include "text/shaper.h"
#include "text/svg_font.h"
#include "text/text_content.h"
#include "text/text_style.h"

namespace svg {
namespace {

struct Chunk {
    std::uint32_t first = 0;  // characters [first, end)
    std::uint32_t end = 0;
    std::vector<std::uint32_t> clusters;  // logical order
    std::vector<std::uint32_t> visual;    // the same, left to right (top to bottom)
    std::int32_t textPath = kNoSpan;
};

struct Cluster {
    std::uint32_t firstChar = 0;
    std::uint32_t charCount = 0;
    std::uint32_t span = 0;
    std::uint32_t glyphBegin = 0;  // glyphs [glyphBegin, glyphEnd) of the layout
    std::uint32_t glyphEnd = 0;
    std::uint8_t level = 0;
    bool upright = false;  // vertical text: the glyph stands upright
    bool hidden = false;   // off its text path
    float advance = 0;     // along the line, unscaled
    float spacing = 0;     // letter, word and kerning spacing after it
    float extra = 0;       // textLength spacing after it
    float scale = 1;       // textLength spacingAndGlyphs factor along the line
    float u = 0;           // inline position of its origin
    float v = 0;           // cross position of its line (y, or x in vertical text)
    Matrix toUser;         // glyph space (origin on the baseline, y down) to user space
};

// A text path: the referenced path's outline in the text's user space.
struct PathGeometry {
    std::vector<CGraphicsPath> paths;
    double length = 0;
    float startOffset = 0;
};

bool IsWordSeparator(char32_t c) { return c == U' ' || c == 0xA0; }

// Characters that stand upright in vertical text: ideographs, kana, Hangul,
// and the fullwidth and CJK symbol blocks (as Unicode's vertical orientation
// gives them); every other character is turned a quarter clockwise.
bool IsUprightInVertical(char32_t c)
{
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x2FFF) || (c >= 0x3000 && c <= 0x303F) ||
           (c >= 0x3040 && c <= 0x31FF) || (c >= 0x3200 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE10 && c <= 0xFE1F) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F200 && c <= 0x1F2FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

Matrix Then(const Matrix& first, const Matrix& then) { return Matrix::Multiply(first, then); }

PointF ToPoint(PointD p) { return {static_cast<float>(p.x), static_cast<float>(p.y)}; }

void AppendMapped(const CGraphicsPath& from, const Matrix& m, CGraphicsPath& to)
{
    to.Reserve(to.Size() + from.Size());
    for (std::size_t i = 0; i < from.Size(); ++i)
        to.Append(ToPoint(m.Apply({from.points[i].x, from.points[i].y})), from.types[i]);
}

void AppendRect(float left, float top, float right, float bottom, const Matrix& m, CGraphicsPath& to)
{
    to.StartFigure(ToPoint(m.Apply({left, top})));
    to.AddLine(ToPoint(m.Apply({right, top})));
    to.AddLine(ToPoint(m.Apply({right, bottom})));
    to.AddLine(ToPoint(m.Apply({left, bottom})));
    to.CloseFigure();
}

class CTextLayoutBuilder {
public:
    CTextLayoutBuilder(CElemText& text, CFontContext& fonts, CTextReferences& references, CLoadContext& context)
        : text_(text), fonts_(fonts), references_(references), context_(context)
    {
    }

    std::unique_ptr<CLaidOutText> Build()
    {
        result_ = std::make_unique<CLaidOutText>();
        content_ = CollectTextContent(text_, references_, context_);
        if (content_.chars.empty())
            return std::move(result_);
        placements_ = ReadPlacements(content_, context_);
        style_ = ReadTextStyle(content_, fonts_, context_);
        vertical_ = IsVertical(style_.mode);
        MakeChunks();
        for (Chunk& chunk : chunks_) {
            if (context_.StopRequested())
                return std::move(result_);
            Shape(chunk);
        }
        AddSpacing();
        FitTextLengths();
        Position();
        Output();
        result_->text = content_.chars;
        return std::move(result_);
    }

private:
    const SpanStyle& SpanOf(const Cluster& cluster) const { return style_.spans[cluster.span]; }
    const TextSpan& ContentSpan(std::uint32_t span) const { return content_.spans[span]; }

    // --- 2. Chunks ---------------------------------------------------------------

    void MakeChunks()
    {
        const auto count = static_cast<std::uint32_t>(content_.chars.size());
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::int32_t path = ContentSpan(content_.owner[i]).textPath;
            const bool absolute = placements_[i].x.has_value() || placements_[i].y.has_value();
            if (chunks_.empty() || absolute || path != chunks_.back().textPath) {
                if (!chunks_.empty())
                    chunks_.back().end = i;
                Chunk chunk;
                chunk.first = i;
                chunk.textPath = path;
                chunks_.push_back(std::move(chunk));
            }
        }
        chunks_.back().end = count;
    }

    // --- 3. Shaping ----------------------------------------------------------------

    // The `direction` of the first span decides; writing-mode rl and rl-tb
    // lay out like lr (SVG 1.1 leaves how they combine with `direction`
    // open, and current renderers give them no effect).
    bool ParagraphRtl() const { return !vertical_ && style_.spans.front().rtl; }

    // Embedding levels of the chunk's characters: the chunk is one paragraph,
    // with each span's direction override or embedding put around its characters.
    std::vector<std::uint8_t> Levels(const Chunk& chunk) const
    {
        const std::size_t count = chunk.end - chunk.first;
        const bool rtl = ParagraphRtl();
        bool simple = !rtl;
        for (std::uint32_t i = chunk.first; i < chunk.end && simple; ++i)
            simple = content_.chars[i] < 0x0590 && style_.spans[content_.owner[i]].embedding == BidiEmbedding::kNone;
        if (simple)
            return std::vector<std::uint8_t>(count, 0);

        std::u32string paragraph;
        std::vector<std::size_t> position;  // character -> index in paragraph
        std::vector<std::uint32_t> open;    // spans whose embedding is open
        for (std::uint32_t i = chunk.first; i < chunk.end; ++i) {
            std::vector<std::uint32_t> chain;
            for (std::int32_t s = static_cast<std::int32_t>(content_.owner[i]); s != kNoSpan;
                 s = content_.spans[s].parent)
                if (style_.spans[s].embedding != BidiEmbedding::kNone)
                    chain.insert(chain.begin(), static_cast<std::uint32_t>(s));
            std::size_t common = 0;
            while (common < open.size() && common < chain.size() && open[common] == chain[common])
                ++common;
            for (std::size_t k = open.size(); k > common; --k)
                paragraph.push_back(kPopDirectionalFormatting);
            open.resize(common);
            for (std::size_t k = common; k < chain.size(); ++k) {
                paragraph.push_back(EmbeddingControl(style_.spans[chain[k]].embedding));
                open.push_back(chain[k]);
            }
            position.push_back(paragraph.size());
            paragraph.push_back(content_.chars[i]);
        }
        const std::vector<std::uint8_t> all = ResolveLevels(paragraph, rtl);
        std::vector<std::uint8_t> levels(count);
        for (std::size_t k = 0; k < count; ++k)
            levels[k] = all[position[k]];
        return levels;
    }

    bool SameShaping(std::uint32_t a, std::uint32_t b) const
    {
        if (a == b)
            return true;
        if (!ContentSpan(a).altGlyphs.empty() || !ContentSpan(b).altGlyphs.empty())
            return false;
        const SpanStyle& x = style_.spans[a];
        const SpanStyle& y = style_.spans[b];
        return x.familyList == y.familyList && x.query.style == y.query.style && x.query.weight == y.query.weight &&
               x.query.stretch == y.query.stretch && x.query.variant == y.query.variant &&
               x.fontKerning == y.fontKerning && (x.letterSpacing == 0) == (y.letterSpacing == 0);
    }

    AssignRequest Request(const SpanStyle& span, std::uint8_t level, bool cursive) const
    {
        AssignRequest request;
        request.familyList = span.familyList;
        request.query = span.query;
        // Shaped at one user unit per em: spans of one font but of different
        // sizes shape (and kern) together, each glyph scaled to its own size.
        request.fontSize = 1;
        request.alternateFamilies = fonts_.AlternateFamilies();
        request.shaping.direction = (level & 1) != 0 ? TextDirection::RightToLeft : TextDirection::LeftToRight;
        request.shaping.kerning = span.fontKerning;
        // Letter spacing would pull a ligature's letters apart (CSS); it
        // does not apply to joined scripts, whose ligatures stay.
        request.shaping.ligatures = span.letterSpacing == 0 || cursive;
        if (span.query.variant == 2)
            request.shaping.features.push_back("smcp");
        request.bidiLevel = level;
        return request;
    }

    // Runs of one shaping style and one bidi level, [start, end) pairs.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ShapingRuns(const Chunk& chunk,
                                                                     const std::vector<std::uint8_t>& levels) const
    {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
        for (std::uint32_t start = chunk.first; start < chunk.end;) {
            std::uint32_t end = start + 1;
            while (end < chunk.end && levels[end - chunk.first] == levels[start - chunk.first] &&
                   SameShaping(content_.owner[end], content_.owner[start]))
                ++end;
            runs.emplace_back(start, end);
            start = end;
        }
        return runs;
    }

    // Each run is shaped with its font over the whole chunk and keeps the
    // glyphs of its own characters, so that kerning and joining work across
    // a change of font between spans (a bold V between two regular As is
    // kerned with both). Where that would shape too much text, a run is
    // shaped alone, with the chunk as context only.
    void Shape(Chunk& chunk)
    {
        const std::vector<std::uint8_t> levels = Levels(chunk);
        const std::u32string_view text = std::u32string_view(content_.chars).substr(chunk.first, chunk.end - chunk.first);
        const auto runs = ShapingRuns(chunk, levels);
        // Only a chunk of one direction can be shaped whole in each run's direction.
        const bool oneLevel = std::all_of(levels.begin(), levels.end(), [&](std::uint8_t l) { return l == levels[0]; });
        const bool wholeChunk =
            oneLevel && runs.size() > 1 && runs.size() * text.size() <= limits::kMaxChunkReshapeChars;
        std::vector<CGlyph> shaped;
        std::size_t covered = 0;  // characters (from the chunk's start) that have glyphs
        for (const auto& [start, end] : runs) {
            const SpanStyle& span = style_.spans[content_.owner[start]];
            bool cursive = false;
            for (std::uint32_t i = start; i < end && !cursive; ++i)
                cursive = IsCursiveScript(content_.chars[i]);
            const std::uint8_t level = levels[start - chunk.first];
            shaped.clear();
            if (!ContentSpan(content_.owner[start]).altGlyphs.empty()) {
                AltGlyphCluster(ContentSpan(content_.owner[start]), chunk.first, start - chunk.first,
                                end - chunk.first, shaped);
            } else if (wholeChunk)
                AssignFonts(fonts_.Pool(), text, Request(span, level, cursive), shaped, context_.Stop());
            else
                AssignFonts(fonts_.Pool(), text, start - chunk.first, end - chunk.first,
                            Request(span, level, cursive), shaped, context_.Stop());
            std::erase_if(shaped, [&](const CGlyph& glyph) {
                return glyph.firstChar < std::max<std::size_t>(covered, start - chunk.first) ||
                       glyph.firstChar >= end - chunk.first;
            });
            for (const CGlyph& glyph : shaped)
                covered = std::max(covered, glyph.firstChar + glyph.text.size());
            for (CGlyph& glyph : shaped)
                ScaleGlyph(glyph, style_.spans[content_.owner[chunk.first + glyph.firstChar]].fontSize);
            AddClusters(chunk, shaped, level);
        }
        std::vector<std::uint8_t> clusterLevels;
        clusterLevels.reserve(chunk.clusters.size());
        for (std::uint32_t index : chunk.clusters)
            clusterLevels.push_back(clusters_[index].level);
        for (std::size_t k : VisualOrder(clusterLevels))
            chunk.visual.push_back(chunk.clusters[k]);
    }

    // The characters of an altGlyph drawn with the glyphs it names, as one
    // cluster (its first glyph stands for all of them), in em units.
    void AltGlyphCluster(const TextSpan& span, std::uint32_t chunkFirst, std::uint32_t start, std::uint32_t end,
                         std::vector<CGlyph>& out)
    {
        for (const CElem* element : span.altGlyphs) {
            const std::shared_ptr<CFontFaceSvg> face = fonts_.SvgFont(*element->Parent(), context_);
            if (!face)
                continue;
            CGlyph glyph;
            glyph.firstChar = start;
            for (std::size_t g = 0; g < face->glyphs.size(); ++g)
                if (face->glyphs[g].element == element)
                    glyph.glyphIndex = static_cast<std::uint32_t>(g + 1);
            glyph.glyphDef = face->Def(glyph.glyphIndex);
            const float advance = glyph.glyphDef != nullptr && glyph.glyphDef->horizAdvX > 0
                                      ? glyph.glyphDef->horizAdvX : face->unitsPerEm;
            glyph.advance = advance / face->unitsPerEm;
            glyph.vAdvance = (glyph.glyphDef != nullptr && glyph.glyphDef->vertAdvY > 0 ? glyph.glyphDef->vertAdvY
                                                                                          : face->unitsPerEm) /
                             face->unitsPerEm;
            glyph.face = face;
            out.push_back(std::move(glyph));
        }
        if (!out.empty())
            out.front().text = std::u32string(content_.chars.begin() + chunkFirst + start,
                                              content_.chars.begin() + chunkFirst + end);
    }

    static void ScaleGlyph(CGlyph& glyph, float fontSize)
    {
        const float size = std::isfinite(fontSize) ? std::clamp(fontSize, 0.0f, limits::kMaxFontSize) : 0.0f;
        glyph.fontSize = size;
        glyph.advance *= size;
        glyph.vAdvance *= size;
        glyph.offsetX *= size;
        glyph.offsetY *= size;
    }

    void AddClusters(Chunk& chunk, std::vector<CGlyph>& shaped, std::uint8_t level)
    {
        for (CGlyph& glyph : shaped) {
            glyph.firstChar += chunk.first;
            if (!glyph.text.empty() || chunk.clusters.empty() || clusters_.back().glyphEnd != glyphs_.size()) {
                Cluster cluster;
                cluster.firstChar = static_cast<std::uint32_t>(glyph.firstChar);
                cluster.charCount = static_cast<std::uint32_t>(std::max<std::size_t>(glyph.text.size(), 1));
                cluster.span = content_.owner[cluster.firstChar];
                cluster.level = level;
                cluster.glyphBegin = cluster.glyphEnd = static_cast<std::uint32_t>(glyphs_.size());
                chunk.clusters.push_back(static_cast<std::uint32_t>(clusters_.size()));
                clusters_.push_back(cluster);
            }
            glyphs_.push_back(std::move(glyph));
            clusters_.back().glyphEnd = static_cast<std::uint32_t>(glyphs_.size());
        }
    }

    // --- 4. Spacing and textLength ---------------------------------------------------------

    int Orientation(const Cluster& cluster) const
    {
        const SpanStyle& span = SpanOf(cluster);
        if (!vertical_)
            return span.orientationHorizontal;
        if (span.orientationVertical != kOrientationAuto)
            return span.orientationVertical;
        return IsUprightInVertical(content_.chars[cluster.firstChar]) ? 0 : 1;
    }

    void AddSpacing()
    {
        for (Cluster& cluster : clusters_) {
            const SpanStyle& span = SpanOf(cluster);
            cluster.upright = vertical_ && Orientation(cluster) % 2 == 0;
            float advance = 0;
            for (std::uint32_t g = cluster.glyphBegin; g < cluster.glyphEnd; ++g)
                advance += cluster.upright ? (g == cluster.glyphBegin ? glyphs_[g].vAdvance : 0) : glyphs_[g].advance;
            cluster.advance = advance;
            const char32_t first = content_.chars[cluster.firstChar];
            cluster.spacing = (IsCursiveScript(first) ? 0.0f : span.letterSpacing) + span.kerningSpacing;
            if (IsWordSeparator(content_.chars[cluster.firstChar]))
                cluster.spacing += span.wordSpacing;
        }
    }

    // The clusters of the characters [first, end), in logical order.
    std::vector<std::uint32_t> ClustersIn(std::uint32_t first, std::uint32_t end) const
    {
        std::vector<std::uint32_t> found;
        for (const Chunk& chunk : chunks_)
            if (chunk.end > first && chunk.first < end)
                for (std::uint32_t index : chunk.clusters)
                    if (clusters_[index].firstChar >= first && clusters_[index].firstChar < end)
                        found.push_back(index);
        return found;
    }

    // textLength: inner elements are fitted first; an element whose
    // characters an inner one has fitted already is left as it is. With
    // "spacing" the space is shared out after every cluster of the element,
    // as letter spacing is; with "spacingAndGlyphs" advances and glyphs are
    // scaled along the line.
    void FitTextLengths()
    {
        std::vector<bool> fitted(clusters_.size(), false);
        for (std::size_t s = content_.spans.size(); s-- > 0;) {
            const SpanStyle& span = style_.spans[s];
            if (!span.textLength)
                continue;
            const TextSpan& content = ContentSpan(static_cast<std::uint32_t>(s));
            const std::vector<std::uint32_t> members = ClustersIn(content.first, content.end);
            if (members.empty() || std::any_of(members.begin(), members.end(),
                                               [&fitted](std::uint32_t index) { return fitted[index]; }))
                continue;
            float width = 0;
            for (std::size_t k = 0; k < members.size(); ++k) {
                const Cluster& c = clusters_[members[k]];
                width += c.advance * c.scale + (k + 1 < members.size() ? (c.spacing + c.extra) * c.scale : 0);
            }
            // A run without extent cannot be stretched to any length.
            if (!(width > 0) || !std::isfinite(width))
                continue;
            if (span.spacingAndGlyphs) {
                const float factor = *span.textLength / width;
                for (std::uint32_t index : members)
                    clusters_[index].scale *= factor;
            } else if (members.size() > 1) {
                const float gap = (*span.textLength - width) / static_cast<float>(members.size() - 1);
                for (std::uint32_t index : members)
                    clusters_[index].extra += gap / clusters_[index].scale;
            }
            for (std::uint32_t index : members)
                fitted[index] = true;
        }
    }

    // --- 5. Positions --------------------------------------------------------------------

    float AdvanceOf(const Cluster& c) const { return c.advance * c.scale; }
    float GapAfter(const Cluster& c) const { return (c.spacing + c.extra) * c.scale; }

    // Places the chunk's clusters along the line from the pen, then moves
    // them by the anchor. Returns the pen after the chunk.
    void PlaceChunk(const Chunk& chunk, PointD& pen)
    {
        const CharPlacement& start = placements_[chunk.first];
        if (start.x)
            pen.x = *start.x;
        if (start.y)
            pen.y = *start.y;
        double u = vertical_ ? pen.y : pen.x;
        double v = vertical_ ? pen.x : pen.y;
        if (chunk.textPath != kNoSpan) {
            // Along a path the inline position starts at the path's start
            // offset; an absolute x (y in vertical text) moves along it.
            const CharPlacement& first = placements_[chunk.first];
            const std::optional<float>& along = vertical_ ? first.y : first.x;
            u = PathOf(chunk.textPath).startOffset + (along ? *along : 0.0f);
            v = 0;
        }
        const double startU = u;
        double endU = u;
        for (std::size_t k = 0; k < chunk.visual.size(); ++k) {
            Cluster& cluster = clusters_[chunk.visual[k]];
            const CharPlacement& placement = placements_[cluster.firstChar];
            u += vertical_ ? placement.dy : placement.dx;
            v += vertical_ ? placement.dx : placement.dy;
            cluster.u = static_cast<float>(u);
            cluster.v = static_cast<float>(v);
            u += AdvanceOf(cluster);
            endU = u;
            u += GapAfter(cluster);
        }
        const double shift = AnchorShift(chunk, startU, endU);
        for (std::uint32_t index : chunk.clusters)
            clusters_[index].u += static_cast<float>(shift);
        u += shift;
        if (chunk.textPath != kNoSpan) {
            PlaceOnPath(chunk);
            return;
        }
        pen = vertical_ ? PointD{v, u} : PointD{u, v};
    }

    double AnchorShift(const Chunk& chunk, double startU, double endU) const
    {
        if (chunk.clusters.empty())
            return 0;
        const SpanStyle& span = style_.spans[content_.owner[chunk.first]];
        const double width = endU - startU;
        const bool rtl = !vertical_ && span.rtl;
        switch (span.anchor) {
        case TextAnchor::Start: return rtl ? -width : 0;
        case TextAnchor::Middle: return -width / 2;
        case TextAnchor::End: return rtl ? 0 : -width;
        }
        return 0;
    }

    void Position()
    {
        PointD pen;
        for (const Chunk& chunk : chunks_) {
            PlaceChunk(chunk, pen);
            if (chunk.textPath != kNoSpan)
                pen = PathEnd(chunk, pen);
        }
        for (const Chunk& chunk : chunks_)
            if (chunk.textPath == kNoSpan)
                for (std::uint32_t index : chunk.clusters)
                    clusters_[index].toUser = LineMatrix(clusters_[index]);
    }

    float Rotation(const Cluster& cluster) const
    {
        const std::optional<float>& rotate = placements_[cluster.firstChar].rotate;
        return rotate ? *rotate : 0.0f;
    }

    // Half the ascent less the descent of the glyph's font: how far the
    // alphabetic baseline of a turned glyph lies left of its vertical line,
    // which runs along the glyph's central baseline.
    float CentralOffset(const Cluster& cluster) const
    {
        const CGlyph& glyph = glyphs_[cluster.glyphBegin];
        const CFontFace* face = glyph.face.get();
        if (face == nullptr || !(face->unitsPerEm > 0))
            return 0;
        return (face->ascent - face->descent) * glyph.fontSize / face->unitsPerEm * 0.5f;
    }

    Matrix LineMatrix(const Cluster& cluster) const
    {
        const SpanStyle& span = SpanOf(cluster);
        Matrix m = Matrix::Scale(cluster.scale, 1);
        if (!vertical_) {
            const int quarter = span.orientationHorizontal;
            if (quarter != 0)
                m = Then(m, Matrix::Rotate(90.0 * quarter));
            m = Then(m, Matrix::Rotate(Rotation(cluster)));
            return Then(m, Matrix::Translate(cluster.u, cluster.v + span.baselineOffset));
        }
        const float line = cluster.v + span.baselineOffset;
        if (cluster.upright) {
            const float width = glyphs_[cluster.glyphBegin].advance;
            m = Then(m, Matrix::Rotate(Rotation(cluster)));
            // The glyph is centred in its advance on the central baseline of
            // the span's font, like the turned glyphs around it.
            const float baseline = cluster.u + cluster.advance / 2 + CentralOffset(cluster);
            return Then(m, Matrix::Translate(line - width / 2, baseline));
        }
        m = Then(m, Matrix::Translate(0, CentralOffset(cluster)));
        m = Then(m, Matrix::Rotate(90.0 * Orientation(cluster)));
        m = Then(m, Matrix::Rotate(Rotation(cluster)));
        return Then(m, Matrix::Translate(line, cluster.u));
    }

    // --- Text on a path -------------------------------------------------------------

    const PathGeometry& PathOf(std::int32_t textPath)
    {
        auto found = paths_.find(textPath);
        if (found != paths_.end())
            return found->second;
        return paths_.emplace(textPath, ReadPath(*ContentSpan(static_cast<std::uint32_t>(textPath)).elem))
            .first->second;
    }

    PathGeometry ReadPath(const CElem& textPath)
    {
        PathGeometry geometry;
        // Content collection has checked (and reported) the reference.
        const std::string* href = textPath.GetAttribute(AttributeId::xlink_href, false);
        bool cycle = false;
        const CElem* target = href != nullptr ? references_.Resolve(textPath, *href, cycle) : nullptr;
        if (target == nullptr || target->Id() != ElementId::path)
            return geometry;
        const auto& shape = static_cast<const CElemShape&>(*target);
        geometry.paths = shape.paths;
        geometry.length = PathLength(geometry.paths, shape.props.transform);
        for (CGraphicsPath& path : geometry.paths) {
            CGraphicsPath mapped;
            AppendMapped(path, shape.props.transform, mapped);
            mapped.fillRule = path.fillRule;
            path = std::move(mapped);
        }
        const std::string* offset = textPath.attributes.Value(AttributeId::startOffset);
        if (offset != nullptr) {
            const std::optional<Number> number = ParseLength(*offset);
            if (!number) {
                ReportInvalidValue(textPath, AttributeId::startOffset, *offset, context_);
            } else {
                const double value = number->unit == Unit::Percent
                                         ? number->value / 100 * geometry.length
                                         : ToUserUnits(*number, LengthsOf(textPath, context_));
                geometry.startOffset = std::isfinite(value) ? static_cast<float>(value) : 0.0f;
            }
        }
        CheckKeyword(textPath, AttributeId::method, {"align", "stretch"});
        CheckKeyword(textPath, AttributeId::spacing, {"auto", "exact"});
        return geometry;
    }

    void CheckKeyword(const CElem& elem, AttributeId attribute, std::initializer_list<std::string_view> allowed)
    {
        const std::string* value = elem.attributes.Value(attribute);
        if (value == nullptr)
            return;
        const std::string_view text = TrimSpace(*value);
        if (std::find(allowed.begin(), allowed.end(), text) == allowed.end())
            ReportInvalidValue(elem, attribute, *value, context_);
    }

    // Each cluster's middle is put on the path; the cluster turns with the
    // path there. A cluster whose middle falls off the path is not drawn.
    void PlaceOnPath(const Chunk& chunk)
    {
        const PathGeometry& path = PathOf(chunk.textPath);
        std::vector<std::pair<double, std::uint32_t>> middles;
        for (std::uint32_t index : chunk.clusters) {
            Cluster& cluster = clusters_[index];
            const double middle = cluster.u + AdvanceOf(cluster) / 2.0;
            cluster.hidden = path.paths.empty() || !(middle >= 0) || middle > path.length;
            if (!cluster.hidden)
                middles.emplace_back(middle, index);
        }
        std::sort(middles.begin(), middles.end());
        std::vector<double> distances;
        for (const auto& [middle, index] : middles)
            distances.push_back(middle);
        std::vector<PathPosition> positions;
        const std::size_t placed = PositionsAlongPaths(path.paths, Matrix{}, distances, positions);
        for (std::size_t k = 0; k < middles.size(); ++k) {
            Cluster& cluster = clusters_[middles[k].second];
            if (k >= placed) {
                cluster.hidden = true;
                continue;
            }
            // The cluster as laid out on a straight line with its middle at
            // the origin, then turned with the path and moved onto it.
            const PathPosition& at = positions[k];
            Cluster local = cluster;
            local.u = -AdvanceOf(cluster) / 2;
            Matrix m = LineMatrix(local);
            m = Then(m, Matrix::Rotate(at.angle - (vertical_ ? 90.0 : 0.0)));
            cluster.toUser = Then(m, Matrix::Translate(at.x, at.y));
        }
    }

    // After a text path, text goes on from the point of the path where its
    // last glyph drawn ended.
    PointD PathEnd(const Chunk& chunk, PointD pen)
    {
        const PathGeometry& path = PathOf(chunk.textPath);
        for (auto it = chunk.visual.rbegin(); it != chunk.visual.rend(); ++it) {
            const Cluster& cluster = clusters_[*it];
            if (cluster.hidden)
                continue;
            const double end = std::min<double>(cluster.u + AdvanceOf(cluster), path.length);
            std::vector<PathPosition> at;
            const double distance[] = {end};
            if (PositionsAlongPaths(path.paths, Matrix{}, distance, at) == 1)
                return {at[0].x, at[0].y};
        }
        return pen;
    }

    // --- 6. Output -------------------------------------------------------------------------

    // Outline of one cluster's glyphs in glyph space: in their visual order
    // (a right-to-left cluster's glyphs were kept in logical order).
    void OutlineCluster(const Cluster& cluster, CGraphicsPath& out)
    {
        std::vector<std::uint32_t> order(cluster.glyphEnd - cluster.glyphBegin);
        std::iota(order.begin(), order.end(), cluster.glyphBegin);
        if ((cluster.level & 1) != 0)
            std::reverse(order.begin(), order.end());
        float pen = 0;
        for (std::uint32_t g : order) {
            const CGlyph& glyph = glyphs_[g];
            if (glyph.face) {
                const PointF origin{pen + glyph.offsetX, glyph.offsetY - glyph.face->AlphabeticOffset(glyph.fontSize)};
                glyph.face->AddGlyphOutline(glyph, origin, glyph.fontSize, out);
                if (glyph.glyphDef != nullptr && glyph.glyphDef->hasContent) {
                    const auto& svgFont = static_cast<const CFontFaceSvg&>(*glyph.face);
                    result_->glyphContent.push_back(
                        {glyph.glyphDef->element, Then(svgFont.ContentTransform(origin, glyph.fontSize), cluster.toUser)});
                }
            }
            pen += glyph.advance;
        }
    }

    struct FaceLines {
        float ascent = 0, descent = 0;  // above and below the baseline
        float underlineTop = 0, underlineThickness = 0;
        float overlineTop = 0, overlineThickness = 0;
        float lineThroughTop = 0, lineThroughThickness = 0;
    };

    // Decoration strokes from the span's own face (y down from the baseline).
    static FaceLines LinesOf(const CFontFace* face, float fontSize)
    {
        FaceLines lines;
        if (face == nullptr || !(face->unitsPerEm > 0)) {
            lines.ascent = fontSize * 0.8f;
            lines.descent = fontSize * 0.2f;
            return lines;
        }
        const float scale = fontSize / face->unitsPerEm;
        lines.ascent = face->ascent * scale;
        lines.descent = face->descent * scale;
        lines.underlineThickness = face->underlineThickness * scale;
        lines.underlineTop = -face->underlinePosition * scale - lines.underlineThickness / 2;
        lines.overlineThickness = face->overlineThickness * scale;
        lines.overlineTop = -face->ascent * scale - lines.overlineThickness / 2;
        lines.lineThroughThickness = face->strikethroughThickness * scale;
        lines.lineThroughTop = -face->strikethroughPosition * scale - lines.lineThroughThickness / 2;
        return lines;
    }

    // One decoration stroke along clusters that follow each other on one
    // straight line; a rotated or shifted cluster starts a new one.
    struct DecorationStroke {
        Matrix toUser;
        float right = 0, top = 0, bottom = 0;
        bool open = false;

        void Add(const Matrix& m, float reach, float strokeTop, float thickness, CGraphicsPath& out)
        {
            const PointD end = toUser.Apply({right, 0});
            const PointD start = m.Apply({0, 0});
            const bool continues = open && m.m11 == toUser.m11 && m.m12 == toUser.m12 && m.m21 == toUser.m21 &&
                                   m.m22 == toUser.m22 && std::abs(end.x - start.x) < 1e-3 &&
                                   std::abs(end.y - start.y) < 1e-3 && top == strokeTop;
            if (continues) {
                right += reach;
                return;
            }
            Close(out);
            toUser = m;
            right = reach;
            top = strokeTop;
            bottom = strokeTop + thickness;
            open = true;
        }
        void Close(CGraphicsPath& out)
        {
            if (open)
                AppendRect(0, top, right, bottom, toUser, out);
            open = false;
        }
    };

    struct RunPaths {
        CGraphicsPath underline, overline, glyphs, lineThrough;
        DecorationStroke underlineStroke, overlineStroke, lineThroughStroke;
    };

    void FlushRun(std::uint32_t span, RunPaths& run)
    {
        const SpanStyle& style = style_.spans[span];
        const auto add = [this](TextPaintKind kind, const CElem* painter, CGraphicsPath& path) {
            if (painter == nullptr || path.Empty())
                return;
            TextPaintItem item;
            item.kind = kind;
            item.paintElement = painter;
            item.path = std::move(path);
            result_->items.push_back(std::move(item));
        };
        run.underlineStroke.Close(run.underline);
        run.overlineStroke.Close(run.overline);
        run.lineThroughStroke.Close(run.lineThrough);
        run.glyphs.fillRule = style.elem->props.fillRule;
        add(TextPaintKind::Underline, style.underline, run.underline);
        add(TextPaintKind::Overline, style.overline, run.overline);
        add(TextPaintKind::Glyphs, style.elem, run.glyphs);
        add(TextPaintKind::LineThrough, style.lineThrough, run.lineThrough);
        run = RunPaths{};
    }

    void AddCell(const Cluster& cluster, const FaceLines& lines)
    {
        TextGlyphCell cell;
        cell.owner = SpanOf(cluster).elem;
        const float width = cluster.upright ? glyphs_[cluster.glyphBegin].advance : cluster.advance;
        const PointD corners[4] = {{0, -lines.ascent}, {width, -lines.ascent}, {width, lines.descent},
                                   {0, lines.descent}};
        RectF box{0, 0, 0, 0};
        for (int k = 0; k < 4; ++k) {
            cell.corners[k] = ToPoint(cluster.toUser.Apply(corners[k]));
            const RectF point{cell.corners[k].x, cell.corners[k].y, 0, 0};
            if (k == 0) {
                box = point;
            } else {
                const float left = std::min(box.x, point.x), top = std::min(box.y, point.y);
                box = {left, top, std::max(box.Right(), point.x) - left, std::max(box.Bottom(), point.y) - top};
            }
        }
        if (!result_->cellBounds) {
            result_->cellBounds = box;
        } else {
            RectF& all = *result_->cellBounds;
            const float left = std::min(all.x, box.x), top = std::min(all.y, box.y);
            all = {left, top, std::max(all.Right(), box.Right()) - left, std::max(all.Bottom(), box.Bottom()) - top};
        }
        result_->cells.push_back(cell);
    }

    // Decorations follow the line: in vertical text they run down it as
    // under turned glyphs, whether the glyph above them stands upright or not.
    Matrix DecorationFrame(const Chunk& chunk, const Cluster& cluster) const
    {
        if (!vertical_ || chunk.textPath != kNoSpan)
            return cluster.toUser;
        // One line for the span, along the central baseline of its own font.
        const SpanStyle& span = SpanOf(cluster);
        const CFontFace* face = span.primaryFace.get();
        const float central =
            face != nullptr && face->unitsPerEm > 0 ? (face->ascent - face->descent) * span.fontSize / face->unitsPerEm / 2
                                                    : 0.0f;
        Matrix m = Matrix::Scale(cluster.scale, 1);
        m = Then(m, Matrix::Translate(0, central));
        m = Then(m, Matrix::Rotate(90));
        return Then(m, Matrix::Translate(cluster.v + SpanOf(cluster).baselineOffset, cluster.u));
    }

    void Output()
    {
        RunPaths run;
        std::int64_t runSpan = -1;
        CGraphicsPath outline;
        for (const Chunk& chunk : chunks_) {
            for (std::uint32_t index : chunk.clusters) {
                const Cluster& cluster = clusters_[index];
                if (cluster.hidden || !cluster.toUser.IsFinite())
                    continue;
                if (runSpan != cluster.span) {
                    if (runSpan >= 0)
                        FlushRun(static_cast<std::uint32_t>(runSpan), run);
                    runSpan = cluster.span;
                }
                const SpanStyle& span = SpanOf(cluster);
                const FaceLines lines = LinesOf(span.primaryFace.get(), span.fontSize);
                outline = CGraphicsPath{};
                OutlineCluster(cluster, outline);
                AppendMapped(outline, cluster.toUser, run.glyphs);
                const float reach =
                    cluster.advance + (index == chunk.clusters.back() ? 0.0f : cluster.spacing + cluster.extra);
                const Matrix frame = DecorationFrame(chunk, cluster);
                if (span.underline != nullptr)
                    run.underlineStroke.Add(frame, reach, lines.underlineTop, lines.underlineThickness, run.underline);
                if (span.overline != nullptr)
                    run.overlineStroke.Add(frame, reach, lines.overlineTop, lines.overlineThickness, run.overline);
                if (span.lineThrough != nullptr)
                    run.lineThroughStroke.Add(frame, reach, lines.lineThroughTop, lines.lineThroughThickness,
                                              run.lineThrough);
                AddCell(cluster, LinesOf(glyphs_[cluster.glyphBegin].face.get(), glyphs_[cluster.glyphBegin].fontSize));
            }
        }
        if (runSpan >= 0)
            FlushRun(static_cast<std::uint32_t>(runSpan), run);
    }

    CElemText& text_;
    CFontContext& fonts_;
    CTextReferences& references_;
    CLoadContext& context_;
    std::unique_ptr<CLaidOutText> result_;
    TextContent content_;
    std::vector<CharPlacement> placements_;
    TextStyle style_;
    bool vertical_ = false;
    std::vector<Chunk> chunks_;
    std::vector<Cluster> clusters_;
    std::vector<CGlyph> glyphs_;
    std::map<std::int32_t, PathGeometry> paths_;
};

}  // namespace

bool LayOutText(CElemText& text, CFontContext& fonts, CTextReferences& references, CLoadContext& context)
{
    if (text.Id() != ElementId::text)
        return true;
    std::unique_ptr<CLaidOutText> result = CTextLayoutBuilder(text, fonts, references, context).Build();
    if (CElemDocument* document = text.Document(); document != nullptr && !result->text.empty()) {
        for (char32_t c : result->text)
            AppendUtf8(c, document->textBuffer);
        document->textBuffer += '\n';
    }
    text.layout = std::move(result);
    return true;
}

const CLaidOutText* LaidOut(const CElem& elem)
{
    if (elem.Class() != ElemClass::Text)
        return nullptr;
    return static_cast<const CLaidOutText*>(static_cast<const CElemText&>(elem).layout.get());
}

}  // namespace svg
