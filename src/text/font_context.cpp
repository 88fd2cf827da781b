#include "text/font_context.h"

#include "text/font_face_sfnt.h"

namespace svg {

CFontContext::CFontContext(const CDocOptions& options)
    : pool_(FontPoolSettings{"serif", options.desktop.interfaceFontFamily}),
      alternateFamilies_(options.alternateFontsEnabled ? options.alternateFontList : std::string())
{
}

FaceMetrics CFontContext::Metrics(std::string_view familyList, int weight, FontStyle style)
{
    MetricsKey key{std::string(familyList), weight, style};
    if (const auto found = metrics_.find(key); found != metrics_.end())
        return found->second;
    FaceQuery query;
    query.style = static_cast<std::uint16_t>(style);
    query.weight = weight;
    FaceMetrics metrics;
    if (const std::shared_ptr<CFontFace> face = pool_.FindFaceInList(familyList, query)) {
        const auto* system = dynamic_cast<const CFontFaceSystem*>(face.get());
        metrics.family = system != nullptr ? system->platformFamily : face->family;
        metrics.unitsPerEm = face->unitsPerEm;
        metrics.xHeight = face->xHeight;
        metrics.capHeight = face->capHeight;
    }
    return metrics_.emplace(std::move(key), metrics).first->second;
}

std::shared_ptr<CFontFaceSvg> CFontContext::SvgFont(const CElem& font, const CLoadContext& context)
{
    const auto found = svgFonts_.find(&font);
    if (found != svgFonts_.end())
        return found->second;
    return svgFonts_.emplace(&font, BuildSvgFontFace(font, context)).first->second;
}

}  // namespace svg
