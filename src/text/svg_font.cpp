// SVG fonts: reading the font, matching text to its glyphs, kerning and outlines.
#include "text/svg_font.h"

#include <algorithm>
#include <cmath>

#include "model/attribute_reader.h"
#include "model/elem.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "text/bidi.h"
#include "text/glyph.h"
#include "text/shaper.h"
#include "values/number.h"
#include "values/path_data.h"
#include "values/scan.h"

namespace svg {
namespace {

// --- Reading -------------------------------------------------------------------------

// A plain number attribute (own value, "inherit" the parent's). Null when
// missing; an unreadable value is reported and null.
std::optional<float> ReadNumber(const CElem& elem, AttributeId attribute, const CLoadContext& context)
{
    const std::string* value = elem.GetAttribute(attribute, false);
    if (value == nullptr)
        return std::nullopt;
    const std::optional<Number> number = ParseLength(*value);
    if (!number || number->unit != Unit::User || !std::isfinite(number->value)) {
        ReportInvalidValue(elem, attribute, *value, context);
        return std::nullopt;
    }
    return static_cast<float>(number->value);
}

std::vector<std::string> SplitNames(std::string_view text)
{
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t comma = text.find(',', pos);
        const std::string_view item = TrimSpace(text.substr(pos, comma == std::string_view::npos ? text.npos : comma - pos));
        if (!item.empty())
            names.emplace_back(item);
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    return names;
}

// font-style as bits (comma list), 0 when absent; font-weight as a mask,
// 0 when absent or "all".
std::uint16_t ReadStyleBits(const CElem& face)
{
    const std::string* value = face.GetAttribute(AttributeId::font_style, false);
    std::uint16_t bits = 0;
    if (value != nullptr)
        for (const std::string& item : SplitNames(*value))
            bits |= item == "italic" ? FontStyleBits::kItalic
                                     : item == "oblique" ? FontStyleBits::kOblique : FontStyleBits::kNormal;
    return bits;
}

std::uint16_t ReadWeightMask(const CElem& face)
{
    const std::string* value = face.GetAttribute(AttributeId::font_weight, false);
    std::uint16_t mask = 0;
    if (value == nullptr || TrimSpace(*value) == "all")
        return 0;
    for (const std::string& item : SplitNames(*value)) {
        if (item == "normal")
            mask |= WeightBit(400);
        else if (item == "bold")
            mask |= WeightBit(700);
        else if (const std::optional<Number> number = ParseLength(item))
            mask |= WeightBit(static_cast<int>(number->value));
    }
    return mask;
}

void ReadFontFaceMetrics(const CElem& fontFace, CFontFaceSvg& face, bool vertOriginYSet, const CLoadContext& context)
{
    const std::string* family = fontFace.GetAttribute(AttributeId::font_family, false);
    face.family = family != nullptr ? std::string(TrimSpace(*family)) : std::string();
    if (face.family.size() >= 2 && (face.family.front() == '\'' || face.family.front() == '"') &&
        face.family.back() == face.family.front())
        face.family = face.family.substr(1, face.family.size() - 2);
    face.style = ReadStyleBits(fontFace);
    face.weightMask = ReadWeightMask(fontFace);
    if (const std::string* stretch = fontFace.GetAttribute(AttributeId::font_stretch, false))
        face.stretch = std::string(TrimSpace(*stretch));
    if (const std::string* ranges = fontFace.GetAttribute(AttributeId::unicode_range, false)) {
        if (const auto parsed = ParseCharacterRanges(*ranges))
            face.unicodeRanges = *parsed;
        else
            ReportInvalidValue(fontFace, AttributeId::unicode_range, *ranges, context);
    }
    const auto number = [&](AttributeId attribute) { return ReadNumber(fontFace, attribute, context); };
    if (const auto upem = number(AttributeId::units_per_em); upem && *upem > 0)
        face.unitsPerEm = *upem;
    const float upem = face.unitsPerEm;
    const std::optional<float> ascent = number(AttributeId::ascent);
    face.ascent = ascent.value_or(upem - face.vertOriginY);
    if (ascent && !vertOriginYSet)
        face.vertOriginY = upem - *ascent;
    face.accentHeight = number(AttributeId::accent_height).value_or(face.ascent);
    face.descent = number(AttributeId::descent).value_or(face.vertOriginY);
    face.slope = number(AttributeId::slope).value_or(0);
    face.ideographic = number(AttributeId::ideographic).value_or(face.ascent);
    face.alphabetic = number(AttributeId::alphabetic).value_or(0);
    face.mathematical = number(AttributeId::mathematical).value_or(face.horizOriginY);
    face.hanging = number(AttributeId::hanging).value_or(upem);
    face.vIdeographic = number(AttributeId::v_ideographic).value_or(0);
    face.vAlphabetic = number(AttributeId::v_alphabetic).value_or(0);
    face.vMathematical = number(AttributeId::v_mathematical).value_or(0);
    face.vHanging = number(AttributeId::v_hanging).value_or(0);
    face.underlinePosition = number(AttributeId::underline_position).value_or(-face.descent);
    face.underlineThickness = number(AttributeId::underline_thickness).value_or(upem / 10);
    face.strikethroughPosition = number(AttributeId::strikethrough_position).value_or(face.ascent * 0.5f);
    face.strikethroughThickness = number(AttributeId::strikethrough_thickness).value_or(upem / 10);
    face.overlinePosition = number(AttributeId::overline_position).value_or(face.ascent);
    face.overlineThickness = number(AttributeId::overline_thickness).value_or(upem / 10);
    face.capHeight = number(AttributeId::cap_height).value_or(0);
    face.xHeight = number(AttributeId::x_height).value_or(0);
    face.subscriptOffset = upem * 0.2f;
    face.superscriptOffset = upem * 0.4f;
}

void ReportGlyphPath(const CElem& glyph, const std::string& d, std::size_t errorAt, const CLoadContext& context)
{
    const std::string next = d.substr(errorAt, 20);
    context.Log().Report(glyph, msg::kGlyphPathInvalid, static_cast<int>(errorAt), next.c_str());
}

CGlyphDef ReadGlyph(const CElem& glyph, const CFontFaceSvg& face, const CLoadContext& context)
{
    CGlyphDef def;
    def.element = &glyph;
    if (const std::string* unicode = glyph.GetAttribute(AttributeId::unicode, false))
        def.unicode = DecodeUtf8(*unicode);
    if (const std::string* name = glyph.GetAttribute(AttributeId::glyph_name, false))
        def.glyphName = std::string(TrimSpace(*name));
    if (const std::string* lang = glyph.GetAttribute(AttributeId::lang, false))
        def.lang = *lang;
    if (const std::string* d = glyph.GetAttribute(AttributeId::d, false)) {
        ParsedPath parsed = ParsePathData(*d, LengthContext{}, FillRule::NonZero);
        if (parsed.errorAt != std::string_view::npos)
            ReportGlyphPath(glyph, *d, parsed.errorAt, context);
        def.outline = std::move(parsed.path);
    }
    if (const std::string* form = glyph.GetAttribute(AttributeId::arabic_form, false)) {
        const std::string_view text = TrimSpace(*form);
        def.arabicForm = text == "initial"    ? ArabicForm::kInitial
                         : text == "medial"   ? ArabicForm::kMedial
                         : text == "terminal" ? ArabicForm::kTerminal
                         : text == "isolated" ? ArabicForm::kIsolated
                                              : -1;
        if (def.arabicForm < 0) {
            ReportInvalidValue(glyph, AttributeId::arabic_form, *form, context);
            def.arabicForm = ArabicForm::kInitial;
        }
    }
    if (const std::string* orientation = glyph.GetAttribute(AttributeId::orientation, false)) {
        const std::string_view text = TrimSpace(*orientation);
        if (text != "h" && text != "v" && text != "H" && text != "V")
            ReportInvalidValue(glyph, AttributeId::orientation, *orientation, context);
    }
    def.horizAdvX = ReadNumber(glyph, AttributeId::horiz_adv_x, context).value_or(face.horizAdvX);
    def.vertAdvY = ReadNumber(glyph, AttributeId::vert_adv_y, context).value_or(face.vertAdvY);
    for (const CElem* child : glyph.Children())
        if (child->Class() != ElemClass::String && child->Class() != ElemClass::Comment)
            def.hasContent = true;
    return def;
}

bool IsCapital(char32_t c) { return c >= U'A' && c <= U'Z'; }

// x-height and cap height measured from the glyphs of "x" and "A" (or of
// other lower-case letters without ascenders and of capitals) when the
// font-face gives none; and the union of the outlines for the bbox.
struct Measures {
    float xHeight = 0, capHeight = 0;
    std::optional<RectF> bounds;

