#include "framework/engine/CSynthesizer.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/EditorView.h"
#include "framework/util/TextCopy.h"

namespace {
int32_t storedParameterCount()
{
    const CPluginDefinition* definition = pluginDefinition();
    return definition != nullptr && definition->storedParameterCount > 0 ? definition->storedParameterCount : 0;
}
}

CSynthesizer::CSynthesizer(CPluginWrapper* wrapper_)
    : pattern(this)
    , wrapper(wrapper_)
{
    std::memset(queue, 0, sizeof(queue));
    for (double& value : controllerValues)
        value = 0.0;
    controllerValues[7] = 1.0;
    controllerValues[10] = 0.5;
    std::memset(keyDown, 0, sizeof(keyDown));
    std::memset(noteVelocities, 0, sizeof(noteVelocities));
    std::memset(keyActivity, 0, sizeof(keyActivity));

    controllerMapSize = storedParameterCount();
    if (controllerMapSize > 0) {
        controllerMap = std::make_unique<int8_t[]>(static_cast<size_t>(controllerMapSize));
        std::memset(controllerMap.get(), -1, static_cast<size_t>(controllerMapSize));
    }
    mixL = std::make_unique<float[]>(kBlockMaximum);
    mixR = std::make_unique<float[]>(kBlockMaximum);
    inCopyL = std::make_unique<float[]>(kBlockMaximum);
    inCopyR = std::make_unique<float[]>(kBlockMaximum);
}

CSynthesizer::~CSynthesizer()
{
    mixL.reset();
    mixR.reset();
    inCopyL.reset();
    inCopyR.reset();
    controllerMap.reset();
    controllerMapSize = 0;
    if (effectUnit != nullptr) {
        CFx* fx = effectUnit;
        effectUnit = nullptr;
        fx->destroy();
    }
    while (voiceList != nullptr) {
        CSynthVoice* voice = voiceList;
        voiceList = voice->next;
        delete voice;
    }
    currentProgram.store(nullptr);
    while (programList != nullptr) {
        CProgram* program = programList;
        programList = program->next;
        delete program;
    }
}

void CSynthesizer::destroy() { delete this; }

// ---- owned parts ----

void CSynthesizer::addProgram(CProgram* program)
{
    if (program == nullptr)
        return;
    program->next = nullptr;
    CProgram** link = &programList;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = program;
    ++programCount;
}

void CSynthesizer::setEffectUnit(CFx* fx)
{
    if (effectUnit != nullptr && effectUnit != fx)
        effectUnit->destroy();
    effectUnit = fx;
}

void CSynthesizer::addVoice(CSynthVoice* voice)
{
    if (voice == nullptr)
        return;
    voice->next = nullptr;
    CSynthVoice** link = &voiceList;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = voice;
    ++voiceCount;
}

void CSynthesizer::setControllerLink(int32_t parameter, int8_t controller)
{
    if (parameter >= 0 && parameter < controllerMapSize)
        controllerMap[parameter] = controller;
}

// ---- programs ----

CProgram* CSynthesizer::getCurrentProgram() const
{
    CProgram* program = currentProgram.load();
    return program != nullptr ? program : programList;
}

CProgram* CSynthesizer::programAt(int32_t index) const
{
    CProgram* program = programList;
    for (int32_t i = 0; i < index && program != nullptr; ++i)
        program = program->next;
    return program;
}

bool CSynthesizer::setProgramName(int32_t index, const char* text)
{
    if (text == nullptr)
        return false;
    const ControlTurn turn = takeControlTurn();
    CProgram* program = programAt(index);
    if (program == nullptr)
        return false;
    copyText(program->name, text);
    return true;
}

bool CSynthesizer::getProgramName(int32_t index, char* text)
{
    if (text == nullptr)
        return false;
    const ControlTurn turn = takeControlTurn();
    CProgram* program = programAt(index);
    if (program == nullptr)
        return false;
    copyText(text, kProgramNameCapacity, program->name);
    return true;
}

