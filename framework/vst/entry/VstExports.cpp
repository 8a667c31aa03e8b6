// The VST 2.4 exports of a plug-in module. Compiled into each module (not into
// a static library), so they are always linked and stay visible while
// everything else in the module is hidden.

#include "framework/vst/VstEntry.h"

#define TB_EXPORT __attribute__((visibility("default")))

extern "C" TB_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) { return vstPluginMain(audioMaster); }

// Old hosts look the entry up as "main". C++ reserves that name for the
// program's entry, so the function gets another name and the symbol this one.
extern "C" TB_EXPORT AEffect* tbVstLegacyMain(audioMasterCallback audioMaster) __asm__("main");

AEffect* tbVstLegacyMain(audioMasterCallback audioMaster) { return vstLegacyMain(audioMaster); }
