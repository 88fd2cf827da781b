// The fonts of one load: the system faces found for family lists and their
// metrics. Property resolution asks it for metrics (through
// CFontMetricsSource), text layout for faces. One per load, owned by whoever
// runs the load and kept as long as its documents; used by one thread at a
// time.
#pragma once

#include "model/doc_options.h"
#include "model/load_context.h"
#include "text/font_lookup.h"

namespace svg {

class CFontContext final : public CFontMetricsSource {
public:
    explicit CFontContext(const CDocOptions& options);

    FaceMetrics Metrics(std::string_view familyList, int weight, FontStyle style) override;

private:
    CSystemFaceMetrics systemFaces_;
};

}  // namespace svg