int32_t CSynthesizer::setBankChunk(const void* data, int32_t size)
{
    (void)data;
    (void)size;
    return 0;
}

int32_t CSynthesizer::setProgramChunk(const void* data, int32_t size)
{
    (void)data;
    (void)size;
    return 0;
}

int32_t CSynthesizer::getBankChunk(void* buffer)
{
    (void)buffer;
    return 0;
}

int32_t CSynthesizer::getProgramChunk(void* buffer)
{
    (void)buffer;
    return 0;
}

// ---- parameters ----

float CSynthesizer::getParameter(int32_t index)
{
    CProgram* program = getCurrentProgram();
    return program != nullptr ? program->getParameter(index) : 0.0f;
}

float CSynthesizer::getParameterDefault(int32_t index)
{
    CProgram* program = getCurrentProgram();
    return program != nullptr ? program->getParameterDefault(index) : 0.0f;
}

void CSynthesizer::setParameter(int32_t index, float value)
{
    // A value that is not a number would be stored and written into every
    // chunk, which the chunk reader then refuses: the parameter keeps its value.
    if (!std::isfinite(value))
        return;
    CProgram* program = getCurrentProgram();
    if (program == nullptr)
        return;
    program->setParameter(index, value);
    onParameterChanged(index, value);
}

void CSynthesizer::getParameterName(int32_t index, char* text)
{
    if (CProgram* program = getCurrentProgram())
        program->getParameterName(index, text);
}

void CSynthesizer::getParameterDisplay(int32_t index, char* text)
{
    if (CProgram* program = getCurrentProgram())
        program->getParameterDisplay(index, text);
}

void CSynthesizer::getParameterLabel(int32_t index, char* text)
{
    if (CProgram* program = getCurrentProgram())
        program->getParameterLabel(index, text);
}

float CSynthesizer::toHostValue(int32_t index, float stored)
{
    CProgram* program = getCurrentProgram();
    return program != nullptr ? program->toHostValue(index, stored) : stored;
}

float CSynthesizer::fromHostValue(int32_t index, float value)
{
    CProgram* program = getCurrentProgram();
    return program != nullptr ? program->fromHostValue(index, value) : value;
}

void CSynthesizer::onParameterChanged(int32_t index, float value)
{
    (void)index;
    (void)value;
}

// ---- program switch handshake ----

