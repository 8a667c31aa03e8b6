#include "effect/product/CDrive.h"

#include "effect/dsp/CDriveEffect.h"
#include "effect/product/CDriveProgram.h"
#include "effect/product/DataFolder.h"
#include "effect/product/ProgramChunk.h"
#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/EditorView.h"
#include "framework/util/CFileStreamer.h"

#include <cstring>
#include <new>

namespace {
constexpr char kPresetExtension[] = "tbprg";
}

CDrive::CDrive(CPluginWrapper* wrapper)
    : CSynthesizer(wrapper)
{
    if (CDriveProgram* program = new (std::nothrow) CDriveProgram)
        addProgram(program);
    chain_ = new (std::nothrow) CDriveEffect;
    if (chain_ != nullptr) {
        setEffectUnit(chain_);
        chain_->setProgram(getCurrentProgram());
    }

    findFolders();
    presetList_.addExtension(kPresetExtension, false);
    presetList_.scanFolder(presetsFolder_);

    const char* first = presetList_.getEntry(0);
    if (first != nullptr) {
        loading_.store(true);
        loadStartupPreset(first);
        loading_.store(false);
    }
}

CDrive::~CDrive() = default;

void CDrive::findFolders()
{
    const CPluginDefinition* def = pluginDefinition();
    char root[kFolderCapacity];
    datafolder::findRootFolder(def != nullptr ? def->formatId : 0, root, sizeof root);
    datafolder::joinFolder(root, "Gfx", graphicsFolder_, sizeof graphicsFolder_);
    datafolder::joinFolder(root, "Presets", presetsFolder_, sizeof presetsFolder_);
}

int32_t CDrive::loadStartupPreset(const char* path)
{
    if (path == nullptr)
        return 0;
    const ControlTurn turn = takeControlTurn();
    CFileStreamer file;
    if (!file.open(path, "rb") || file.getSize() <= 0)
        return 0;
    // A file of another version may be shorter than a chunk and is handed
    // over whole; the engine takes at most one chunk, so nothing beyond it is
    // read.
    uint8_t chunk[programchunk::kSize] = {};
    const int32_t size = file.getSize() < programchunk::kSize ? file.getSize() : programchunk::kSize;
    int32_t result = 0;
    if (file.readExact(chunk, size))
        result = setProgramChunk(chunk, size);
    file.close();

    char baseName[kProgramNameCapacity];
    fileBaseName(path, baseName, sizeof baseName);
    setProgramName(0, baseName);
    return result;
}

int32_t CDrive::setBankChunk(const void* data, int32_t size) { return setProgramChunk(data, size); }

int32_t CDrive::setProgramChunk(const void* data, int32_t size)
{
    const ControlTurn turn = takeControlTurn();
    CProgram* program = getCurrentProgram();
    if (program == nullptr)
        return 0;
    const programchunk::Parsed parsed = programchunk::read(static_cast<const uint8_t*>(data), size);
    if (parsed.consumed == 0)
        return 0;
    // The program's own setter: host, chain and editor learn the values at
    // the switch below.
    for (int32_t i = 0; i < parsed.valueCount; ++i)
        program->setParameter(i, parsed.values[i]);
    if (parsed.hasName)
        std::memcpy(program->name, parsed.name, sizeof program->name);
    // A cut-off value run is no program to switch to: its values wait for
    // the next switch.
    if (parsed.valueCount == programchunk::kValueCount && !loading_.load())
        selectProgram(0);
    return parsed.consumed;
}

int32_t CDrive::getBankChunk(void* buffer) { return getProgramChunk(buffer); }

int32_t CDrive::getProgramChunk(void* buffer)
{
    if (buffer != nullptr) {
        const ControlTurn turn = takeControlTurn();
        float values[programchunk::kValueCount] = {};
        CProgram* program = getCurrentProgram();
        if (program != nullptr)
            for (int32_t i = 0; i < programchunk::kValueCount; ++i)
                values[i] = program->getParameter(i);
        programchunk::write(values, program != nullptr ? program->name : "", static_cast<uint8_t*>(buffer));
    }
    return programchunk::kSize;
}

int32_t CDrive::selectProgram(int32_t index)
{
    (void)index;
    const ControlTurn turn = takeControlTurn();
    const int32_t result = CSynthesizer::selectProgram(0);
    // The pedal boxes belong to the editor's thread: this only tells it.
    programSwitches_.fetch_add(1, std::memory_order_acq_rel);
    return result;
}

void CDrive::renderAfterEffect(float* inL, float* inR, float* mixL, float* mixR, int32_t frames)
{
    (void)inL;
    (void)inR;
    (void)mixL;
    (void)mixR;
    (void)frames;
    if (chain_ == nullptr)
        return;
    inputPeak_.store(chain_->inputPeak(), std::memory_order_relaxed);
    outputPeak_.store(chain_->outputPeak(), std::memory_order_relaxed);
}

void CDrive::onParameterChanged(int32_t index, float value)
{
    if (chain_ != nullptr)
        chain_->setEffectParameter(index, value);
}

void CDrive::reset()
{
    // Suspend, resume and rate changes come from the host's threads while the
    // audio thread may be rendering: they take the control turn first, then
    // the same hand-over with the audio thread as a switch.
    const ControlTurn turn = takeControlTurn();
    beginProgramSwitch();
    CSynthesizer::reset();
    endProgramSwitch();
}

void CDrive::setSampleRate(double rate)
{
    const ControlTurn turn = takeControlTurn();
    // The same rate changes nothing, so it need not hold the audio thread up.
    if (rate == getSampleRate())
        return;
    beginProgramSwitch();
    CSynthesizer::setSampleRate(rate);
    endProgramSwitch();
}

void CDrive::processingStopped()
{
    // The audio thread writes the peaks after every piece of a block: the
    // hand-over waits for a running block and holds the next one back, so the
    // rest is not overwritten by a block that had already begun.
    beginProgramSwitch();
    inputPeak_.store(0.0f, std::memory_order_relaxed);
    outputPeak_.store(0.0f, std::memory_order_relaxed);
    endProgramSwitch();
}
