#include "values/keywords.h"

#include <algorithm>
#include <span>

namespace svg {
namespace {

template <typename Value>
struct Keyword {
    std::string_view name;
    Value value;
};

template <typename Value>
std::optional<Value> LookUp(std::string_view text, std::span<const Keyword<Value>> keywords)
{
    const auto found = std::ranges::find(keywords, text, &Keyword<Value>::name);
    return found == keywords.end() ? std::nullopt : std::optional<Value>(found->value);
}

constexpr Keyword<FillRule> kFillRules[] = {{"nonzero", FillRule::NonZero}, {"evenodd", FillRule::EvenOdd}};
constexpr Keyword<Units> kUnits[] = {{"objectBoundingBox", Units::ObjectBoundingBox},
                                     {"userSpaceOnUse", Units::UserSpaceOnUse}};
constexpr Keyword<MarkerUnits> kMarkerUnits[] = {{"strokeWidth", MarkerUnits::StrokeWidth},
                                                 {"userSpaceOnUse", MarkerUnits::UserSpaceOnUse}};
constexpr Keyword<SpreadMethod> kSpreadMethods[] = {
    {"pad", SpreadMethod::Pad}, {"reflect", SpreadMethod::Reflect}, {"repeat", SpreadMethod::Repeat}};
constexpr Keyword<FontStyle> kFontStyles[] = {
    {"normal", FontStyle::Normal}, {"italic", FontStyle::Italic}, {"oblique", FontStyle::Oblique}};
constexpr Keyword<FontVariant> kFontVariants[] = {{"normal", FontVariant::Normal},
                                                  {"small-caps", FontVariant::SmallCaps}};
constexpr Keyword<ColorRendering> kColorRenderings[] = {{"auto", ColorRendering::OptimizeQuality},
                                                        {"optimizeQuality", ColorRendering::OptimizeQuality},
                                                        {"optimizeSpeed", ColorRendering::OptimizeSpeed}};
constexpr Keyword<ColorInterpolation> kColorInterpolations[] = {{"auto", ColorInterpolation::SRGB},
                                                                {"sRGB", ColorInterpolation::SRGB},
                                                                {"linearRGB", ColorInterpolation::LinearRGB}};
constexpr Keyword<FilterInput> kFilterInputs[] = {
    {"SourceGraphic", FilterInput::SourceGraphic},     {"SourceAlpha", FilterInput::SourceAlpha},
    {"BackgroundImage", FilterInput::BackgroundImage}, {"BackgroundAlpha", FilterInput::BackgroundAlpha},
    {"FillPaint", FilterInput::FillPaint},             {"StrokePaint", FilterInput::StrokePaint}};
constexpr Keyword<EdgeMode> kEdgeModes[] = {
    {"duplicate", EdgeMode::Duplicate}, {"wrap", EdgeMode::Wrap}, {"none", EdgeMode::None}};
constexpr Keyword<CompositeOperator> kCompositeOperators[] = {
    {"over", CompositeOperator::Over}, {"in", CompositeOperator::In},   {"out", CompositeOperator::Out},
    {"atop", CompositeOperator::Atop}, {"xor", CompositeOperator::Xor}, {"arithmetic", CompositeOperator::Arithmetic}};
constexpr Keyword<StitchTiles> kStitchTiles[] = {{"noStitch", StitchTiles::NoStitch},
                                                 {"stitch", StitchTiles::Stitch}};
constexpr Keyword<TurbulenceType> kTurbulenceTypes[] = {{"turbulence", TurbulenceType::Turbulence},
                                                        {"fractalNoise", TurbulenceType::FractalNoise}};
constexpr Keyword<BlendMode> kBlendModes[] = {{"normal", BlendMode::Normal},
                                              {"multiply", BlendMode::Multiply},
                                              {"screen", BlendMode::Screen},
                                              {"darken", BlendMode::Darken},
                                              {"lighten", BlendMode::Lighten}};
constexpr Keyword<ColorMatrixType> kColorMatrixTypes[] = {{"matrix", ColorMatrixType::Matrix},
                                                          {"saturate", ColorMatrixType::Saturate},
                                                          {"hueRotate", ColorMatrixType::HueRotate},
                                                          {"luminanceToAlpha", ColorMatrixType::LuminanceToAlpha}};
constexpr Keyword<MorphologyOperator> kMorphologyOperators[] = {{"erode", MorphologyOperator::Erode},
                                                                {"dilate", MorphologyOperator::Dilate}};
constexpr Keyword<TransferType> kTransferTypes[] = {{"identity", TransferType::Identity},
                                                    {"table", TransferType::Table},
                                                    {"discrete", TransferType::Discrete},
                                                    {"linear", TransferType::Linear},
                                                    {"gamma", TransferType::Gamma}};
constexpr Keyword<ChannelSelector> kChannelSelectors[] = {
    {"R", ChannelSelector::R}, {"G", ChannelSelector::G}, {"B", ChannelSelector::B}, {"A", ChannelSelector::A}};
constexpr Keyword<Baseline> kBaselines[] = {
    {"auto", Baseline::Auto},
    {"baseline", Baseline::Baseline},
    {"after-edge", Baseline::AfterEdge},
    {"alphabetic", Baseline::Alphabetic},
    {"before-edge", Baseline::BeforeEdge},
    {"central", Baseline::Central},
    {"hanging", Baseline::Hanging},
    {"ideographic", Baseline::Ideographic},
    {"mathematical", Baseline::Mathematical},
    {"middle", Baseline::Middle},
    {"no-change", Baseline::NoChange},
    {"reset-size", Baseline::ResetSize},
    {"text-after-edge", Baseline::TextAfterEdge},
    {"text-before-edge", Baseline::TextBeforeEdge},
    {"top", Baseline::Top},
    {"bottom", Baseline::Bottom},
    {"text-top", Baseline::TextTop},
    {"text-bottom", Baseline::TextBottom},
    {"use-script", Baseline::UseScript},
};
constexpr Keyword<bool> kBooleans[] = {{"true", true}, {"false", false}};

}  // namespace

std::optional<FillRule> ParseFillRule(std::string_view text) { return LookUp<FillRule>(text, kFillRules); }
std::optional<Units> ParseUnits(std::string_view text) { return LookUp<Units>(text, kUnits); }
std::optional<MarkerUnits> ParseMarkerUnits(std::string_view text) { return LookUp<MarkerUnits>(text, kMarkerUnits); }
std::optional<SpreadMethod> ParseSpreadMethod(std::string_view text)
{
    return LookUp<SpreadMethod>(text, kSpreadMethods);
}
std::optional<FontStyle> ParseFontStyle(std::string_view text) { return LookUp<FontStyle>(text, kFontStyles); }
std::optional<FontVariant> ParseFontVariant(std::string_view text) { return LookUp<FontVariant>(text, kFontVariants); }
std::optional<ColorRendering> ParseColorRendering(std::string_view text)
{
    return LookUp<ColorRendering>(text, kColorRenderings);
}
std::optional<ColorInterpolation> ParseColorInterpolation(std::string_view text)
{
    return LookUp<ColorInterpolation>(text, kColorInterpolations);
}
std::optional<FilterInput> ParseFilterInput(std::string_view text) { return LookUp<FilterInput>(text, kFilterInputs); }
std::optional<EdgeMode> ParseEdgeMode(std::string_view text) { return LookUp<EdgeMode>(text, kEdgeModes); }
std::optional<CompositeOperator> ParseCompositeOperator(std::string_view text)
{
    return LookUp<CompositeOperator>(text, kCompositeOperators);
}
std::optional<StitchTiles> ParseStitchTiles(std::string_view text) { return LookUp<StitchTiles>(text, kStitchTiles); }
std::optional<TurbulenceType> ParseTurbulenceType(std::string_view text)
{
    return LookUp<TurbulenceType>(text, kTurbulenceTypes);
}
std::optional<BlendMode> ParseBlendMode(std::string_view text) { return LookUp<BlendMode>(text, kBlendModes); }
std::optional<ColorMatrixType> ParseColorMatrixType(std::string_view text)
{
    return LookUp<ColorMatrixType>(text, kColorMatrixTypes);
}
std::optional<MorphologyOperator> ParseMorphologyOperator(std::string_view text)
{
    return LookUp<MorphologyOperator>(text, kMorphologyOperators);
}
std::optional<TransferType> ParseTransferType(std::string_view text)
{
    return LookUp<TransferType>(text, kTransferTypes);
}
std::optional<ChannelSelector> ParseChannelSelector(std::string_view text)
{
    return LookUp<ChannelSelector>(text, kChannelSelectors);
}
std::optional<Baseline> ParseBaseline(std::string_view text) { return LookUp<Baseline>(text, kBaselines); }
std::optional<bool> ParseBoolean(std::string_view text) { return LookUp<bool>(text, kBooleans); }

}  // namespace svg
