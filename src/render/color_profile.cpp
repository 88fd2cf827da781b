// CElemColorProfile: the `color-profile` element opens the ICC profile its
// xlink:href names (a file, or a data: URL decoded in memory) through lcms2
// and makes a transform from sRGB to it, absolute colorimetric. Nothing is
// converted through the transform: opening it checks that the profile can be
// used and reports when it cannot. `local`, `name` and `rendering-intent`
// have no effect.
#include <lcms2.h>

#include <string>

#include "model/elem.h"
#include "model/file_io.h"
#include "model/message_log.h"
#include "render/data_url.h"

namespace svg {
namespace {

// ICC profiles are a few kilobytes to a few megabytes.
constexpr std::size_t kMaxProfileBytes = std::size_t{64} << 20;

void ReportOpenFailed(const CElemColorProfile& elem, const std::string& href)
{
    const std::string shown = ShownReference(href);
    ReportMessage("E %s xlink:href=\"%s\" open failed at %d(%d)", elem.Name().c_str(), shown.c_str(), elem.line,
                  elem.column);
}

// The profile's bytes; false after a message.
bool ReadProfile(const CElemColorProfile& elem, const std::string& href, std::string& bytes)
{
    if (IsDataUrl(href)) {
        std::optional<DataUrl> data = DecodeDataUrl(elem, std::string_view(href).substr(5));
        if (!data)
            return false;
        bytes = std::move(data->bytes);
        return true;
    }
    const std::optional<std::string> path = ResourceFilePath(elem, href);
    if (!path) {
        ReportMessage("E %s xlink:href=\"%s\" invalid path at %d(%d)", elem.Name().c_str(), href.c_str(), elem.line,
                      elem.column);
        return false;
    }
    if (ReadFileBytes(*path, kMaxProfileBytes, bytes) != ReadStatus::Ok) {
        ReportOpenFailed(elem, href);
        return false;
    }
    return true;
}

// The transform from sRGB into `bytes`' profile; null when the profile cannot
// be read or used as a destination.
cmsHTRANSFORM TransformTo(const std::string& bytes)
{
    cmsHPROFILE target = cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
    if (target == nullptr)
        return nullptr;
    cmsHTRANSFORM transform = nullptr;
    const cmsUInt32Number targetFormat = cmsFormatterForColorspaceOfProfile(target, 1, FALSE);
    if (targetFormat != 0) {
        cmsHPROFILE sRgb = cmsCreate_sRGBProfile();
        transform = cmsCreateTransform(sRgb, TYPE_RGB_8, target, targetFormat, INTENT_ABSOLUTE_COLORIMETRIC,
                                       cmsFLAGS_HIGHRESPRECALC);
        cmsCloseProfile(sRgb);
    }
    cmsCloseProfile(target);
    return transform;
}

}  // namespace

bool CElemColorProfile::Setup()
{
    if (!CElem::Setup())
        return false;
    colorTransform.reset();
    const std::string* href = GetAttribute("xlink:href", false);
    if (href == nullptr)
        return true;
    std::string bytes;
    if (!ReadProfile(*this, *href, bytes))
        return true;
    cmsHTRANSFORM transform = TransformTo(bytes);
    if (transform == nullptr) {
        ReportOpenFailed(*this, *href);
        return true;
    }
    colorTransform = std::shared_ptr<void>(transform, cmsDeleteTransform);
    return true;
}

}  // namespace svg
