#include "render/color_profile.h"

#include <string>

#include "model/elem.h"
#include "model/messages.h"
#include "model/resource_file.h"
#include "render/codec_libraries.h"
#include "render/data_url.h"
#include "render/prepare.h"

namespace svg {
namespace {

void ReportOpenFailed(const CElemColorProfile& elem, const std::string& href, CMessageLog& log)
{
    const std::string shown = ShownReference(href);
    log.Report(elem, msg::kHrefOpenFailed, elem.Name().c_str(), shown.c_str());
}

// The profile's bytes; false after a message.
bool ReadProfile(const CElemColorProfile& elem, const std::string& href, std::string& bytes, CPreparer& preparer)
{
    CMessageLog& log = preparer.Log();
    if (IsDataUrl(href)) {
        std::optional<DataUrl> data = DecodeDataUrl(elem, std::string_view(href).substr(5), log);
        if (!data)
            return false;
        bytes = std::move(data->bytes);
        return true;
    }
    const std::optional<std::string> path = ResourceFilePath(elem, href);
    if (!path) {
        log.Report(elem, msg::kHrefInvalidPath, elem.Name().c_str(), href.c_str());
        return false;
    }
    const ReadStatus status = ReadResourceFile(preparer.Context(), *path, ResourceKind::ColorProfile, bytes);
    if (status == ReadStatus::Ok)
        return true;
    if (status != ReadStatus::Stopped &&
        !ReportUnreadResource(log, status, ResourceKind::ColorProfile, ShownReference(href), &elem))
        ReportOpenFailed(elem, href, log);
    return false;
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

bool SetUpColorProfile(CElemColorProfile& profile, CPreparer& preparer)
{
    profile.colorTransform.reset();
    const std::string* href = profile.GetAttribute(AttributeId::xlink_href, false);
    if (href == nullptr)
        return true;
    std::string bytes;
    if (!ReadProfile(profile, *href, bytes, preparer))
        return true;
    cmsHTRANSFORM transform = TransformTo(bytes);
    if (transform == nullptr) {
        ReportOpenFailed(profile, *href, preparer.Log());
        return true;
    }
    profile.colorTransform = std::shared_ptr<void>(transform, cmsDeleteTransform.Get());
    return true;
}

}  // namespace svg
