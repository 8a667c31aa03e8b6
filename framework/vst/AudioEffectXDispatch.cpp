// The extended dispatcher: opcodes 25-79 map one to one onto AudioEffectX
// operations; everything else goes to AudioEffect.

#include <cmath>
#include <cstdint>

#include "framework/vst/AudioEffectX.h"

namespace {

VstIntPtr asFlag(bool b) { return b ? 1 : 0; }

// Hosts send key modifiers as a float. Going through a signed 64-bit integer
// keeps the conversion defined for every value a host might put there.
unsigned char modifiersFrom(float opt)
{
    if (!std::isfinite(opt) || opt >= 9.2e18f || opt <= -9.2e18f)
        return 0;
    return static_cast<unsigned char>(static_cast<std::int64_t>(opt));
}

}  // namespace

bool AudioEffectX::needsPointer(VstInt32 opcode)
{
    switch (opcode) {
    case effProcessEvents:
    case effString2Parameter:
    case effGetProgramNameIndexed:
    case effGetInputProperties:
    case effGetOutputProperties:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
    case effGetEffectName:
    case effGetErrorText:
    case effGetVendorString:
    case effGetProductString:
    case effCanDo:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effGetSpeakerArrangement:
    case effShellGetNextPlugin:
    case effBeginLoadBank:
    case effBeginLoadProgram: return true;
    default: return false;
    }
}

VstIntPtr AudioEffectX::dispatchEditorKey(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt)
{
    if (!editor)
        return 0;
    VstKeyCode key {};
    key.character = index;
    key.virt = static_cast<unsigned char>(value);
    key.modifier = modifiersFrom(opt);
    return asFlag(opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key));
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (opcode < effProcessEvents || opcode > effGetNumMidiOutputChannels)
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    if (needsPointer(opcode) && !ptr)
        return 0;

    char* text = static_cast<char*>(ptr);
    const auto v32 = static_cast<VstInt32>(value);
    switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return asFlag(canParameterBeAutomated(index));
    case effString2Parameter: return asFlag(string2parameter(index, text));
    case effGetNumProgramCategories: return getNumCategories();
    case effGetProgramNameIndexed: return asFlag(getProgramNameIndexed(v32, index, text));
    case effCopyProgram: return asFlag(copyProgram(index));
    case effConnectInput: return dispatchConnectInput(index, value);
    case effConnectOutput: return dispatchConnectOutput(index, value);
    case effGetInputProperties: return asFlag(getInputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetOutputProperties: return asFlag(getOutputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetPlugCategory: return getPlugCategory();
    case effGetCurrentPosition: return reportCurrentPosition();
    case effGetDestinationBuffer: return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify: return asFlag(offlineNotify(static_cast<VstAudioFile*>(ptr), v32, index != 0));
    case effOfflinePrepare: return asFlag(offlinePrepare(static_cast<VstOfflineTask*>(ptr), v32));
    case effOfflineRun: return asFlag(offlineRun(static_cast<VstOfflineTask*>(ptr), v32));
    case effProcessVarIo: return asFlag(processVariableIo(static_cast<VstVariableIo*>(ptr)));
    case effSetSpeakerArrangement: return dispatchSetSpeakerArrangement(value, ptr);
    case effSetBlockSizeAndSampleRate: return dispatchSetBlockSizeAndSampleRate(v32, opt);
    case effSetBypass: return asFlag(setBypass(value != 0));
    case effGetEffectName: return asFlag(getEffectName(text));
    case effGetErrorText: return asFlag(getErrorText(text));
    case effGetVendorString: return asFlag(getVendorString(text));
    case effGetProductString: return asFlag(getProductString(text));
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return canDo(text);
    case effGetTailSize: return getTailSize();
    case effIdle: return fxIdle();
    case effGetIcon: return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition: return asFlag(setViewPosition(index, v32));
    case effGetParameterProperties: return dispatchGetParameterProperties(index, ptr);
    case effKeysRequired: return keysRequired() ? 0 : 1;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: return dispatchEditorKey(opcode, index, value, opt);
    case effSetEditKnobMode: return dispatchSetEditKnobMode(v32);
    case effGetMidiProgramName: return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory: return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged: return asFlag(hasMidiProgramsChanged(index));
    case effGetMidiKeyName: return asFlag(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)));
    case effBeginSetProgram: return asFlag(beginSetProgram());
    case effEndSetProgram: return asFlag(endSetProgram());
    case effGetSpeakerArrangement: return dispatchGetSpeakerArrangement(value, ptr);
    case effShellGetNextPlugin: return getNextShellPlugin(text);
    case effStartProcess: return startProcess();
    case effStopProcess: return stopProcess();
    case effSetTotalSampleToProcess: return setTotalSampleToProcess(v32);
    case effSetPanLaw: return asFlag(setPanLaw(v32, opt));
    case effBeginLoadBank: return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram: return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision: return asFlag(setProcessPrecision(v32));
    case effGetNumMidiInputChannels: return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
    default: return 0;
    }
}

// ---- handlers of the cases that check or convert what the host handed in ----

VstIntPtr AudioEffectX::dispatchConnectInput(VstInt32 index, VstIntPtr value)
{
    inputConnected(index, value != 0);
    return 1;
}

VstIntPtr AudioEffectX::dispatchConnectOutput(VstInt32 index, VstIntPtr value)
{
    outputConnected(index, value != 0);
    return 1;
}

VstIntPtr AudioEffectX::dispatchSetSpeakerArrangement(VstIntPtr value, void* ptr)
{
    if (!value)
        return 0;
    return asFlag(setSpeakerArrangement(
        reinterpret_cast<VstSpeakerArrangement*>(value), static_cast<VstSpeakerArrangement*>(ptr)));
}

VstIntPtr AudioEffectX::dispatchGetSpeakerArrangement(VstIntPtr value, void* ptr)
{
    if (!value)
        return 0;
    return asFlag(getSpeakerArrangement(
        reinterpret_cast<VstSpeakerArrangement**>(value), static_cast<VstSpeakerArrangement**>(ptr)));
}

VstIntPtr AudioEffectX::dispatchSetBlockSizeAndSampleRate(VstInt32 size, float opt)
{
    // A rate that is not a positive number keeps the one we have.
    const float rate = std::isfinite(opt) && opt > 0.0f ? opt : sampleRate;
    setBlockSizeAndSampleRate(size, rate);
    return 1;
}

VstIntPtr AudioEffectX::dispatchGetParameterProperties(VstInt32 index, void* ptr)
{
    return asFlag(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)));
}

VstIntPtr AudioEffectX::dispatchSetEditKnobMode(VstInt32 mode)
{
    return editor ? asFlag(editor->setKnobMode(mode)) : 0;
}
