#include "tests/support/TestPlugin.h"

#include <cstdio>

TestProgram::TestProgram(int32_t count, float defaultValue_)
    : values(static_cast<size_t>(count > 0 ? count : 0), defaultValue_)
    , defaultValue(defaultValue_)
{
}

void TestProgram::setParameter(int32_t index, float value)
{
    if (index >= 0 && static_cast<size_t>(index) < values.size())
        values[static_cast<size_t>(index)] = value;
}

float TestProgram::getParameter(int32_t index)
{
    return index >= 0 && static_cast<size_t>(index) < values.size() ? values[static_cast<size_t>(index)] : 0.0f;
}

float TestProgram::getParameterDefault(int32_t index)
{
    (void)index;
    return defaultValue;
}

void TestProgram::getParameterName(int32_t index, char* text)
{
    std::snprintf(text, kParameterTextCapacity, "P%d", static_cast<int>(index));
}

void TestProgram::reset()
{
    for (float& value : values)
        value = defaultValue;
}

TestEngine::TestEngine(CPluginWrapper* wrapper, int32_t programs)
    : CSynthesizer(wrapper)
{
    const CPluginDefinition* definition = pluginDefinition();
    const int32_t count = definition != nullptr ? definition->storedParameterCount : 0;
    for (int32_t i = 0; i < programs; ++i)
        addProgram(new TestProgram(count));
}

TestDefinition::TestDefinition()
{
    setName("TestPlug");
    setVendor("Tests");
    setVersion("0.1");
    isEffect = true;
    publishedParameterCount = 4;
    storedParameterCount = 6;
    inputChannels = 2;
    outputPairs = 1;
    uniqueId = ('T' << 24) | ('s' << 16) | ('t' << 8) | '1';
}

CSynthesizer* TestDefinition::createEngine(CPluginWrapper* wrapper)
{
    ++enginesCreated;
    return new TestEngine(wrapper);
}

EditorView* TestDefinition::createEditor(CSynthesizer* engine)
{
    (void)engine;
    if (!makeEditor)
        return nullptr;
    ++editorsCreated;
    return new RecordingEditor;
}

ScopedDefinition::ScopedDefinition(CPluginDefinition& definition)
    : previous(pluginDefinition())
{
    installPluginDefinition(&definition);
}

ScopedDefinition::~ScopedDefinition() { installPluginDefinition(previous); }
