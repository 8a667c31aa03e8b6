#pragma once
// A small plug-in for tests: a definition with adjustable counts, a program of
// plain values, an engine with one such program, and a wrapper and an editor
// that record what the engine tells them.
#include <cstdint>
#include <utility>
#include <vector>

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/CProgram.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/engine/EditorView.h"

// Values 0..count-1, all 0.25 by default, named "P<index>".
class TestProgram : public CProgram {
public:
    explicit TestProgram(int32_t count, float defaultValue = 0.25f);
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    float getParameterDefault(int32_t index) override;
    void getParameterName(int32_t index, char* text) override;
    void reset() override;

    std::vector<float> values;
    float defaultValue;
};

// An engine holding programCount TestPrograms sized by the installed definition.
class TestEngine : public CSynthesizer {
public:
    explicit TestEngine(CPluginWrapper* wrapper, int32_t programs = 1);
};

class TestDefinition : public CPluginDefinition {
public:
    TestDefinition();
    CSynthesizer* createEngine(CPluginWrapper* wrapper) override;
    EditorView* createEditor(CSynthesizer* engine) override;

    int32_t enginesCreated = 0;
    int32_t editorsCreated = 0;
    bool makeEditor = true;
};

// Installs a definition for the lifetime of the object and puts the previous
// one back afterwards.
class ScopedDefinition {
public:
    explicit ScopedDefinition(CPluginDefinition& definition);
    ~ScopedDefinition();
    ScopedDefinition(const ScopedDefinition&) = delete;
    ScopedDefinition& operator=(const ScopedDefinition&) = delete;

private:
    CPluginDefinition* previous;
};

class RecordingEditor : public EditorView {
public:
    void requestAllValues() override { ++updates; }
    ViewSize viewSize() override { return {200, 120}; }
    void requestParameterValue(int32_t id, float value) override { shown.emplace_back(id, value); }

    int32_t updates = 0;
    std::vector<std::pair<int32_t, float>> shown;
};

class RecordingWrapper : public CPluginWrapper {
public:
    void parameterChanged(int32_t index, float value) override { changes.emplace_back(index, value); }
    EditorView* getEditor() override { return editor; }

    EditorView* editor = nullptr;
    std::vector<std::pair<int32_t, float>> changes;
};
