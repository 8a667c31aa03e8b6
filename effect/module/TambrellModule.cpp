// The plug-in module: the product's definition comes in from its static
// library through the link anchor; the entry points come from the adaptor.
#include "effect/product/CDriveDef.h"

namespace {
// Keeps the definition's object file in the link on every toolchain, even one
// that would ignore the anchor option.
[[maybe_unused]] int* const keepDefinition = &tb_product_definition_anchor;
}
