#pragma once

#include "framework/engine/CPluginDefinition.h"

// The multi-effect's definition: its texts, counts and unique ID, and the
// factory of its engine. The plug-in module holds the one instance and installs
// it at static initialisation.
class CDriveDef : public CPluginDefinition {
public:
    static constexpr int32_t kUniqueId = ('T' << 24) | ('B' << 16) | ('R' << 8) | '1';

    // Makes the pedal-board editor for an engine. The editor lives in a
    // library above this one, so the plug-in module hands its factory in.
    using EditorFactory = EditorView* (*)(CSynthesizer* engine);

    CDriveDef();

    static void setEditorFactory(EditorFactory factory) noexcept;

    EditorView* createEditor(CSynthesizer* engine) override;
    CSynthesizer* createEngine(CPluginWrapper* wrapper) override;
};
