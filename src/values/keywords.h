// The keyword sets of SVG attributes and properties as typed enums, with one
// parser per set. A parser takes the trimmed attribute text (comparisons are
// case-sensitive, as SVG keywords are) and returns null for a word that is
// not in its set; the caller decides what a missing or unknown value means
// and reports it. Pure functions: safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace svg {

// fill-rule and clip-rule.
enum class FillRule : std::uint8_t { NonZero, EvenOdd };

// gradientUnits, patternUnits, patternContentUnits, maskUnits,
// maskContentUnits, clipPathUnits, filterUnits, primitiveUnits.
enum class Units : std::uint8_t { ObjectBoundingBox, UserSpaceOnUse };

enum class MarkerUnits : std::uint8_t { StrokeWidth, UserSpaceOnUse };

enum class SpreadMethod : std::uint8_t { Pad, Reflect, Repeat };

// font-style. The values are bits, so that a face can offer several.
enum class FontStyle : std::uint8_t { Normal = 1, Italic = 2, Oblique = 4 };

enum class FontVariant : std::uint8_t { Normal, SmallCaps };

// color-rendering: optimizeSpeed turns color-interpolation off.
enum class ColorRendering : std::uint8_t { OptimizeSpeed, OptimizeQuality };

// color-interpolation and color-interpolation-filters.
enum class ColorInterpolation : std::uint8_t { SRGB, LinearRGB };

// The standard inputs of a filter primitive's `in` and `in2`; a name that is
// none of these refers to an earlier primitive's `result`.
enum class FilterInput : std::uint8_t {
    SourceGraphic,
    SourceAlpha,
    BackgroundImage,
    BackgroundAlpha,
    FillPaint,
    StrokePaint,
};

enum class EdgeMode : std::uint8_t { Duplicate, Wrap, None };
enum class CompositeOperator : std::uint8_t { Over, In, Out, Atop, Xor, Arithmetic };
enum class StitchTiles : std::uint8_t { NoStitch, Stitch };
enum class TurbulenceType : std::uint8_t { Turbulence, FractalNoise };
enum class BlendMode : std::uint8_t { Normal, Multiply, Screen, Darken, Lighten };
enum class ColorMatrixType : std::uint8_t { Matrix, Saturate, HueRotate, LuminanceToAlpha };
enum class MorphologyOperator : std::uint8_t { Erode, Dilate };
enum class TransferType : std::uint8_t { Identity, Table, Discrete, Linear, Gamma };
// xChannelSelector and yChannelSelector.
enum class ChannelSelector : std::uint8_t { R, G, B, A };

// dominant-baseline, alignment-baseline and the baseline tables of text.
enum class Baseline : std::uint8_t {
    Auto,
    Baseline,
    AfterEdge,
    Alphabetic,
    BeforeEdge,
    Central,
    Hanging,
    Ideographic,
    Mathematical,
    Middle,
    NoChange,
    ResetSize,
    TextAfterEdge,
    TextBeforeEdge,
    Top,
    Bottom,
    TextTop,
    TextBottom,
    UseScript,
};

std::optional<FillRule> ParseFillRule(std::string_view text);
std::optional<Units> ParseUnits(std::string_view text);
std::optional<MarkerUnits> ParseMarkerUnits(std::string_view text);
std::optional<SpreadMethod> ParseSpreadMethod(std::string_view text);
std::optional<FontStyle> ParseFontStyle(std::string_view text);
std::optional<FontVariant> ParseFontVariant(std::string_view text);
// "auto" counts as optimizeQuality.
std::optional<ColorRendering> ParseColorRendering(std::string_view text);
// "auto" counts as sRGB.
std::optional<ColorInterpolation> ParseColorInterpolation(std::string_view text);
std::optional<FilterInput> ParseFilterInput(std::string_view text);
std::optional<EdgeMode> ParseEdgeMode(std::string_view text);
std::optional<CompositeOperator> ParseCompositeOperator(std::string_view text);
std::optional<StitchTiles> ParseStitchTiles(std::string_view text);
std::optional<TurbulenceType> ParseTurbulenceType(std::string_view text);
std::optional<BlendMode> ParseBlendMode(std::string_view text);
std::optional<ColorMatrixType> ParseColorMatrixType(std::string_view text);
std::optional<MorphologyOperator> ParseMorphologyOperator(std::string_view text);
std::optional<TransferType> ParseTransferType(std::string_view text);
std::optional<ChannelSelector> ParseChannelSelector(std::string_view text);
std::optional<Baseline> ParseBaseline(std::string_view text);
// "true" or "false".
std::optional<bool> ParseBoolean(std::string_view text);

}  // namespace svg
