// The fonts a document declares, installed into the load's font pool when
// its first text is laid out: @font-face rules of its style sheets and
// stand-alone font-face elements (sources by local name, by URL relative to
// the sheet or document, or as data: URLs), and its SVG `font` elements.
// Each source that cannot be used is reported with its location; layout then
// falls back along the family list. Runs on the loading thread.
#pragma once

namespace svg {

class CElemDocument;
class CPreparer;

void InstallDocumentFonts(CElemDocument& document, CPreparer& preparer);

}  // namespace svg
