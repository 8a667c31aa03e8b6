#include "tests/effect/product/plugin_host.h"

namespace producttest {

std::string PluginHost::moduleFolder() { return TB_MODULE_DIR; }

PluginHost::PluginHost()
    : module_(moduleFolder() + "/Tambrell.so")
{
    effect = host_.create(module_);
}

}  // namespace producttest
