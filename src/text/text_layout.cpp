#include "text/text_layout.h"

#include "model/elem.h"

namespace svg {

// Glyph layout is not built yet: no text element is laid out.
bool LayOutText(CElemText&, CFontContext&, CLoadContext&) { return false; }

}  // namespace svg
