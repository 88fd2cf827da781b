// Finding a system font face for a CSS family list and reading the metrics
// property resolution needs (units per em, x-height, cap height), through
// fontconfig and FreeType. One lookup per load, which caches its answers;
// it starts FreeType only when first asked. Used by one thread at a time.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "model/load_context.h"

struct FT_LibraryRec_;

namespace svg {

class CSystemFaceMetrics final : public CFontMetricsSource {
public:
    // `interfaceFamily` is the desktop's user-interface font family.
    // Documents written on Windows name its interface faces ("MS UI
    // Gothic", "MS Shell Dlg"); they are looked up as this family first, then
    // as a Japanese gothic face and sans-serif. Empty without a desktop.
    explicit CSystemFaceMetrics(std::string interfaceFamily = {});
    ~CSystemFaceMetrics() override;
    CSystemFaceMetrics(const CSystemFaceMetrics&) = delete;
    CSystemFaceMetrics& operator=(const CSystemFaceMetrics&) = delete;

    // The first family of the comma-separated list (quotes allowed; generic
    // names such as serif and sans-serif included) that is installed, at the
    // weight (100..900) and style asked for; the default face when none is.
    // Never fails while any font is installed.
    FaceMetrics Metrics(std::string_view familyList, int weight, FontStyle style) override;

private:
    using FaceKey = std::tuple<std::string, int, FontStyle>;

    std::string interfaceFamily_;
    FT_LibraryRec_* freetype_ = nullptr;
    std::map<FaceKey, FaceMetrics> faces_;
};

}  // namespace svg
