// Text layout: turns a `text` element, with the tspan, tref, textPath and
// altGlyph content under it, into what its drawing paints: positioned glyph
// outlines and decorations in the element's user space (CTextLayout, held by
// the element). Runs while the element is prepared, on the loading thread.
#pragma once

namespace svg {

class CElemText;
class CFontContext;
class CLoadContext;

// Lays out `text` and stores the result in text.layout. False when the text
// cannot be laid out by this build: the element then draws nothing, and the
// caller says so with a located warning.
bool LayOutText(CElemText& text, CFontContext& fonts, CLoadContext& context);

}  // namespace svg
