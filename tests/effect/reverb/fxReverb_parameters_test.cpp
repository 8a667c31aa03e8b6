#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "reverb_rig.h"

using namespace plate;

namespace {

std::string text(void (fxReverb::*get)(VstInt32, char*), fxReverb& r, int index)
{
    char buf[64];
    std::memset(buf, '#', sizeof buf);
    buf[63] = 0;
    (r.*get)(index, buf);
    return buf;
}

}  // namespace

TEST(ReverbParameters, DefaultProgramLandsOnRoundNaturalValues)
{
    ReverbRig rig;
    const int expected[kParamCount] = {0, 75, 40, 0, 50, 100, 10, 500, 15, 40, 0, -35, -120, 100, 0, 0, 0, 0};
    for (int i = 0; i < kParamCount; ++i)
        EXPECT_EQ(rig.reverb->naturalValue(i), expected[i]) << "parameter " << i;
    char name[64];
    rig.reverb->getProgramName(name);
    EXPECT_STREQ(name, "[1] Default Reverb");
}

TEST(ReverbParameters, DisplayTextsFollowTheirUnits)
{
    ReverbRig rig;
    EXPECT_EQ(rig.display(kEarly), "-3.5");
    EXPECT_EQ(rig.display(kReverb), "-12.0");
    EXPECT_EQ(rig.display(kDry), "0.0");
    EXPECT_EQ(rig.display(kHighCut), "4.0");
    EXPECT_EQ(rig.display(kLowCut), "75");
    EXPECT_EQ(rig.display(kDecay), "1.5");
    EXPECT_EQ(rig.display(kBassMultiplier), "1.0");
    EXPECT_EQ(rig.display(kCrossover), "500");
    EXPECT_EQ(rig.display(kMuteDry), "Off");

    rig.reverb->setParameter(kInput, 0.0f);
    EXPECT_EQ(rig.display(kInput), "-Inf");
    rig.set(kInput, -360);
    EXPECT_EQ(rig.display(kInput), "-36.0");
    rig.set(kDry, -5);  // the sign must survive a zero whole part
    EXPECT_EQ(rig.display(kDry), "-0.5");
    rig.set(kReverb, 60);
    EXPECT_EQ(rig.display(kReverb), "6.0");

    rig.reverb->setParameter(kLowCut, 0.0f);
    EXPECT_EQ(rig.display(kLowCut), "OFF");
    rig.reverb->setParameter(kHighCut, 1.0f);
    EXPECT_EQ(rig.display(kHighCut), "OFF");
    rig.reverb->setParameter(kHighDamping, 1.0f);
    EXPECT_EQ(rig.display(kHighDamping), "OFF");
    rig.set(kHighDamping, 220);
    EXPECT_EQ(rig.display(kHighDamping), "22.0");
    rig.reverb->setParameter(kMuteReverb, 1.0f);
    EXPECT_EQ(rig.display(kMuteReverb), "On");
}

TEST(ReverbParameters, NamesAndLabels)
{
    ReverbRig rig;
    fxReverb& r = *rig.reverb;
    EXPECT_EQ(text(&fxReverb::getParameterName, r, kInput), "Input");
    EXPECT_EQ(text(&fxReverb::getParameterName, r, kBassMultiplier), "BassMultiplier");
    EXPECT_EQ(text(&fxReverb::getParameterName, r, kEarly), "ER");
    EXPECT_EQ(text(&fxReverb::getParameterName, r, kMuteReverb), "MuteReverb");
    EXPECT_EQ(text(&fxReverb::getParameterLabel, r, kHighCut), "kHz");
    EXPECT_EQ(text(&fxReverb::getParameterLabel, r, kRoomSize), "");
    EXPECT_EQ(text(&fxReverb::getParameterLabel, r, kBassMultiplier), "x");
    // Indices outside the table leave the caller's buffer alone.
    const std::string untouched(63, '#');
    for (int bad : {18, -1, 1000}) {
        EXPECT_EQ(text(&fxReverb::getParameterName, r, bad), untouched);
        EXPECT_EQ(text(&fxReverb::getParameterLabel, r, bad), untouched);
        EXPECT_EQ(text(&fxReverb::getParameterDisplay, r, bad), untouched);
    }
}

