#include "render/render_pass.h"

#include <algorithm>

#include "model/elem.h"
#include "model/message_log.h"

namespace svg {

void CRenderPass::Report(const CElem& elem, const char* format, ...)
{
    if (log_ == nullptr)
        return;
    va_list args;
    va_start(args, format);
    log_->ReportV(&elem, format, args);
    va_end(args);
}

void CRenderPass::ReportLayerLimit(const CElem& elem, const char* format)
{
    if (layers.limitReported)
        return;
    layers.limitReported = true;
    Report(elem, format, elem.Name().c_str(), (layers.bound * 4) >> 20);
}

CLayerCharge::CLayerCharge(CRenderPass& pass, double pixels) : pass_(pass)
{
    const std::size_t bound = pass.layers.bound;
    const std::size_t wanted = pixels > 0 ? static_cast<std::size_t>(std::min(pixels, 4.0 * bound)) : 0;
    const std::size_t open = pass.layers.openPixels;
    granted_ = open == 0 || open + wanted <= bound;
    if (granted_) {
        held_ = wanted;
        pass.layers.openPixels += wanted;
    }
}

}  // namespace svg
