// The plug-in module: the multi-effect's definition, installed when the module
// is loaded; the entry points and the load-time hook come with the module
// target.
#include "effect/editor/CDriveEditor.h"
#include "effect/product/CDriveDef.h"

namespace {
// A static object rather than a heap one: a host that unloads and reloads the
// library must not leave one definition behind per load.
CDriveDef definitionObject;
[[maybe_unused]] CPluginDefinition* const theDefinition = installPluginDefinition(&definitionObject);
// The pedal board is the module's editor.
[[maybe_unused]] const bool editorInstalled = (CDriveDef::setEditorFactory(&createDriveEditor), true);
}
