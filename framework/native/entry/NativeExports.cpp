// The native-protocol export of a plug-in module. Compiled into each module
// (not into a static library), so it is always linked and stays visible while
// everything else in the module is hidden.

#include "framework/native/CMxsWrapper.h"

#define TB_EXPORT __attribute__((visibility("default")))

extern "C" TB_EXPORT TOrvanePlug* CreatePlugInstance(TOrvaneHost* host, int32_t tag)
{
    return createPlugInstance(host, tag);
}
