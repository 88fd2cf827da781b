#include "render/render_pass.h"

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

}  // namespace svg
