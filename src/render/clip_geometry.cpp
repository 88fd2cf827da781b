// What elements contribute to clip paths: the outlines of shapes (and, once
// laid out, of text), each filled under the clip rule it is given. Stroke,
// markers, paint and opacity play no part in a clip.
#include "render/clip_path.h"
#include "render/shape.h"
#include "render/text.h"

namespace svg {

void AppendShapeClipGeometry(const CElemShape& shape, ClipRegion& clip, FillRule rule)
{
    if (shape.Class() == ElemClass::Text) {
        AppendTextClipGeometry(static_cast<const CElemText&>(shape), clip, rule);
        return;
    }
    if (shape.props.visibility != Visibility::Visible)
        return;
    for (const CGraphicsPath& item : shape.paths) {
        if (item.Empty())
            continue;
        CGraphicsPath outline = item;
        outline.fillRule = rule;
        clip.paths.push_back(std::move(outline));
    }
}

}  // namespace svg