TEST(ReverbParameters, NaturalValuesRoundTripThroughTheInverseLaw)
{
    ReverbRig rig;
    fxReverb& r = *rig.reverb;
    for (int i = 0; i < kParamCount; ++i) {
        for (int n = naturalMin(i); n <= naturalMax(i); ++n) {
            r.setNaturalValue(i, n);
            ASSERT_EQ(r.naturalValue(i), n);
            r.setParameter(i, r.getParameter(i));
            ASSERT_EQ(r.naturalValue(i), n) << "parameter " << i << " normalised " << r.getParameter(i);
        }
        EXPECT_FLOAT_EQ(r.getParameter(i), 1.0f) << "the top of the range is normalised 1";
    }
}

TEST(ReverbParameters, OutOfRangeValuesAreClampedAndBadIndicesIgnored)
{
    ReverbRig rig;
    fxReverb& r = *rig.reverb;
    r.setParameter(kRoomSize, 7.0f);
    EXPECT_EQ(r.naturalValue(kRoomSize), 100);
    EXPECT_FLOAT_EQ(r.getParameter(kRoomSize), 1.0f);
    r.setParameter(kPredelay, -3.0f);
    EXPECT_EQ(r.naturalValue(kPredelay), 0);
    r.setParameter(kDecay, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(r.naturalValue(kDecay), 1);
    EXPECT_FLOAT_EQ(r.getParameter(kDecay), 0.0f);
    r.setParameter(kDiffusion, std::numeric_limits<float>::infinity());
    EXPECT_EQ(r.naturalValue(kDiffusion), 100);

    r.setNaturalValue(kRoomSize, 100000);
    EXPECT_EQ(r.naturalValue(kRoomSize), 100);
    r.setNaturalValue(kDecay, -7);
    EXPECT_EQ(r.naturalValue(kDecay), 1);
    r.setNaturalValue(kMuteDry, 5);
    EXPECT_EQ(r.naturalValue(kMuteDry), 1);

    r.setParameter(18, 0.5f);
    r.setParameter(-1, 0.5f);
    r.setNaturalValue(99, 3);
    EXPECT_EQ(r.getParameter(18), 0.0f);
    EXPECT_EQ(r.getParameter(-1), 0.0f);

    r.setProgram(1);  // the only program is 0
    r.setProgram(-1);
    EXPECT_EQ(r.getProgram(), 0);
}

TEST(ReverbParameters, ProgramKeepsValuesAndABoundedName)
{
    ReverbRig rig;
    fxReverb& r = *rig.reverb;
    r.setNaturalValue(kRoomSize, 80);
    r.setProgram(0);
    EXPECT_EQ(r.naturalValue(kRoomSize), 80) << "the program mirrors every change";

    char longName[100];
    std::memset(longName, 'x', sizeof longName - 1);
    longName[99] = 0;
    r.setProgramName(longName);
    char out[64];
    r.getProgramName(out);
    EXPECT_EQ(std::string(out), std::string(23, 'x'));
    char shortName[] = "Hall";
    r.setProgramName(shortName);
    r.getProgramName(out);
    EXPECT_STREQ(out, "Hall");
}

TEST(ReverbParameters, IdentityAsAnEffect)
{
    ReverbRig rig;
    AEffect* e = rig.reverb->getAeffect();
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 18);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, ('a' << 24) | ('b' << 16) | ('c' << 8) | 'd');
    EXPECT_NE(e->flags & effFlagsCanReplacing, 0);
    EXPECT_NE(e->flags & effFlagsCanMono, 0);
}
