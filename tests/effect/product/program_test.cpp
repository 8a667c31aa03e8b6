#include "effect/product/CDriveDef.h"
#include "effect/product/CDriveProgram.h"
#include "tests/effect/product/product_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string nameOf(CDriveProgram& p, int index)
{
    char text[kParameterTextCapacity] = "?";
    p.getParameterName(index, text);
    return text;
}

std::string displayOf(CDriveProgram& p, int index, float value)
{
    p.setParameter(index, value);
    char text[kParameterTextCapacity] = "?";
    p.getParameterDisplay(index, text);
    return text;
}

}  // namespace

TEST(DriveProgram, ParameterNamesFollowTheTable)
{
    CDriveProgram p;
    EXPECT_EQ(nameOf(p, 0), "Master IN Lvl");
    EXPECT_EQ(nameOf(p, 1), "Master OUT Lvl");
    EXPECT_EQ(nameOf(p, 2), "EQ Enable");
    EXPECT_EQ(nameOf(p, 3), "EQ Band 1");
    EXPECT_EQ(nameOf(p, 10), "EQ Band 8");
    EXPECT_EQ(nameOf(p, 13), "Box1 - Param 1");
    EXPECT_EQ(nameOf(p, 17), "Box1 - Param 5");
    EXPECT_EQ(nameOf(p, 18), "Box2 - Param 1");
    EXPECT_EQ(nameOf(p, 24), "Box3 - Param 2");
    EXPECT_EQ(nameOf(p, 37), "Box5 - Param 5");
    EXPECT_EQ(nameOf(p, 39), "Box 1 Enable");
    EXPECT_EQ(nameOf(p, 41), "Box 3 Enable");
    EXPECT_EQ(nameOf(p, 43), "Box 5 Enable");
    EXPECT_EQ(nameOf(p, 11), "Amp Model");  // a published, automatable list
    for (int unknown : {-1, 12, 38, 44, 45, 49, 50, 1000})
        EXPECT_EQ(nameOf(p, unknown), "unknown") << unknown;
}

TEST(DriveProgram, DisplayIsTruncatedPercentInFloatArithmetic)
{
    CDriveProgram p;
    EXPECT_EQ(displayOf(p, 0, 0.5f), "50");
    EXPECT_EQ(displayOf(p, 0, 0.29f), "29");
    EXPECT_EQ(displayOf(p, 0, 0.999f), "99");
    EXPECT_EQ(displayOf(p, 0, 1.0f), "100");
    EXPECT_EQ(displayOf(p, 0, 1.7f), "100");
    EXPECT_EQ(displayOf(p, 0, -0.3f), "0");
    EXPECT_EQ(displayOf(p, 0, std::numeric_limits<float>::quiet_NaN()), "0");
    EXPECT_EQ(displayOf(p, 0, std::numeric_limits<float>::infinity()), "100");
    EXPECT_EQ(displayOf(p, 45, 7.0f), "100");
    char label[kParameterTextCapacity];
    for (int i : {-1, 0, 45, 60}) {
        p.getParameterLabel(i, label);
        EXPECT_STREQ(label, "%");
    }
}

TEST(DriveProgram, ValuesAreStoredUnclampedOnlyInsideTheRange)
{
    CDriveProgram p;
    p.setParameter(45, 7.0f);
    EXPECT_EQ(p.getParameter(45), 7.0f);
    p.setParameter(50, 0.1f);
    p.setParameter(-1, 0.1f);
    EXPECT_EQ(p.getParameter(50), 0.0f);
    EXPECT_EQ(p.getParameter(-1), 0.0f);
    EXPECT_EQ(p.getParameter(49), 0.5f);
}

TEST(DriveProgram, ResetRestoresDefaultsAndName)
{
    CDriveProgram p;
    for (int i = 0; i < 50; ++i)
        p.setParameter(i, 0.123f);
    std::snprintf(p.name, sizeof p.name, "Warm Lead");
    p.reset();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(p.getParameter(i), (i >= 39 && i <= 43) ? 1.0f : 0.5f) << i;
    EXPECT_STREQ(p.name, "<noname>");
    EXPECT_EQ(p.getParameterDefault(-5), 0.5f);
    EXPECT_EQ(p.getParameterDefault(40), 1.0f);
}

TEST(DriveDefinition, DescribesTheEffect)
{
    const CDriveDef* def = driveDefinition();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(static_cast<const CPluginDefinition*>(def), pluginDefinition());
    EXPECT_STREQ(def->name, "Tambrell");
    EXPECT_STREQ(def->vendor, "Ostravelin");
    EXPECT_STREQ(def->version, "1.1.3");
    EXPECT_TRUE(def->isEffect);
    EXPECT_EQ(def->programCount, 0);
    EXPECT_EQ(def->publishedParameterCount, 44);
    EXPECT_EQ(def->storedParameterCount, 50);
    EXPECT_EQ(def->inputChannels, 2);
    EXPECT_EQ(def->outputPairs, 1);
    EXPECT_EQ(def->uniqueId, 0x54425231);
}
