// The plug-in definition, the global definition pointer, the module-load hook
// and the base program's texts.
#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <string>

#include "framework/engine/ModuleLoad.h"
#include "framework/util/TextCopy.h"
#include "tests/support/TestPlugin.h"

namespace {

// Runs first in this program, before any test calls moduleAttach itself.
TEST(DefinitionTest, ModuleIsRecordedWhenTheCodeIsLoaded)
{
    ASSERT_NE(moduleHandle(), nullptr) << "the load-time hook did not run";
    Dl_info info {};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&moduleAttach), &info), 0);
    EXPECT_EQ(moduleHandle(), info.dli_fbase);
}

TEST(DefinitionTest, BaseDefaultsDescribeAnUnknownEffectlessPlugin)
{
    CPluginDefinition definition;
    EXPECT_STREQ(definition.name, "Unknown");
    EXPECT_STREQ(definition.vendor, "Unknown");
    EXPECT_STREQ(definition.version, "Unknown");
    EXPECT_STREQ(definition.formatText, "");
    EXPECT_TRUE(definition.hasEditor);
    EXPECT_FALSE(definition.isEffect);
    EXPECT_EQ(definition.outputPairs, 1);
    EXPECT_EQ(definition.storedParameterCount, 0);
    EXPECT_EQ(definition.createEngine(nullptr), nullptr);
    EXPECT_EQ(definition.createEditor(nullptr), nullptr);
    EXPECT_EQ(definition.getExtraInfo(7), 0);
}

TEST(DefinitionTest, OutputNameIsNameBlankAndPairNumber)
{
    TestDefinition definition;
    char text[kOutputNameCapacity];
    EXPECT_EQ(definition.getOutputName(0, text), 10);
    EXPECT_STREQ(text, "TestPlug 0");
    definition.getOutputName(12, text);
    EXPECT_STREQ(text, "TestPlug 12");
}

TEST(DefinitionTest, LongTextsAreBoundedEverywhere)
{
    TestDefinition definition;
    const std::string longText(2000, 'n');
    definition.setName(longText.c_str());
    EXPECT_EQ(std::strlen(definition.name), sizeof(definition.name) - 1);
    definition.setFormatText(longText.c_str());
    EXPECT_EQ(std::strlen(definition.formatText), 63u);
    char text[kOutputNameCapacity + 8];
    std::memset(text, 'z', sizeof(text));
    EXPECT_EQ(definition.getOutputName(0, text), kOutputNameCapacity - 1);
    EXPECT_EQ(text[kOutputNameCapacity], 'z');

    char small[4];
    copyText(small, nullptr);
    EXPECT_STREQ(small, "");
    copyText(small, "abcdef");
    EXPECT_STREQ(small, "abc");
}

TEST(DefinitionTest, InstalledDefinitionIsTheProcessWideOneAndGetsTheModule)
{
    CPluginDefinition* before = pluginDefinition();
    TestDefinition definition;
    {
        ScopedDefinition scope(definition);
        EXPECT_EQ(pluginDefinition(), &definition);
        EXPECT_TRUE(moduleAttach());
        EXPECT_NE(definition.moduleHandle, nullptr);
        EXPECT_EQ(definition.moduleHandle, moduleHandle());
        EXPECT_STREQ(definition.modulePath, modulePath());
        // The test program itself is the module holding the engine code.
        EXPECT_NE(std::string(definition.modulePath).find("test_framework_engine"), std::string::npos);
    }
    EXPECT_EQ(pluginDefinition(), before);

    TestDefinition later;
    ScopedDefinition scope(later);
    EXPECT_EQ(later.moduleHandle, moduleHandle()) << "a definition installed after load still gets the module";
}

TEST(DefinitionTest, ProcessorFeatureQueryFindsSse2OnX86)
{
#if defined(__x86_64__)
    EXPECT_TRUE(processorHasSse2());
#endif
}

TEST(ProgramBaseTest, DisplayIsTheValueTimesHundredRounded)
{
    TestProgram program(3);
    char text[kParameterTextCapacity];
    program.setParameter(0, 0.004f);
    program.CProgram::getParameterDisplay(0, text);
    EXPECT_STREQ(text, "0");
    program.setParameter(0, 1.0f);
    program.CProgram::getParameterDisplay(0, text);
    EXPECT_STREQ(text, "100");
    program.setParameter(0, 0.5f);
    program.CProgram::getParameterDisplay(0, text);
    EXPECT_STREQ(text, "50");
}

TEST(ProgramBaseTest, BaseTextsAndValues)
{
    CProgram program;
    char text[kParameterTextCapacity];
    program.getParameterLabel(0, text);
    EXPECT_STREQ(text, "---");
    program.getParameterName(5, text);
    EXPECT_STREQ(text, "<unknown>");
    program.getParameterDisplay(0, text);
    EXPECT_STREQ(text, "0");
    program.setParameter(0, 1.0f);
    EXPECT_EQ(program.getParameter(0), 0.0f);
    EXPECT_EQ(program.getParameterDefault(0), 0.0f);
    EXPECT_STREQ(program.name, "");
    EXPECT_EQ(program.next, nullptr);
}

}  // namespace
