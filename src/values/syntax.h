// The smaller attribute syntaxes: url() references, preserveAspectRatio,
// unicode ranges, view boxes and the keyword sets of attributes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/elem.h"

namespace svg {

// "url(ref) fallback": the reference without quotes and blanks, and the text
// after ")" trimmed. Null when the text is not a url() value.
struct UrlValue {
    std::string_view reference;
    std::string_view fallback;
};
std::optional<UrlValue> ParseUrl(std::string_view text);

struct AspectRatio {
    bool defer = false;
    int align = 5;  // 0 none; 1..9 xMinYMin..xMaxYMax (x position * 3 + y position + 1)
    bool slice = false;
};
// False (and the default) when "defer" is followed by nothing.
bool ParseAspectRatio(std::string_view text, AspectRatio& out);

struct UnicodeRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};
std::optional<UnicodeRange> ParseUnicodeRange(std::string_view text, std::size_t& pos);
// Ranges separated by white space and commas, up to the first that does not parse.
std::vector<UnicodeRange> ParseUnicodeRangeList(std::string_view text);

// The element's viewBox: reports "E %s viewBox="%s" :Invalid value at %d(%d)"
// for a count other than 4; false when absent or with fewer than 4 numbers.
bool ParseViewBox(const CElem& elem, RectF& out);

// Keyword sets. `value` null means the attribute is absent.
int ParseUnitsKeyword(const std::string* value);          // objectBoundingBox 0, userSpaceOnUse 1, strokeWidth 2; absent 0; else -1000
int ParseFilterInput(const std::string* value);           // SourceGraphic 1 .. StrokePaint 6; absent -1; else -1000
int ParseEdgeMode(const std::string* value, int absent);  // duplicate 1, wrap 2, none 3; else 0
int ParseCompositeOperator(const std::string* value);     // over 1 .. arithmetic 6; absent 1; else 0
int ParseStitchTiles(const std::string* value);           // noStitch 1, stitch 2; absent 1; else 0
int ParseTurbulenceType(const std::string* value);        // turbulence 1, fractalNoise 2; absent 1; else 0
int ParseBoolean(const std::string* value);               // true 1; else 0
int ParseBlendMode(const std::string* value);             // normal 1 .. lighten 5; absent 1; else 0
int ParseColorMatrixType(const std::string* value);       // matrix 1 .. luminanceToAlpha 4; absent 1; else 0
int ParseMorphologyOperator(const std::string* value);    // erode 1, dilate 2; absent 1; else 0
int ParseTransferType(const std::string* value, int absent);  // identity 1 .. gamma 5; else 0
int ParseBaseline(const std::string* value);              // auto 0 .. use-script 18; absent 0; else -1000

// enable-background: "new" with an optional x y width height list (code 0),
// anything else accumulate (code 1).
struct EnableBackground {
    int code = 1;
    std::vector<double> region;
};
EnableBackground ParseEnableBackground(const std::string* value);

}  // namespace svg
