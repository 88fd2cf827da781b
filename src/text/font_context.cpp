#include "text/font_context.h"

namespace svg {

CFontContext::CFontContext(const CDocOptions& options) : systemFaces_(options.desktop.interfaceFontFamily) {}

FaceMetrics CFontContext::Metrics(std::string_view familyList, int weight, FontStyle style)
{
    return systemFaces_.Metrics(familyList, weight, style);
}

}  // namespace svg
