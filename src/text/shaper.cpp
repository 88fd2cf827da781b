// HarfBuzz shaping and per-character font fallback.
#include "text/shaper.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/limits.h"
#include "text/sfnt_font.h"
#include "text/shaping_libraries.h"
#include "text/svg_font.h"

namespace svg {
namespace {

// HarfBuzz looks at most this many characters around a run for context.
constexpr std::size_t kContextChars = 5;

hb_direction_t HbDirection(TextDirection direction)
{
    switch (direction) {
    case TextDirection::RightToLeft: return HB_DIRECTION_RTL;
    case TextDirection::TopToBottom: return HB_DIRECTION_TTB;
    case TextDirection::LeftToRight: break;
    }
    return HB_DIRECTION_LTR;
}

std::vector<hb_feature_t> Features(const ShapeOptions& options, std::string& asText)
{
    std::vector<std::string> settings;
    if (!options.kerning)
        settings.push_back("-kern");
    if (!options.ligatures) {
        settings.push_back("-liga");
        settings.push_back("-clig");
    }
    settings.insert(settings.end(), options.features.begin(), options.features.end());
    std::vector<hb_feature_t> features;
    for (const std::string& setting : settings) {
        hb_feature_t feature;
        if (hb_feature_from_string(setting.c_str(), static_cast<int>(setting.size()), &feature)) {
            features.push_back(feature);
            asText += setting;
            asText += ',';
        }
    }
    return features;
}

struct BufferDeleter {
    void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};

std::vector<ShapedGlyph> Shape(CSfntFont& font, std::u32string_view context, std::size_t before, std::size_t length,
                               const ShapeOptions& options, const std::vector<hb_feature_t>& features, bool atStart,
                               bool atEnd)
{
    const std::unique_ptr<hb_buffer_t, BufferDeleter> buffer(hb_buffer_create());
    hb_buffer_add_utf32(buffer.get(), reinterpret_cast<const std::uint32_t*>(context.data()),
                        static_cast<int>(context.size()), static_cast<unsigned>(before), static_cast<int>(length));
    hb_buffer_set_direction(buffer.get(), HbDirection(options.direction));
    if (!options.script.empty())
        hb_buffer_set_script(buffer.get(), hb_script_from_string(options.script.c_str(), -1));
    if (!options.language.empty())
        hb_buffer_set_language(buffer.get(), hb_language_from_string(options.language.c_str(), -1));
    hb_buffer_guess_segment_properties(buffer.get());
    hb_buffer_set_flags(buffer.get(), static_cast<hb_buffer_flags_t>((atStart ? HB_BUFFER_FLAG_BOT : 0) |
                                                                     (atEnd ? HB_BUFFER_FLAG_EOT : 0)));
    hb_shape(font.HbFont(), buffer.get(), features.data(), static_cast<unsigned>(features.size()));

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer.get(), &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer.get(), &count);
    std::vector<ShapedGlyph> glyphs(count);
    // The font is sized so that HarfBuzz's 26.6 units are font units x 64.
    for (unsigned i = 0; i < count; ++i) {
        ShapedGlyph& glyph = glyphs[i];
        glyph.glyph = infos[i].codepoint;
        glyph.cluster = static_cast<std::uint32_t>(infos[i].cluster - before);
        glyph.xAdvance = positions[i].x_advance / 64.0f;
        glyph.yAdvance = positions[i].y_advance / 64.0f;
        glyph.xOffset = positions[i].x_offset / 64.0f;
        glyph.yOffset = positions[i].y_offset / 64.0f;
    }
    // HarfBuzz gives right-to-left runs in visual order; the glyph list is
    // logical, and the layout's reordering puts them back.
    if (HB_DIRECTION_IS_BACKWARD(hb_buffer_get_direction(buffer.get())))
        std::reverse(glyphs.begin(), glyphs.end());
    return glyphs;
}

}  // namespace

std::vector<ShapedGlyph> ShapeRun(CSfntFont& font, std::u32string_view text, std::size_t start, std::size_t length,
                                  const ShapeOptions& options, CShapeCache* cache)
{
    if (start > text.size())
        return {};
    length = std::min(length, text.size() - start);
    const std::size_t before = std::min(start, kContextChars);
    const std::size_t after = std::min(text.size() - start - length, kContextChars);
    const std::u32string_view context = text.substr(start - before, before + length + after);

    ShapeKey key;
    const std::vector<hb_feature_t> features = Features(options, key.features);
    const bool cacheable = cache != nullptr && context.size() <= limits::kMaxShapeCacheRunChars;
    if (cacheable) {
        key.font = &font;
        key.text = context;
        key.contextBefore = static_cast<std::uint32_t>(before);
        key.contextAfter = static_cast<std::uint32_t>(after);
        key.direction = HbDirection(options.direction);
        key.script = options.script.empty() ? 0 : hb_script_from_string(options.script.c_str(), -1);
        key.language = options.language;
        if (const std::vector<ShapedGlyph>* found = cache->Find(key))
            return *found;
    }
    std::vector<ShapedGlyph> glyphs =
        Shape(font, context, before, length, options, features, start == 0, start + length == text.size());
    if (cacheable)
        cache->Insert(key, glyphs);
    return glyphs;
}