    void Add(const CGlyphDef& def)
    {
        if (def.unicode.size() != 1 || def.outline.Empty())
            return;
        const std::optional<RectF> box = TightBounds(def.outline);
        if (!box)
            return;
        const char32_t c = def.unicode[0];
        const float top = box->Bottom();  // y upward: the outline's top edge
        if (c == U'x' || (xHeight == 0 && std::u32string_view(U"acemnorsuvwz").find(c) != std::u32string_view::npos))
            xHeight = top;
        if (c == U'A' || (capHeight == 0 && IsCapital(c)))
            capHeight = top;
        if (!bounds) {
            bounds = *box;
        } else {
            const float left = std::min(bounds->x, box->x), bottom = std::min(bounds->y, box->y);
            bounds = RectF{left, bottom, std::max(bounds->Right(), box->Right()) - left,
                           std::max(bounds->Bottom(), box->Bottom()) - bottom};
        }
    }
};

std::optional<CKern> ReadKern(const CElem& kern, const CLoadContext& context)
{
    CKern result;
    const char* name = kern.Name().c_str();
    const auto ranges = [&](AttributeId attribute, std::vector<UnicodeRange>& out) {
        const std::string* value = kern.GetAttribute(attribute, false);
        if (value == nullptr)
            return false;
        const auto parsed = ParseCharacterRanges(*value);
        if (!parsed) {
            context.Log().Report(kern, attribute == AttributeId::u1 ? msg::kKernU1Invalid : msg::kKernU2Invalid, name,
                                 value->c_str());
            return false;
        }
        out = *parsed;
        return true;
    };
    const auto names = [&](AttributeId attribute, std::vector<std::string>& out) {
        const std::string* value = kern.GetAttribute(attribute, false);
        if (value == nullptr)
            return false;
        out = SplitNames(*value);
        if (out.empty())
            ReportInvalidValue(kern, attribute, *value, context);
        return !out.empty();
    };
    // Both spellings of each side are read (and reported) even when one is valid.
    const bool firstByCharacter = ranges(AttributeId::u1, result.u1);
    const bool firstByName = names(AttributeId::g1, result.g1);
    const bool secondByCharacter = ranges(AttributeId::u2, result.u2);
    const bool secondByName = names(AttributeId::g2, result.g2);
    const bool first = firstByCharacter || firstByName;
    const bool second = secondByCharacter || secondByName;
    result.k = ReadNumber(kern, AttributeId::k, context).value_or(0);
    if (!first)
        context.Log().Report(kern, msg::kKernFirstMissing, name);
    if (!second)
        context.Log().Report(kern, msg::kKernSecondMissing, name);
    if (!first || !second)
        return std::nullopt;
    return result;
}

bool InRanges(const std::vector<UnicodeRange>& ranges, char32_t c)
{
    return std::any_of(ranges.begin(), ranges.end(),
                       [c](const UnicodeRange& range) { return c >= range.first && c <= range.last; });
}

bool Named(const std::vector<std::string>& names, const std::string& name)
{
    return !name.empty() && std::find(names.begin(), names.end(), name) != names.end();
}

bool SideMatches(const std::vector<UnicodeRange>& ranges, const std::vector<std::string>& names,
                 const CGlyphDef* def)
{
    if (def == nullptr)
        return false;
    return (!def->unicode.empty() && InRanges(ranges, def->unicode[0])) || Named(names, def->glyphName);
}

}  // namespace

// --- The face --------------------------------------------------------------------------

const CGlyphDef* CFontFaceSvg::Def(std::uint32_t glyphNumber) const
{
    if (glyphNumber == 0 || glyphNumber > glyphs.size())
        return missingGlyph ? &*missingGlyph : nullptr;
    return &glyphs[glyphNumber - 1];
}

// The first glyph in document order whose characters begin the text at
// `at` and whose Arabic form, if it has one, is the form the joining of its
// characters with their neighbours asks for.
int CFontFaceSvg::FindMatch(std::u32string_view text, std::size_t at, const std::vector<Joins>& joins) const
{
    for (std::size_t g = 0; g < glyphs.size(); ++g) {
        const CGlyphDef& def = glyphs[g];
        if (def.unicode.empty() || text.substr(at).substr(0, def.unicode.size()) != def.unicode)
            continue;
        if (def.arabicForm == ArabicForm::kNone)
            return static_cast<int>(g);
        const bool before = joins[at].before;
        const bool after = joins[at + def.unicode.size() - 1].after;
        const int form = before && after ? ArabicForm::kMedial
                         : before        ? ArabicForm::kTerminal
                         : after         ? ArabicForm::kInitial
                                         : ArabicForm::kIsolated;
        if (def.arabicForm == form)
            return static_cast<int>(g);
    }
    return -1;
}

// Which characters join the letter before and after them (Unicode joining
// types; transparent marks are skipped and do not break a word).
std::vector<CFontFaceSvg::Joins> CFontFaceSvg::Joining(std::u32string_view text)
{
    std::vector<Joins> joins(text.size());
    const auto joinsForward = [](char t) { return t == 'D' || t == 'L' || t == 'C'; };
    const auto joinsBackward = [](char t) { return t == 'D' || t == 'R' || t == 'C'; };
    std::size_t previous = text.size();  // the last letter that is not transparent
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char type = JoiningType(text[i]);
        if (type == 'T')
            continue;
        if (previous < text.size() && joinsForward(JoiningType(text[previous])) && joinsBackward(type)) {
            joins[previous].after = true;
            joins[i].before = true;
        }
        previous = i;
    }
    return joins;
}