void CSynthesizer::beginProgramSwitch()
{
    // Raising the counter before looking at busy (both sequentially consistent)
    // pairs with render setting busy before looking at the counter: at least one
    // side sees the other, so a switch and a block never run together.
    pendingProgramChanges.fetch_add(1);
    while (busy.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void CSynthesizer::endProgramSwitch()
{
    int32_t pending = pendingProgramChanges.load();
    while (pending > 0 && !pendingProgramChanges.compare_exchange_weak(pending, pending - 1)) { }
}

void CSynthesizer::pushAllParameters()
{
    const int32_t count = storedParameterCount();
    for (int32_t i = 0; i < count; ++i) {
        if (wrapper != nullptr)
            wrapper->parameterChanged(i, getParameter(i));
        onParameterChanged(i, getParameter(i));
    }
}

int32_t CSynthesizer::selectProgram(int32_t index)
{
    if (programCount == 0)
        return 0;
    if (programList == nullptr)
        return programCount;

    const ControlTurn turn = takeControlTurn();
    beginProgramSwitch();
    if (index < 0)
        index = 0;
    if (index > programCount - 1)
        index = programCount - 1;
    currentProgramIndex.store(index);
    currentProgram.store(programAt(index));
    reset();
    pushAllParameters();
    endProgramSwitch();

    if (wrapper != nullptr) {
        if (EditorView* editor = wrapper->getEditor()) {
            editor->requestAllValues();
            return 0;
        }
    }
    return 0;
}

// ---- render hooks and host services with empty defaults ----

void CSynthesizer::onPitchBend() { }
void CSynthesizer::onChannelPressure() { }
void CSynthesizer::onProgramChange(int32_t program) { (void)program; }
bool CSynthesizer::onBankSelect(int32_t value)
{
    (void)value;
    return false;
}
void CSynthesizer::preRender() { }
void CSynthesizer::renderBeforeVoices(float*, float*, float*, float*, int32_t) { }
void CSynthesizer::renderAfterVoices(float*, float*, float*, float*, int32_t) { }
void CSynthesizer::renderAfterEffect(float*, float*, float*, float*, int32_t) { }
void CSynthesizer::renderMultiOutput(float**, float**, int32_t) { }
int32_t CSynthesizer::getOutputDestination(int32_t pairIndex)
{
    (void)pairIndex;
    return 0;
}
int32_t CSynthesizer::getExtraName(int32_t index, char* text)
{
    (void)index;
    (void)text;
    return 0;
}
int32_t CSynthesizer::getMidiPort() { return -1; }
void CSynthesizer::setPlaying(bool playing) { (void)playing; }

void CSynthesizer::processingStopped() { }

// ---- reset, rate, tempo, gains ----

void CSynthesizer::reset()
{
    const ControlTurn turn = takeControlTurn();
    currentGainL = getOutputGain(false);
    currentGainR = getOutputGain(true);

    const bool sustained = isSustainOn();
    for (int32_t key = 0; key < kKeys; ++key) {
        keyDown[key] = 0;
        if (sustained)
            continue;
        if (keys[key].velocity != 0) {
            keys[key].velocity = 0;
            if (voiceMode)
                playVoiceNote(static_cast<int8_t>(key), 0);
            onNote(static_cast<int8_t>(key), 0);
        }
    }
    if (effectUnit != nullptr)
        effectUnit->reset();
    for (CSynthVoice* voice = voiceList; voice != nullptr; voice = voice->next) {
        voice->reset();
        voice->glideStartPitch = 48.0;
    }
    lastNote = -1;
    pattern.stop();
}

void CSynthesizer::setSampleRate(double rate)
{
    const ControlTurn turn = takeControlTurn();
    if (rate == sampleRate)
        return;
    reset();
    sampleRate = rate;
    for (CSynthVoice* voice = voiceList; voice != nullptr; voice = voice->next)
        voice->setSampleRate(rate);
    if (effectUnit != nullptr) {
        effectUnit->setSampleRate(rate);
        effectUnit->reset();
    }
}

void CSynthesizer::setTempo(double bpm)
{
    if (bpm == tempo)
        return;
    // Written so that a NaN from a host also ends at the floor of 1 BPM.
    tempo = bpm > 1.0 ? bpm : 1.0;
    if (effectUnit != nullptr)
        effectUnit->setTempo(tempo);
}

float CSynthesizer::getOutputGain(bool right)
{
    const double gain = static_cast<double>(level) * controllerValues[7];
    double c = ((controllerValues[10] - 1.0 + static_cast<double>(pan)) * 2.0 + 1.0) * 0.5;
    if (c < 0.0)
        c = 0.0;
    if (c > 1.0)
        c = 1.0;
    return static_cast<float>(right ? gain * c : gain * (1.0 - c));
}

// ---- state access ----

double CSynthesizer::getControllerValue(int32_t controller) const
{
    return controller >= 0 && controller < kControllers ? controllerValues[controller] : 0.0;
}

void CSynthesizer::setControllerValue(int32_t controller, double value)
{
    if (controller >= 0 && controller < kControllers)
        controllerValues[controller] = value;
}

KeyRecord* CSynthesizer::getKeyRecord(int32_t note) { return note >= 0 && note < kKeys ? &keys[note] : nullptr; }

uint8_t CSynthesizer::getKeyDown(int32_t note) const { return note >= 0 && note < kKeys ? keyDown[note] : 0; }

bool CSynthesizer::isKeyActive(int32_t note) const { return note >= 0 && note < kKeys && keyActivity[note] != 0; }
