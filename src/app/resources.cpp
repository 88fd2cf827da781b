#include "app/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitVexoResources() { Q_INIT_RESOURCE(vexo); }

namespace vexo {

void InitResources()
{
    static const bool registered = (InitVexoResources(), true);
    (void)registered;
}

}  // namespace vexo
