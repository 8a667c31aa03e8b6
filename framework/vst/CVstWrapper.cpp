// CVstWrapper: construction, lifetime, parameters, programs, chunks and texts.
// The audio path is in CVstWrapperAudio.cpp.

#include "framework/vst/CVstWrapper.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/engine/EditorView.h"
#include "framework/vst/CVstEditor.h"
#include "framework/vst/VstText.h"

static_assert(CSynthesizer::kBlockMaximum == 128);

namespace {

// Engine texts are bounded by the engine's own capacities, which are well
// below this; the host then gets at most its limit.
constexpr std::size_t kScratchText = 1024;

}  // namespace

CVstWrapper::CVstWrapper(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 0, 0)
    , bridge(*this)
{
    CPluginDefinition* definition = pluginDefinition();
    if (definition) {
        numPrograms = definition->programCount;
        numParams = definition->publishedParameterCount;
        cEffect.numPrograms = numPrograms;
        cEffect.numParams = numParams;
        engine = definition->createEngine(&bridge);
        if (engine)
            engine->setSampleRate(44100.0);

        setNumInputs(definition->inputChannels);
        setNumOutputs(2 * definition->outputPairs);
        canProcessReplacing(true);
        programsAreChunks(true);
        isSynth(!definition->isEffect);
        setUniqueID(definition->uniqueId);
    }

    outputChannels = std::max<int32_t>(cEffect.numOutputs, 0);

    suspend();

    chunkBuffer = nullptr;
    if (engine && definition && definition->hasEditor) {
        // The has-editor flag goes only with an editor that can open: a host
        // shows an editor button for it. Out of memory here means an instance
        // without an editor; a throw would leave the engine behind, since this
        // object is never finished.
        if (EditorView* view = definition->createEditor(engine)) {
            if (auto* vstEditor = new (std::nothrow) CVstEditor(this)) {
                vstEditor->setPluginUI(view);
                setEditor(vstEditor);
            } else {
                view->destroyView();
            }
        }
    }

    if (engine)
        engine->selectProgram(0);
    curProgram = 0;
}

CVstWrapper::~CVstWrapper() { releaseAll(); }

void CVstWrapper::releaseAll()
{
    // The editor reads the engine until its last moment, so it goes first.
    if (editor) {
        if (editor->isOpen())
            editor->close();
        AEffEditor* old = editor;
        setEditor(nullptr);
        delete old;
    }
    if (engine) {
        CSynthesizer* old = engine;
        engine = nullptr;
        old->destroy();
    }
    delete[] chunkBuffer;
    chunkBuffer = nullptr;
}

void CVstWrapper::open() { }

void CVstWrapper::close() { releaseAll(); }

CSynthesizer::ControlTurn CVstWrapper::controlTurn()
{
    return engine ? engine->takeControlTurn() : CSynthesizer::ControlTurn();
}

void CVstWrapper::suspend()
{
    const auto turn = controlTurn();
    if (engine) {
        engine->reset();
        engine->processingStopped();
    }
}

VstInt32 CVstWrapper::stopProcess()
{
    // Hosts may send this from their audio thread between two blocks, so it
    // takes no control turn; the engine's handshake keeps it apart from a block.
    if (engine)
        engine->processingStopped();
    return 0;
}

void CVstWrapper::resume()
{
    const auto turn = controlTurn();
    AudioEffectX::resume();
    if (engine)
        engine->reset();
}

void CVstWrapper::setSampleRate(float rate)
{
    if (!std::isfinite(rate) || rate <= 0.0f)
        return;
    const auto turn = controlTurn();
    sampleRate = rate;
    if (engine)
        engine->setSampleRate(static_cast<double>(rate));
}

void CVstWrapper::setBlockSize(VstInt32 size)
{
    const auto turn = controlTurn();
    AudioEffectX::setBlockSize(size);
}

// ---- parameters --------------------------------------------------------------

EditorView* CVstWrapper::pluginEditor() const
{
    auto* vstEditor = static_cast<CVstEditor*>(editor);
    return vstEditor ? vstEditor->getPluginUI() : nullptr;
}

void CVstWrapper::setParameter(VstInt32 index, float value)
{
    if (!engine || !isPublished(index))
        return;
    // The host holds a fraction; the program may store another scale.
    const float stored = engine->fromHostValue(index, value);
    // Ignored like the engine ignores it, so the editor does not show it either.
    if (!std::isfinite(stored))
        return;
    engine->setParameter(index, stored);
    if (EditorView* ui = pluginEditor())
        ui->requestParameterValue(index, stored);
}

float CVstWrapper::getParameter(VstInt32 index)
{
    if (!engine || !isPublished(index))
        return 0.0f;
    return engine->toHostValue(index, engine->getParameter(index));
}

void CVstWrapper::getParameterLabel(VstInt32 index, char* label)
{
    char scratch[kScratchText] = {};
    if (engine && isPublished(index))
        engine->getParameterLabel(index, scratch);
    vstCopyText(label, scratch, kParameterTextChars);
}

void CVstWrapper::getParameterDisplay(VstInt32 index, char* text)
{
    char scratch[kScratchText] = {};
    if (engine && isPublished(index))
        engine->getParameterDisplay(index, scratch);
    vstCopyText(text, scratch, kParameterTextChars);
}

