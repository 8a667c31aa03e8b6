#include "effect/product/CDriveDef.h"

#include "effect/product/CDrive.h"
#include "effect/product/CDriveProgram.h"

#include <atomic>
#include <new>

CDriveDef::CDriveDef()
{
    setName("Tambrell");
    setVendor("Ostravelin");
    setVersion("1.1.3");
    hasSse2 = processorHasSse2();
    isEffect = true;
    nativeSwitch = false;
    hasEditor = true;
    setFormatText("");
    formatId = 0;
    programCount = 0;
    publishedParameterCount = CDriveProgram::kPublishedCount;
    storedParameterCount = CDriveProgram::kStoredCount;
    inputChannels = 2;
    outputPairs = 1;
    uniqueId = kUniqueId;
}

namespace {
// Constant-initialised, so a factory handed in by another translation unit's
// static initialiser is never overwritten, whatever the order.
std::atomic<CDriveDef::EditorFactory> editorFactory {nullptr};
}

void CDriveDef::setEditorFactory(EditorFactory factory) noexcept { editorFactory.store(factory); }

EditorView* CDriveDef::createEditor(CSynthesizer* engine)
{
    // Without a factory (a build without the editor) the adaptors run the
    // plug-in without an editor.
    const EditorFactory factory = editorFactory.load();
    return factory != nullptr ? factory(engine) : nullptr;
}

CSynthesizer* CDriveDef::createEngine(CPluginWrapper* wrapper) { return new (std::nothrow) CDrive(wrapper); }
