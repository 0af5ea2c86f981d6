#include "app/Resources.h"

#include <QtGlobal>
#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterQuillexResources() {
    Q_INIT_RESOURCE(quillex);
}

namespace qx {

void InitResources() {
    static std::once_flag once;
    std::call_once(once, RegisterQuillexResources);
}

}  // namespace qx