namespace {

// Characters [start, end) of the string drawn by the glyphs of one face.
struct Cluster {
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t face = 0;  // index into the face list
    bool missing = false;
    std::vector<ShapedGlyph> glyphs;  // clusters counted from the string's start
};

// Groups shaped glyphs (clusters from `start`) into clusters ending before
// `end`; a cluster is missing when a glyph is 0 or the face may not be used
// for one of its characters.
std::vector<Cluster> Clusters(std::vector<ShapedGlyph> glyphs, std::size_t start, std::size_t end,
                              std::size_t faceIndex, const CFontFace& face, std::u32string_view text)
{
    std::vector<Cluster> clusters;
    for (ShapedGlyph& glyph : glyphs) {
        glyph.cluster += static_cast<std::uint32_t>(start);
        if (clusters.empty() || clusters.back().start != glyph.cluster)
            clusters.push_back({glyph.cluster, end, faceIndex, false, {}});
        clusters.back().missing = clusters.back().missing || glyph.glyph == 0;
        clusters.back().glyphs.push_back(glyph);
    }
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        Cluster& cluster = clusters[i];
        if (i + 1 < clusters.size())
            cluster.end = clusters[i + 1].start;
        for (std::size_t c = cluster.start; c < cluster.end && !cluster.missing; ++c)
            cluster.missing = !FaceCovers(face, text[c]);
    }
    return clusters;
}

// A face that does not shape with HarfBuzz (an SVG font) matches characters
// itself; until it can, it has none of them.
std::vector<Cluster> MissingClusters(std::size_t start, std::size_t end, std::size_t faceIndex)
{
    std::vector<Cluster> clusters;
    for (std::size_t c = start; c < end; ++c)
        clusters.push_back({c, c + 1, faceIndex, true, {ShapedGlyph{0, static_cast<std::uint32_t>(c), 0, 0, 0, 0}}});
    return clusters;
}

std::vector<Cluster> ShapeWith(CFontPool& pool, const FaceList& faces, std::size_t faceIndex, std::u32string_view text,
                               std::size_t start, std::size_t end, const ShapeOptions& options)
{
    const CFontFace& face = *faces[faceIndex];
    if (face.Kind() == FaceKind::Svg) {
        const auto& svgFont = static_cast<const CFontFaceSvg&>(face);
        return Clusters(svgFont.Shape(text, start, end, options.direction == TextDirection::RightToLeft, options.kerning),
                        start, end, faceIndex, face, text);
    }
    CSfntFont* font = face.Sfnt();
    if (font == nullptr)
        return MissingClusters(start, end, faceIndex);
    return Clusters(ShapeRun(*font, text, start, end - start, options, &pool.ShapeResults()), start, end, faceIndex,
                    face, text);
}

bool AllMissing(const std::vector<Cluster>& clusters)
{
    return std::all_of(clusters.begin(), clusters.end(), [](const Cluster& cluster) { return cluster.missing; });
}

// Re-shapes every run of consecutive missing clusters with face `faceIndex`.
void FillMissing(CFontPool& pool, const FaceList& faces, std::size_t faceIndex, std::u32string_view text,
                 const ShapeOptions& options, std::vector<Cluster>& clusters, const CStopToken& stop)
{
    std::vector<Cluster> result;
    result.reserve(clusters.size());
    for (std::size_t i = 0; i < clusters.size();) {
        if (!clusters[i].missing || stop.StopRequested()) {
            result.push_back(std::move(clusters[i++]));
            continue;
        }
        std::size_t j = i;
        while (j < clusters.size() && clusters[j].missing)
            ++j;
        std::vector<Cluster> reshaped = ShapeWith(pool, faces, faceIndex, text, clusters[i].start, clusters[j - 1].end,
                                                  options);
        // A face that has none of the characters either leaves the earlier
        // face's missing glyphs: the first face draws what no face has.
        if (!AllMissing(reshaped)) {
            for (Cluster& cluster : reshaped)
                result.push_back(std::move(cluster));
        } else {
            for (std::size_t k = i; k < j; ++k)
                result.push_back(std::move(clusters[k]));
        }
        i = j;
    }
    clusters = std::move(result);
}

// Faces that have the first character of a missing cluster, found by
// character among every installed font, appended to the face list once.
void AddLastResortFaces(CFontPool& pool, std::u32string_view text, const FaceQuery& query,
                        const std::vector<Cluster>& clusters, FaceList& faces)
{
    for (const Cluster& cluster : clusters) {
        if (!cluster.missing || cluster.start >= text.size())
            continue;
        std::shared_ptr<CFontFace> face = pool.FaceForChar(text[cluster.start], query);
        if (face && std::find(faces.begin(), faces.end(), face) == faces.end())
            faces.push_back(std::move(face));
    }
}

