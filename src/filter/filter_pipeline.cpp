#include "filter/filter_pipeline.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <vector>

#include "filter/color_space.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/messages.h"

namespace svg {
namespace {

constexpr std::size_t kStandardInputs = 6;

// One image a primitive may read: a standard input or a primitive's result.
struct Image {
    // Null: transparent.
    std::unique_ptr<CRtBitmap> bitmap;
    ColorInterpolation space = ColorInterpolation::SRGB;
    // The bitmap in the other colour space, made when first asked for.
    std::unique_ptr<CRtBitmap> converted;
    // Where it is defined, in user units.
    RectF subregionUser;
    // The last primitive that reads it; it is freed after that one.
    int lastUse = -1;
    // A standard input, made when first read.
    bool standard = false;
    FilterInput kind = FilterInput::SourceGraphic;
    bool made = false;

    void Free()
    {
        bitmap.reset();
        converted.reset();
    }
};

RectF Intersection(const RectF& a, const RectF& b)
{
    const float left = std::max(a.x, b.x);
    const float top = std::max(a.y, b.y);
    const float right = std::min(a.Right(), b.Right());
    const float bottom = std::min(a.Bottom(), b.Bottom());
    return {left, top, std::max(0.0f, right - left), std::max(0.0f, bottom - top)};
}

// The references a primitive reads, by its family.
std::vector<FilterInputRef> InputRefs(const CElemFilterPrimitive& primitive, const FilterPrimitiveFamily& family)
{
    switch (family.inputs) {
    case InputUse::None: return {};
    case InputUse::In: return {primitive.in};
    case InputUse::InAndIn2: return {primitive.in, primitive.in2};
    case InputUse::MergeNodes: break;
    }
    std::vector<FilterInputRef> refs;
    for (const CElem* child : primitive.Children())
        if (child->Id() == ElementId::feMergeNode && child->Class() == ElemClass::FilterPrimitive)
            refs.push_back(static_cast<const CElemFilterPrimitive&>(*child).in);
    return refs;
}

// A primitive with nothing to compute: its result is transparent.
bool HasNoResult(const CElemFilterPrimitive& primitive, const FilterPrimitiveFamily& family)
{
    return primitive.params == nullptr || primitive.emptySubregion || family.apply == nullptr;
}

PixelRect ToPixels(const RectF& user, const Matrix& userToPixel)
{
    const RectF mapped = MapRectBounds(user, userToPixel);
    return ToPixelRect(mapped.x, mapped.y, mapped.width, mapped.height);
}

// The smallest rectangle holding both; an empty one adds nothing.
PixelRect Covering(const PixelRect& a, const PixelRect& b)
{
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    const long long left = std::min(a.x, b.x);
    const long long top = std::min(a.y, b.y);
    const long long right =
        std::max<long long>(static_cast<long long>(a.x) + a.width, static_cast<long long>(b.x) + b.width);
    const long long bottom =
        std::max<long long>(static_cast<long long>(a.y) + a.height, static_cast<long long>(b.y) + b.height);
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

// `rect` grown by `by` pixels on every side, within `bounds`; empty when
// they do not meet.
PixelRect GrownWithin(const PixelRect& rect, int by, const PixelRect& bounds)
{
    const long long left = static_cast<long long>(rect.x) - by;
    const long long top = static_cast<long long>(rect.y) - by;
    const long long right = static_cast<long long>(rect.x) + rect.width + by;
    const long long bottom = static_cast<long long>(rect.y) + rect.height + by;
    const long long clippedLeft = std::max<long long>(left, bounds.x);
    const long long clippedTop = std::max<long long>(top, bounds.y);
    const long long clippedRight = std::min<long long>(right, static_cast<long long>(bounds.x) + bounds.width);
    const long long clippedBottom = std::min<long long>(bottom, static_cast<long long>(bounds.y) + bounds.height);
    if (clippedRight <= clippedLeft || clippedBottom <= clippedTop)
        return {};
    return {static_cast<int>(clippedLeft), static_cast<int>(clippedTop), static_cast<int>(clippedRight - clippedLeft),
            static_cast<int>(clippedBottom - clippedTop)};
}

// The standard inputs that share one picture: SourceAlpha is SourceGraphic's
// alpha, BackgroundAlpha BackgroundImage's.
std::size_t PictureOf(FilterInput input)
{
    switch (input) {
    case FilterInput::SourceAlpha: return static_cast<std::size_t>(FilterInput::SourceGraphic);
    case FilterInput::BackgroundAlpha: return static_cast<std::size_t>(FilterInput::BackgroundImage);
    default: return static_cast<std::size_t>(input);
    }
}

// An owning sRGB copy of an image in `space`: what the filter's final result
// would look like had it ended here. A view's shared colour does not come
// along for an alphaOnly image (it reads as zero).
std::unique_ptr<CRtBitmap> SrgbCopy(const CRtBitmap* bitmap, ColorInterpolation space, const CStopToken& stop)
{
    if (bitmap == nullptr)
        return nullptr;
    std::unique_ptr<CRtBitmap> copy = CopyToRect(bitmap, bitmap->Rect());
    if (copy)
        ConvertColorSpace(*copy, space, ColorInterpolation::SRGB, stop);
    return copy;
}

class CFilterRunner {
public:
    CFilterRunner(const CElemFilter& filter, const FilterSpace& space, CFilterInputSource& sources,
                  const FilterRunContext& context)
        : filter_(filter), space_(space), sources_(sources), context_(context), results_(filter.primitives.size())
    {
        for (std::size_t i = 0; i < kStandardInputs; ++i) {
            standard_[i].standard = true;
            standard_[i].kind = static_cast<FilterInput>(i);
            standard_[i].subregionUser = space.regionUser;
        }
    }

    std::unique_ptr<CRtBitmap> Run()
    {
        const std::vector<const CElemFilterPrimitive*>& primitives = filter_.primitives;
        if (primitives.empty())
            return nullptr;
        MarkLastUses();
        PlanAreas();
        for (std::size_t i = 0; i < primitives.size(); ++i) {
            if (context_.stop.StopRequested())
                return nullptr;
            RunPrimitive(static_cast<int>(i));
            if (context_.progress != nullptr)
                ++context_.progress->primitivesDone;
            if (context_.stop.StopRequested())
                return nullptr;
            FreeImagesDoneAt(static_cast<int>(i));
        }
        return FinalResult();
    }

private:
    const FilterPrimitiveFamily& FamilyOf(int index) const
    {
        return *FindPrimitiveFamily(filter_.primitives[static_cast<std::size_t>(index)]->Id());
    }

    // The image `ref` names for primitive `index` (a standard input not yet made).
    Image& Resolve(const FilterInputRef& ref, int index)
    {
        switch (ref.kind) {
        case FilterInputRef::Kind::Standard: return standard_[static_cast<std::size_t>(ref.standard)];
        case FilterInputRef::Kind::Result:
            if (ref.index >= 0 && ref.index < index)
                return results_[static_cast<std::size_t>(ref.index)];
            break;
        case FilterInputRef::Kind::Previous: break;
        }
        return index == 0 ? standard_[static_cast<std::size_t>(FilterInput::SourceGraphic)]
                          : results_[static_cast<std::size_t>(index - 1)];
    }

    void MarkLastUses()
    {
        for (std::size_t i = 0; i < filter_.primitives.size(); ++i) {
            const auto index = static_cast<int>(i);
            for (const FilterInputRef& ref : InputRefs(*filter_.primitives[i], FamilyOf(index)))
                Resolve(ref, index).lastUse = index;
        }
    }

    // Each primitive's rectangle to compute (empty when it computes nothing),
    // and from it the part of each standard input's picture that primitives
    // read: painting the element or its paint costs as much as the pixels
    // painted. A primitive that may read all of its input, or whose result
    // depends on where its input ends, takes the whole computed area; so does
    // a run that keeps images, which shows the inputs in full.
    void PlanAreas()
    {
        const std::vector<const CElemFilterPrimitive*>& primitives = filter_.primitives;
        outRects_.assign(primitives.size(), PixelRect{});
        const bool wholeInputs = context_.keep.primitive != nullptr;
        for (std::size_t i = 0; i < primitives.size(); ++i) {
            const auto index = static_cast<int>(i);
            const CElemFilterPrimitive& primitive = *primitives[i];
            const FilterPrimitiveFamily& family = FamilyOf(index);
            const std::vector<FilterInputRef> refs = InputRefs(primitive, family);
            results_[i].subregionUser = Intersection(Subregion(primitive, family, refs, index), space_.regionUser);
            PixelRect subregionPx;
            if (HasNoResult(primitive, family) ||
                !IntersectPixelRects(ToPixels(results_[i].subregionUser, space_.userToPixel), space_.regionPx,
                                     subregionPx) ||
                !IntersectPixelRects(subregionPx, space_.computePx, outRects_[i]))
                continue;
            int reach = family.reachPx != nullptr ? family.reachPx(*primitive.params, space_) : 0;
            if (wholeInputs || (family.readsInputEdges != nullptr && family.readsInputEdges(*primitive.params)))
                reach = -1;
            const PixelRect read =
                reach < 0 ? space_.computePx : GrownWithin(outRects_[i], reach, space_.computePx);
            for (const FilterInputRef& ref : refs) {
                const Image& input = Resolve(ref, index);
                if (input.standard) {
                    PixelRect& area = standardAreas_[PictureOf(input.kind)];
                    area = Covering(area, read);
                }
            }
        }
    }

    // Results nothing reads any more; the last primitive's is the filter's.
    void FreeImagesDoneAt(int index)
    {
        for (std::size_t i = 0; i + 1 < results_.size(); ++i) {
            Image& result = results_[i];
            if (result.lastUse == index || (result.lastUse < 0 && static_cast<int>(i) == index))
                result.Free();
        }
    }

    // Standard inputs are made when first read, over the area PlanAreas
    // found, which holds every pixel a primitive reads of them.
    Image& Standard(FilterInput input)
    {
        Image& image = standard_[static_cast<std::size_t>(input)];
        if (image.made)
            return image;
        image.made = true;
        const PixelRect& area = standardAreas_[PictureOf(input)];
        if (area.IsEmpty())
            return image;
        switch (input) {
        case FilterInput::SourceGraphic:
            if (const CRtBitmap* source = sources_.SourceGraphic(area))
                image.bitmap = CRtBitmap::View(*source, false);
            break;
        case FilterInput::SourceAlpha:
            if (const CRtBitmap* source = Standard(FilterInput::SourceGraphic).bitmap.get())
                image.bitmap = CRtBitmap::View(*source, true);
            break;
        case FilterInput::BackgroundImage: image.bitmap = sources_.BackgroundImage(area); break;
        case FilterInput::BackgroundAlpha:
            if (const CRtBitmap* background = Standard(FilterInput::BackgroundImage).bitmap.get())
                image.bitmap = CRtBitmap::View(*background, true);
            break;
        case FilterInput::FillPaint: image.bitmap = sources_.FillPaint(area); break;
        case FilterInput::StrokePaint: image.bitmap = sources_.StrokePaint(area); break;
        }
        return image;
    }

    // The image's pixels in `space`; null for a transparent image.
    const CRtBitmap* InSpace(Image& image, ColorInterpolation space)
    {
        if (image.standard)
            Standard(image.kind);
        if (!image.bitmap)
            return nullptr;
        if (image.space == space || image.bitmap->AlphaOnly())
            return image.bitmap.get();
        if (!image.converted) {
            image.converted = image.bitmap->Clone();
            if (!image.converted)
                return nullptr;
            ConvertColorSpace(*image.converted, image.space, space, context_.stop);
        }
        return image.converted.get();
    }

    // SVG: a missing x, y, width or height takes the default subregion's.
    // Not yet clipped to the filter region.
    RectF Subregion(const CElemFilterPrimitive& primitive, const FilterPrimitiveFamily& family,
                    const std::vector<FilterInputRef>& refs, int index)
    {
        RectF fallback = space_.regionUser;
        bool first = true;
        const bool ownDefault = family.inputs == InputUse::None || primitive.Id() == ElementId::feTile;
        for (const FilterInputRef& ref : refs) {
            const Image& input = Resolve(ref, index);
            if (ownDefault || input.standard) {
                fallback = space_.regionUser;
                break;
            }
            fallback = first ? input.subregionUser : Union(fallback, input.subregionUser);
            first = false;
        }
        const bool boxUnits = space_.primitiveUnits == Units::ObjectBoundingBox;
        if (boxUnits && !space_.bboxUser)
            return fallback;
        const RectF box = space_.bboxUser.value_or(RectF{});
        const auto position = [&](const std::optional<FilterLength>& value, float origin, float size, float other) {
            if (!value)
                return other;
            return boxUnits ? origin + value->fraction * size : value->userUnits;
        };
        const auto length = [&](const std::optional<FilterLength>& value, float size, float other) {
            if (!value)
                return other;
            return boxUnits ? value->fraction * size : value->userUnits;
        };
        return {position(primitive.x, box.x, box.width, fallback.x),
                position(primitive.y, box.y, box.height, fallback.y),
                length(primitive.width, box.width, fallback.width),
                length(primitive.height, box.height, fallback.height)};
    }

    void RunPrimitive(int index)
    {
        const CElemFilterPrimitive& primitive = *filter_.primitives[static_cast<std::size_t>(index)];
        const FilterPrimitiveFamily& family = FamilyOf(index);
        const std::vector<FilterInputRef> refs = InputRefs(primitive, family);
        Image& result = results_[static_cast<std::size_t>(index)];
        const RectF placement = Subregion(primitive, family, refs, index);
        result.made = true;
        const PixelRect& outRect = outRects_[static_cast<std::size_t>(index)];
        if (outRect.IsEmpty())
            return;
        PixelRect subregionPx;
        IntersectPixelRects(ToPixels(result.subregionUser, space_.userToPixel), space_.regionPx, subregionPx);

        const ColorInterpolation working = primitive.colorSpace;
        std::vector<const CRtBitmap*> inputs;
        std::vector<ColorInterpolation> inputSpaces;
        result.space = working;
        for (std::size_t i = 0; i < refs.size(); ++i) {
            Image& input = Resolve(refs[i], index);
            const bool asItIs = family.colors == ColorHandling::KeepInput ||
                                (family.colors == ColorHandling::DisplacementMap && i == 0);
            if (asItIs && i == 0)
                result.space = input.space;
            inputSpaces.push_back(asItIs ? input.space : working);
            inputs.push_back(InSpace(input, inputSpaces.back()));
        }
        if (family.colors == ColorHandling::MakesSrgb)
            result.space = ColorInterpolation::SRGB;

        const PrimitiveRun run{primitive, space_, placement, result.subregionUser, subregionPx, outRect, working,
                               context_.stop, &sources_};
        const auto start = std::chrono::steady_clock::now();
        result.bitmap = family.apply(*primitive.params, inputs, run);
        // Parameters were accepted and the rectangle is within the limits: a
        // primitive that still gives nothing ran out of memory or work.
        if (!result.bitmap && family.element != ElementId::feImage && !context_.stop.StopRequested() &&
            context_.log != nullptr)
            context_.log->Report(primitive, msg::kFilterInternalError, primitive.Name().c_str());
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() > kSlowPrimitiveMs && context_.log != nullptr && !context_.stop.StopRequested())
            context_.log->Report(primitive, msg::kFilterSlow, primitive.Name().c_str(), elapsed.count() / 1000,
                                 double(outRect.width), double(outRect.height));
        KeepImages(primitive, family, inputs, inputSpaces, result);
    }

    // Copies the primitive's images when the run was asked to keep them. A
    // merge's nodes are not `in` or `in2`, so it keeps its result only.
    void KeepImages(const CElemFilterPrimitive& primitive, const FilterPrimitiveFamily& family,
                    const std::vector<const CRtBitmap*>& inputs, const std::vector<ColorInterpolation>& inputSpaces,
                    const Image& result)
    {
        const FilterKeepRequest& keep = context_.keep;
        if (keep.primitive != &primitive || keep.into == nullptr || context_.stop.StopRequested())
            return;
        const CStopToken& stop = context_.stop;
        KeptPrimitiveImages kept;
        const bool readsIn = family.inputs == InputUse::In || family.inputs == InputUse::InAndIn2;
        if (readsIn && !inputs.empty())
            kept.in = SrgbCopy(inputs[0], inputSpaces[0], stop);
        if (family.inputs == InputUse::InAndIn2 && inputs.size() > 1)
            kept.in2 = SrgbCopy(inputs[1], inputSpaces[1], stop);
        kept.result = SrgbCopy(result.bitmap.get(), result.space, stop);
        if (!stop.StopRequested())
            *keep.into = std::move(kept);
    }

    std::unique_ptr<CRtBitmap> FinalResult()
    {
        Image& last = results_.back();
        if (!last.bitmap)
            return nullptr;
        std::unique_ptr<CRtBitmap> result = std::move(last.bitmap);
        if (!result->OwnsPixels())
            result = result->Clone();
        if (result)
            ConvertColorSpace(*result, last.space, ColorInterpolation::SRGB, context_.stop);
        return result;
    }

    const CElemFilter& filter_;
    const FilterSpace& space_;
    CFilterInputSource& sources_;
    const FilterRunContext& context_;
    std::array<Image, kStandardInputs> standard_;
    // By the first input of each picture (PictureOf).
    std::array<PixelRect, kStandardInputs> standardAreas_{};
    std::vector<Image> results_;
    std::vector<PixelRect> outRects_;
};

}  // namespace

int FilterReachPx(const CElemFilter& filter, const FilterSpace& space)
{
    long long total = 0;
    for (const CElemFilterPrimitive* primitive : filter.primitives) {
        const FilterPrimitiveFamily* family = FindPrimitiveFamily(primitive->Id());
        if (family == nullptr || family->reachPx == nullptr || primitive->params == nullptr)
            continue;
        const int reach = family->reachPx(*primitive->params, space);
        if (reach < 0)
            return -1;
        total = std::min<long long>(total + reach, 1'000'000'000);
    }
    return static_cast<int>(total);
}

std::unique_ptr<CRtBitmap> RunFilter(const CElemFilter& filter, const FilterSpace& space,
                                     CFilterInputSource& sources, const FilterRunContext& context)
{
    CFilterRunner runner(filter, space, sources, context);
    return runner.Run();
}

}  // namespace svg