std::vector<ShapedGlyph> CFontFaceSvg::Shape(std::u32string_view text, std::size_t start, std::size_t end,
                                             bool rightToLeft, bool kerning) const
{
    std::u32string run(text.substr(start, end - start));
    if (rightToLeft)
        for (char32_t& c : run)
            c = MirroredChar(c);
    std::vector<ShapedGlyph> shaped;
    const std::vector<Joins> joins = Joining(run);
    for (std::size_t at = 0; at < run.size();) {
        const bool mark = IsMarkCategory(run[at]);
        const int match = FindMatch(run, at, joins);
        ShapedGlyph glyph;
        glyph.cluster = static_cast<std::uint32_t>(at);
        glyph.glyph = match < 0 ? 0 : static_cast<std::uint32_t>(match + 1);
        const CGlyphDef* def = Def(glyph.glyph);
        // Marks and format characters take no room in an SVG font.
        glyph.xAdvance = mark ? 0 : def != nullptr && def->horizAdvX > 0 ? def->horizAdvX : unitsPerEm;
        glyph.yAdvance = -(def != nullptr && def->vertAdvY > 0 ? def->vertAdvY : unitsPerEm);
        at += match < 0 ? 1 : std::max<std::size_t>(glyphs[static_cast<std::size_t>(match)].unicode.size(), 1);
        if (kerning && !shaped.empty())
            shaped.back().xAdvance -= Kerning(hkerns, Def(shaped.back().glyph), def);
        shaped.push_back(glyph);
    }
    return shaped;
}

