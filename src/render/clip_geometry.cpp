// What elements contribute to clip paths: the outlines of shapes (and, once
// laid out, of text), each filled under the clip rule it is given. Stroke,
// markers, paint and opacity play no part in a clip.
#include "model/elem.h"
#include "render/clip_path.h"

namespace svg {

void CElem::AppendClipGeometry(ClipRegion&, FillMode) const {}

void CElemShape::AppendClipGeometry(ClipRegion& clip, FillMode rule) const
{
    for (const CGraphicsPath& item : paths) {
        // A text span may hide itself while its text shows.
        const ResolvedProperties& style = item.owner != nullptr ? item.owner->props : props;
        if (style.visibility != Visibility::Visible || item.Empty())
            continue;
        CGraphicsPath outline = item;
        outline.fillMode = rule;
        outline.child = nullptr;
        outline.owner = nullptr;
        clip.paths.push_back(std::move(outline));
    }
}

}  // namespace svg
