#include "render/text_fonts.h"

#include "model/document.h"
#include "render/prepare.h"

namespace svg {

void InstallDocumentFonts(CElemDocument&, CPreparer&) {}

}  // namespace svg