void CVstWrapper::getParameterName(VstInt32 index, char* text)
{
    char scratch[kScratchText] = {};
    if (engine && isPublished(index))
        engine->getParameterName(index, scratch);
    vstCopyText(text, scratch, kParameterTextChars);
}

// ---- programs ------------------------------------------------------------------

void CVstWrapper::setProgram(VstInt32 program)
{
    const auto turn = controlTurn();
    if (engine)
        engine->selectProgram(program);
    curProgram = program;
}

void CVstWrapper::setProgramName(char* name)
{
    if (!engine || !name)
        return;
    // The host's buffer is only as long as the interface promises.
    char bounded[kProgramNameChars + 1];
    vstCopyText(bounded, name, kProgramNameChars);
    engine->setProgramName(engine->getCurrentProgramIndex(), bounded);
}

void CVstWrapper::getProgramName(char* name)
{
    char scratch[kScratchText] = {};
    if (engine)
        engine->getProgramName(curProgram, scratch);
    vstCopyText(name, scratch, kProgramNameChars);
}

bool CVstWrapper::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text)
{
    char scratch[kScratchText] = {};
    if (engine)
        engine->getProgramName(index, scratch);
    vstCopyText(text, scratch, kProgramNameChars);
    return true;
}

// ---- chunks --------------------------------------------------------------------

VstInt32 CVstWrapper::getChunk(void** data, bool isPreset)
{
    // Two threads asking at once would free each other's buffer.
    const auto turn = controlTurn();
    delete[] chunkBuffer;
    chunkBuffer = nullptr;
    if (!engine || !data)
        return 0;
    const int32_t size = isPreset ? engine->getProgramChunk(nullptr) : engine->getBankChunk(nullptr);
    if (size < 2)
        return 0;
    chunkBuffer = new (std::nothrow) char[static_cast<std::size_t>(size)];
    if (!chunkBuffer)
        return 0;
    std::memset(chunkBuffer, 0, static_cast<std::size_t>(size));
    if (isPreset)
        engine->getProgramChunk(chunkBuffer);
    else
        engine->getBankChunk(chunkBuffer);
    *data = chunkBuffer;
    return size;
}

VstInt32 CVstWrapper::setChunk(void* data, VstInt32 byteSize, bool isPreset)
{
    if (!engine || !data || byteSize < 0)
        return 0;
    const auto turn = controlTurn();
    return isPreset ? engine->setProgramChunk(data, byteSize) : engine->setBankChunk(data, byteSize);
}

// ---- outputs and texts -----------------------------------------------------

bool CVstWrapper::getOutputProperties(VstInt32 index, VstPinProperties* properties)
{
    CPluginDefinition* definition = pluginDefinition();
    if (!definition || !properties || index < 0 || index >= 2 * definition->outputPairs)
        return false;
    char scratch[kScratchText] = {};
    definition->getOutputName(index / 2, scratch);
    vstCopyText(properties->label, scratch, kPinLabelChars);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

bool CVstWrapper::getEffectName(char* name)
{
    const CPluginDefinition* definition = pluginDefinition();
    vstCopyText(name, definition ? definition->name : "", kEffectNameChars);
    return true;
}

bool CVstWrapper::getVendorString(char* text)
{
    const CPluginDefinition* definition = pluginDefinition();
    vstCopyText(text, definition ? definition->vendor : "", kVendorChars);
    return true;
}

bool CVstWrapper::getProductString(char* text)
{
    const CPluginDefinition* definition = pluginDefinition();
    char scratch[kScratchText] = {};
    if (definition)
        std::snprintf(scratch, sizeof scratch, "%.*s %.*s", 500, definition->name, 500, definition->version);
    vstCopyText(text, scratch, kProductChars);
    return true;
}

VstInt32 CVstWrapper::canDo(char* text)
{
    if (!text)
        return -1;
    static const char* const answersYes[] = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"};
    for (const char* yes : answersYes)
        if (std::strncmp(text, yes, std::strlen(yes) + 1) == 0)
            return 1;
    return -1;
}

VstPlugCategory CVstWrapper::getPlugCategory()
{
    const CPluginDefinition* definition = pluginDefinition();
    return definition && definition->isEffect ? kPlugCategEffect : kPlugCategSynth;
}

// ---- the interface engine and editor use -----------------------------------

void CVstWrapper::Bridge::parameterChanged(int32_t index, float value)
{
    if (index < 0 || index >= owner.numParams || !owner.audioMaster)
        return;
    // Engine and editor report stored values; the host records fractions.
    const float hostValue = owner.engine ? owner.engine->toHostValue(index, value) : value;
    owner.audioMaster(&owner.cEffect, audioMasterAutomate, index, 0, nullptr, hostValue);
}

void CVstWrapper::Bridge::setCurrentProgram(int32_t index) { owner.curProgram = index; }

EditorView* CVstWrapper::Bridge::getEditor() { return owner.pluginEditor(); }

void CVstWrapper::Bridge::beginEdit(int32_t index)
{
    if (index >= 0 && index < owner.numParams)
        owner.beginEdit(index);
}

void CVstWrapper::Bridge::endEdit(int32_t index)
{
    if (index >= 0 && index < owner.numParams)
        owner.endEdit(index);
}