float CFontFaceSvg::Kerning(const std::vector<CKern>& kerns, const CGlyphDef* first, const CGlyphDef* second) const
{
    for (const CKern& kern : kerns)
        if (SideMatches(kern.u1, kern.g1, first) && SideMatches(kern.u2, kern.g2, second))
            return kern.k;
    return 0;
}

bool CFontFaceSvg::GetGlyphMetrics(const CGlyph& glyph, float fontSize, GlyphMetrics& out) const
{
    out = {};
    const CGlyphDef* def = Def(glyph.glyphIndex);
    if (def == nullptr)
        return false;
    const float scale = UserScale(fontSize);
    out.advance = def->horizAdvX > 0 ? def->horizAdvX * scale : std::min(fontSize, unitsPerEm * scale);
    out.vAdvance = def->vertAdvY > 0 ? def->vertAdvY * scale : fontSize;
    if (slope != 0) {
        const float side = -std::sin(slope * 3.14159265f / 180) * unitsPerEm / 2 * scale;
        out.leftBearing = out.rightBearing = side;
    }
    out.inkWidth = out.advance - out.leftBearing - out.rightBearing;
    return true;
}

Matrix CFontFaceSvg::ContentTransform(PointF origin, float fontSize) const
{
    Matrix transform = OutlineTransform(origin, fontSize);
    transform.dx -= horizOriginX * UserScale(fontSize);
    return transform;
}

