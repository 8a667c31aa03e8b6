#pragma once
// What the module's exported VST entry points do. The exports themselves are
// in framework/vst/entry/ and are compiled into each plug-in module, so that
// only a module, never a test program, carries a symbol named "main".

#include "framework/vst/VstTypes.h"

class AudioEffect;

// Marks the process's host format as VST and creates the adaptor; null when
// creation fails.
AudioEffect* createVstInstance(audioMasterCallback audioMaster) noexcept;

// VSTPluginMain: null for a host that answers version 0, else a new effect.
// Leaves the caller's floating-point control word alone.
AEffect* vstPluginMain(audioMasterCallback audioMaster) noexcept;

// The legacy "main": first flushes denormals in the calling thread, then does
// what vstPluginMain does.
AEffect* vstLegacyMain(audioMasterCallback audioMaster) noexcept;
