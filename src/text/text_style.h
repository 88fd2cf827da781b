// The text properties of each content element of a `text` element, read
// once per element before layout: font request, spacing, anchor, baseline
// placement, decorations, direction, textLength and glyph orientation.
// Properties SVG 1.1 inherits are read from the element or its nearest
// ancestor; the others from the element alone (baseline-shift adds up along
// the nesting of content elements, as each shifts within its parent).
//
// Lengths are user units. Invalid values are reported with the element's
// location and the default is used. The records point into the element
// tree and share the faces they chose.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "text/font_pool.h"
#include "text/text_content.h"

namespace svg {

class CFontContext;

enum class TextAnchor : std::uint8_t { Start, Middle, End };

// Writing mode of a whole text element.
enum class WritingMode : std::uint8_t { LeftToRight, RightToLeft, TopToBottom };

// A glyph orientation: automatic, or a number of quarter turns (0..3).
inline constexpr int kOrientationAuto = -1;

struct SpanStyle {
    const CElem* elem = nullptr;

    // Font request and the face that places baselines and decorations.
    std::string familyList;
    FaceQuery query;
    float fontSize = 0;
    std::shared_ptr<CFontFace> primaryFace;

    float letterSpacing = 0;
    float wordSpacing = 0;
    bool fontKerning = true;  // kerning="auto"; a length turns pair kerning off
    float kerningSpacing = 0; // kerning as a length: added between characters
    TextAnchor anchor = TextAnchor::Start;
    bool rtl = false;          // direction
    int embedding = 0;         // BidiEmbedding code from direction and unicode-bidi

    // Where the span's glyphs sit across the line, relative to the text's
    // baseline: positive down (horizontal) or right (vertical), user units.
    float baselineOffset = 0;

    // The element whose paint draws each decoration over the span's glyphs;
    // null for none.
    const CElem* underline = nullptr;
    const CElem* overline = nullptr;
    const CElem* lineThrough = nullptr;

    // textLength of this element (none when absent or unusable) and its lengthAdjust.
    std::optional<float> textLength;
    bool spacingAndGlyphs = false;

    int orientationVertical = kOrientationAuto;
    int orientationHorizontal = 0;
};

struct TextStyle {
    WritingMode mode = WritingMode::LeftToRight;
    std::vector<SpanStyle> spans;  // parallel to TextContent::spans
};

// Reads every span's style; spans[0] is the `text` element.
TextStyle ReadTextStyle(const TextContent& content, CFontContext& fonts, CLoadContext& context);

bool IsVertical(WritingMode mode);

}  // namespace svg