bool CFontFaceSvg::AddGlyphOutline(const CGlyph& glyph, PointF origin, float fontSize, CGraphicsPath& out) const
{
    const CGlyphDef* def = Def(glyph.glyphIndex);
    if (def == nullptr || def->outline.Empty() || UserScale(fontSize) == 0)
        return false;
    const Matrix toUser = ContentTransform(origin, fontSize);
    out.Reserve(out.Size() + def->outline.Size());
    for (std::size_t i = 0; i < def->outline.Size(); ++i) {
        const PointD p = toUser.Apply({def->outline.points[i].x, def->outline.points[i].y});
        out.Append({static_cast<float>(p.x), static_cast<float>(p.y)}, def->outline.types[i]);
    }
    return true;
}

const CGlyphDef* CFontFaceSvg::FindGlyphForForm(std::u32string_view text, int arabicForm) const
{
    const CGlyphDef* first = nullptr;
    for (const CGlyphDef& def : glyphs) {
        if (def.unicode.empty() || text.substr(0, def.unicode.size()) != def.unicode)
            continue;
        int form = arabicForm;
        if (def.unicode.size() > 1 && def.unicode.size() < text.size()) {
            const char type = JoiningType(text[def.unicode.size()]);
            const bool joinsOn = type == 'R' || type == 'D';
            if (joinsOn)
                form = form == ArabicForm::kTerminal ? ArabicForm::kMedial
                       : form == ArabicForm::kIsolated ? ArabicForm::kInitial : form;
            else
                form = form == ArabicForm::kInitial ? ArabicForm::kIsolated
                       : form == ArabicForm::kMedial ? ArabicForm::kTerminal : form;
        }
        if (def.arabicForm == ArabicForm::kNone || def.arabicForm == form)
            return &def;
        if (first == nullptr)
            first = &def;
    }
    return first;
}

float CFontFaceSvg::GetHKerning(std::u32string_view first, std::u32string_view second, float fontSize) const
{
    const CGlyphDef* a = FindGlyphForForm(first, ArabicForm::kNone);
    const CGlyphDef* b = FindGlyphForForm(second, ArabicForm::kNone);
    return Kerning(hkerns, a, b) * UserScale(fontSize);
}

