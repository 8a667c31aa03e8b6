#include "effect/reverb/PlateEffect.h"

#include <new>

namespace plate {

namespace {

    constexpr const char* kProgramName = "[1] Default Reverb";
    constexpr float kStartRate = 44100.0f;

}  // namespace

PlateEffect::PlateEffect()
{
    program_ = new (std::nothrow) ReverbProgram;
    if (program_) {
        for (int i = 0; i < kParamCount; ++i)
            program_->values[i] = defaultNormalised(i);
        copyText(program_->name, kProgramName, ReverbProgram::kNameSize);
    }
    loadProgram();

    plate_.setSampleRate(kStartRate);
    plate_.suspend();
    stale_.store(true);
}

PlateEffect::~PlateEffect() { delete program_; }

void PlateEffect::store(int32_t index, float normalised, int32_t natural)
{
    values_[index] = normalised;
    natural_[index] = natural;
    if (program_)
        program_->values[index] = normalised;
    stale_.store(true, std::memory_order_release);
}

void PlateEffect::setParameter(int32_t index, float value)
{
    if (!validParam(index))
        return;
    const float v = clampNormalised(value);
    store(index, v, naturalFromNormalised(index, v));
}

void PlateEffect::setNaturalValue(int32_t index, int32_t natural)
{
    if (!validParam(index))
        return;
    const int32_t lo = naturalMin(index);
    const int32_t hi = naturalMax(index);
    const int32_t n = natural < lo ? lo : (natural > hi ? hi : natural);
    store(index, normalisedFromNatural(index, n), n);
}

float PlateEffect::getParameter(int32_t index) const { return validParam(index) ? values_[index].load() : 0.0f; }

int32_t PlateEffect::naturalValue(int32_t index) const { return validParam(index) ? natural_[index].load() : 0; }

void PlateEffect::loadProgram()
{
    for (int i = 0; i < kParamCount; ++i)
        setParameter(i, program_ ? program_->values[i] : defaultNormalised(i));
}

void PlateEffect::setProgramName(const char* name)
{
    if (program_ && name)
        copyText(program_->name, name, ReverbProgram::kNameSize);
}

const char* PlateEffect::programName() const { return program_ ? program_->name : ""; }

void PlateEffect::getParameterLabel(int32_t index, char* label) const { paramLabel(index, label); }

void PlateEffect::getParameterName(int32_t index, char* text) const { paramName(index, text); }

void PlateEffect::getParameterDisplay(int32_t index, char* text) const
{
    if (validParam(index))
        paramDisplay(index, natural_[index], text);
}

void PlateEffect::takeChanges()
{
    if (!stale_.exchange(false, std::memory_order_acquire))
        return;
    int32_t n[kParamCount];
    for (int i = 0; i < kParamCount; ++i)
        n[i] = natural_[i];
    plate_.update(n);
}

}  // namespace plate