bool AnyMissing(const std::vector<Cluster>& clusters)
{
    return std::any_of(clusters.begin(), clusters.end(), [](const Cluster& cluster) { return cluster.missing; });
}

void AppendGlyphs(const std::vector<Cluster>& clusters, const FaceList& faces, std::u32string_view text,
                  const AssignRequest& request, float fontSize, std::vector<CGlyph>& out)
{
    for (const Cluster& cluster : clusters) {
        const std::shared_ptr<CFontFace>& face = faces[cluster.face];
        CSfntFont* font = face->Sfnt();
        const float scale = face->unitsPerEm > 0 ? fontSize / face->unitsPerEm : 0;
        bool first = true;
        for (const ShapedGlyph& shaped : cluster.glyphs) {
            CGlyph glyph;
            if (first)
                glyph.text = text.substr(cluster.start, cluster.end - cluster.start);
            first = false;
            glyph.firstChar = cluster.start;
            glyph.glyphIndex = shaped.glyph;
            if (face->Kind() == FaceKind::Svg)
                glyph.glyphDef = static_cast<const CFontFaceSvg&>(*face).Def(shaped.glyph);
            glyph.missing = cluster.missing;
            glyph.face = face;
            glyph.fontSize = fontSize;
            if (request.shaping.direction == TextDirection::TopToBottom) {
                glyph.advance = font != nullptr ? font->HAdvance(shaped.glyph) * scale : 0;
                glyph.vAdvance = -shaped.yAdvance * scale;
            } else {
                glyph.advance = shaped.xAdvance * scale;
                // SVG fonts give their vertical advance with the glyph.
                glyph.vAdvance = font != nullptr         ? font->VAdvance(shaped.glyph) * scale
                                 : shaped.yAdvance != 0 ? -shaped.yAdvance * scale
                                                        : fontSize;
            }
            glyph.offsetX = shaped.xOffset * scale;
            glyph.offsetY = -shaped.yOffset * scale;
            glyph.bidiLevel = request.bidiLevel;
            out.push_back(std::move(glyph));
        }
    }
}

// Without any font installed every character is a missing glyph of no face.
void AppendFaceless(std::u32string_view text, std::size_t start, std::size_t end, const AssignRequest& request,
                    float fontSize, std::vector<CGlyph>& out)
{
    for (std::size_t c = start; c < end; ++c) {
        CGlyph glyph;
        glyph.text = text.substr(c, 1);
        glyph.firstChar = c;
        glyph.missing = true;
        glyph.fontSize = fontSize;
        glyph.vAdvance = fontSize;
        glyph.bidiLevel = request.bidiLevel;
        out.push_back(std::move(glyph));
    }
}

}  // namespace

std::size_t AssignFonts(CFontPool& pool, std::u32string_view text, const AssignRequest& request,
                        std::vector<CGlyph>& out, const CStopToken& stop)
{
    return AssignFonts(pool, text, 0, text.size(), request, out, stop);
}

std::size_t AssignFonts(CFontPool& pool, std::u32string_view text, std::size_t start, std::size_t end,
                        const AssignRequest& request, std::vector<CGlyph>& out, const CStopToken& stop)
{
    text = text.substr(0, std::min(text.size(), limits::kMaxShapedChars));
    end = std::min(end, text.size());
    if (start >= end)
        return 0;
    const float fontSize =
        std::isfinite(request.fontSize) ? std::clamp(request.fontSize, 0.0f, limits::kMaxFontSize) : 0.0f;
    const std::size_t firstNew = out.size();
    // A copy: the pool may forget its list when later strings install faces.
    const FaceList faces = pool.FallbackFaces(request.familyList, request.alternateFamilies, request.query);
    if (faces.empty()) {
        AppendFaceless(text, start, end, request, fontSize, out);
    } else {
        FaceList allFaces = faces;
        std::vector<Cluster> clusters = ShapeWith(pool, allFaces, 0, text, start, end, request.shaping);
        for (std::size_t face = 1; face < allFaces.size() && AnyMissing(clusters) && !stop.StopRequested(); ++face)
            FillMissing(pool, allFaces, face, text, request.shaping, clusters, stop);
        AddLastResortFaces(pool, text, request.query, clusters, allFaces);
        for (std::size_t face = faces.size(); face < allFaces.size() && AnyMissing(clusters) && !stop.StopRequested();
             ++face)
            FillMissing(pool, allFaces, face, text, request.shaping, clusters, stop);
        AppendGlyphs(clusters, allFaces, text, request, fontSize, out);
    }
    if (out.size() > firstNew) {
        out[firstNew].embedding = request.embedding;
        out.back().runEnd = true;
    }
    return out.size() - firstNew;
}

std::u32string DecodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length && valid; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(c);
        i += length;
    }
    return out;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace svg
