// The fonts of one load: its font pool (installed system fonts, declared
// fonts, SVG fonts), which documents have had their declared fonts
// installed, and the metrics property resolution asks for (through
// CFontMetricsSource, for ex units and font-size-adjust).
//
// Nothing starts until it is asked for: a load whose documents neither lay
// out text nor use ex units never starts fontconfig or FreeType. One per
// load, owned by whoever runs the load and kept as long as its documents;
// used by the loading thread only.
#pragma once

#include <map>
#include <set>
#include <string>
#include <tuple>

#include "model/doc_options.h"
#include "model/load_context.h"
#include "text/font_pool.h"
#include "text/svg_font.h"

namespace svg {

class CFontContext final : public CFontMetricsSource {
public:
    explicit CFontContext(const CDocOptions& options);

    // The first face of the family list that exists (generic names
    // included), else the default family's; answers are remembered.
    FaceMetrics Metrics(std::string_view familyList, int weight, FontStyle style) override;

    CFontPool& Pool() { return pool_; }
    const CFontPool& Pool() const { return pool_; }
    // The "Alt Fonts" list, or empty when that setting is off.
    const std::string& AlternateFamilies() const { return alternateFamilies_; }
    // True the first time it is asked for `document`: its declared fonts are
    // to be installed now.
    bool FirstTextOf(const CElem* document) { return documentsWithFonts_.insert(document).second; }
    // The face of an SVG `font` element, built (and reported on) once; null
    // when the font has no usable font-face.
    std::shared_ptr<CFontFaceSvg> SvgFont(const CElem& font, const CLoadContext& context);

private:
    using MetricsKey = std::tuple<std::string, int, FontStyle>;

    CFontPool pool_;
    std::string alternateFamilies_;
    std::set<const CElem*> documentsWithFonts_;
    std::map<const CElem*, std::shared_ptr<CFontFaceSvg>> svgFonts_;
    std::map<MetricsKey, FaceMetrics> metrics_;
};

}  // namespace svg