float CFontFaceSvg::GetVKerning(std::u32string_view first, std::u32string_view second, float fontSize) const
{
    const CGlyphDef* a = FindGlyphForForm(first, ArabicForm::kNone);
    const CGlyphDef* b = FindGlyphForForm(second, ArabicForm::kNone);
    return Kerning(vkerns, a, b) * UserScale(fontSize);
}

// --- Building ----------------------------------------------------------------------------

std::shared_ptr<CFontFaceSvg> BuildSvgFontFace(const CElem& font, const CLoadContext& context)
{
    auto face = std::make_shared<CFontFaceSvg>();
    face->fontElement = &font;
    const auto number = [&](AttributeId attribute) { return ReadNumber(font, attribute, context); };
    face->horizOriginX = number(AttributeId::horiz_origin_x).value_or(0);
    face->horizOriginY = number(AttributeId::horiz_origin_y).value_or(0);
    const std::optional<float> advance = number(AttributeId::horiz_adv_x);
    face->horizAdvX = std::max(advance.value_or(0), 0.0f);
    face->vertOriginX = number(AttributeId::vert_origin_x).value_or(advance ? face->horizAdvX / 2 : 0);
    const std::optional<float> vertOriginY = number(AttributeId::vert_origin_y);
    face->vertOriginY = vertOriginY.value_or(0);
    const std::optional<float> vertAdvance = number(AttributeId::vert_adv_y);

    const CElem* fontFace = nullptr;
    Measures measures;
    for (const CElem* child : font.Children()) {
        switch (child->Id()) {
        case ElementId::font_face:
            if (fontFace == nullptr) {
                fontFace = child;
                ReadFontFaceMetrics(*child, *face, vertOriginY.has_value(), context);
            } else {
                context.Log().Report(*child, msg::kFontFaceTwice, face->family.c_str());
            }
            break;
        case ElementId::missing_glyph:
            if (!face->missingGlyph)
                face->missingGlyph = ReadGlyph(*child, *face, context);
            break;
        case ElementId::glyph:
            face->glyphs.push_back(ReadGlyph(*child, *face, context));
            measures.Add(face->glyphs.back());
            break;
        case ElementId::hkern:
        case ElementId::vkern:
            if (std::optional<CKern> kern = ReadKern(*child, context))
                (child->Id() == ElementId::hkern ? face->hkerns : face->vkerns).push_back(std::move(*kern));
            break;
        default: break;
        }
    }
    if (fontFace == nullptr) {
        context.Log().Report(msg::kFontFaceMissing, font.IdAttribute().c_str());
        return nullptr;
    }
    face->vertAdvY = vertAdvance.value_or(face->unitsPerEm);
    for (CGlyphDef& def : face->glyphs)
        if (!(def.vertAdvY > 0))
            def.vertAdvY = face->vertAdvY;
    if (face->capHeight <= 0)
        face->capHeight = measures.capHeight > 0 ? measures.capHeight : face->unitsPerEm;
    if (face->xHeight <= 0)
        face->xHeight = measures.xHeight > 0 ? measures.xHeight : face->unitsPerEm / 2;
    if (measures.bounds && measures.bounds->width > 1.1920929e-7f && measures.bounds->height > 1.1920929e-7f)
        face->bbox = *measures.bounds;
    return face;
}

std::optional<std::vector<UnicodeRange>> ParseCharacterRanges(std::string_view text)
{
    std::vector<UnicodeRange> ranges;
    for (const std::string& item : SplitNames(text)) {
        if (item.size() < 2 || (item[0] != 'U' && item[0] != 'u') || item[1] != '+') {
            const std::u32string chars = DecodeUtf8(item);
            ranges.push_back({chars[0], chars[0]});
            continue;
        }
        std::size_t pos = 0;
        const std::optional<UnicodeRange> range = ParseUnicodeRange(item, pos);
        if (!range || pos != item.size())
            return std::nullopt;
        ranges.push_back(*range);
    }
    if (ranges.empty())
        return std::nullopt;
    return ranges;
}

}  // namespace svg
