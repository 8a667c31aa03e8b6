// The load-time hook of a plug-in module: records where the module lives as
// soon as the loader maps it. Compiled into each module (not into a static
// library), so the linker keeps it without being told to.

#include "framework/engine/ModuleLoad.h"

namespace {
__attribute__((constructor)) void attachOnLoad() { moduleAttach(); }
}
