// The application's compiled-in resources (icons, the attribute schema).
#pragma once

namespace vexo {

// Registers them; the resources live in a static library, and naming their
// initialiser keeps the linker from dropping them. Safe to call repeatedly.
void InitResources();

}  // namespace vexo
