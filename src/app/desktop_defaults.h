// The desktop's colours and fonts for the CSS system colours, the system font
// keywords of documents and the Windows interface faces documents name, read
// from Qt's palette and fonts at start-up.
#pragma once

namespace vexo {

// Installs them into the core before the first load.
void InstallDesktopDefaults();

}  // namespace vexo
