// The desktop's colours and fonts for the CSS system colours, the system font
// keywords of documents and the Windows interface faces documents name, read
// from Qt's palette and fonts. Needs a QGuiApplication.
#pragma once

#include "model/doc_options.h"

namespace vexo {

svg::DesktopStyle ReadDesktopStyle();

}  // namespace vexo
