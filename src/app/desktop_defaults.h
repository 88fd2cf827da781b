// The desktop's colours and fonts for the CSS system colours and the system
// font keywords of documents, read from Qt's palette and fonts at start-up.
#pragma once

namespace vexo {

// Installs them into the core before the first load.
void InstallDesktopDefaults();

}  // namespace vexo
