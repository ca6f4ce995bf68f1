#include "ProcessorHarness.h"

#include <gtest/gtest.h>

namespace
{
struct ExpectedParam
{
    const char* id;
    const char* name;
    float min, max, interval, skew, defaultValue;
    const char* defaultText;
    float probe;
    const char* probeText;
};

// What a host sees, written out independently of the parameter table.
const ExpectedParam hostView[] = {
    { "power", "Power", 0, 1, 1, 1, 1, "On", 0, "Off" },
    { "amount", "Amount", 0, 100, 0.1f, 1, 50, "50.0", 12.34f, "12.3" },
    { "threshold", "Threshold", -54, 0, 0.1f, 1, -30, "-30.0", -54, "-54.0" },
    { "attack", "Attack", 0.05f, 20, 0.01f, 0.3f, 0.32f, "0.32", 20, "20.00" },
    { "release", "Release", 10, 300, 0.1f, 0.35f, 48, "48.0", 123.46f, "123.5" },
    { "frequency", "Frequency", 2500, 12000, 1, 0.35f, 6500, "6500", 7200.4f, "7200" },
    { "focus", "Focus", 0, 100, 0.1f, 1, 50, "50.0", 0, "0.0" },
    { "range", "Range", 0, 36, 0.1f, 1, 8, "8.0", 36, "36.0" },
    { "mix", "Mix", 0, 100, 0.1f, 1, 100, "100.0", 55.55f, "55.6" },
    { "monitor", "Listen Removed", 0, 1, 1, 1, 0, "Off", 1, "On" },
};
} // namespace

TEST (Processor, HostSeesTenParametersInOrder)
{
    ZeriZaRirodAudioProcessor proc;
    const auto& list = proc.getParameters();
    ASSERT_EQ (list.size(), 10);

    for (int i = 0; i < 10; ++i)
    {
        const auto& e = hostView[i];
        SCOPED_TRACE (e.id);
        auto* p = dynamic_cast<juce::RangedAudioParameter*> (list[i]);
        ASSERT_NE (p, nullptr);
        EXPECT_EQ (p->getParameterID(), e.id);
        EXPECT_EQ (p->getVersionHint(), 1);
        EXPECT_EQ (p->getName (100), e.name);
        EXPECT_TRUE (p->isAutomatable());
        EXPECT_FALSE (p->isMetaParameter());
        EXPECT_EQ (p->getLabel(), "");

        const auto& r = p->getNormalisableRange();
        EXPECT_FLOAT_EQ (r.start, e.min);
        EXPECT_FLOAT_EQ (r.end, e.max);
        EXPECT_FLOAT_EQ (r.interval, e.interval);
        EXPECT_FLOAT_EQ (r.skew, e.skew);
        EXPECT_FALSE (r.symmetricSkew);

        EXPECT_NEAR (p->convertFrom0to1 (p->getDefaultValue()), e.defaultValue, 1e-4);
        EXPECT_NEAR (proc.parameters.getRawParameterValue (e.id)->load(), e.defaultValue, 1e-4);
        EXPECT_EQ (p->getCurrentValueAsText(), e.defaultText);
        EXPECT_EQ (p->getText (p->convertTo0to1 (e.probe), 0), e.probeText);
    }
}

TEST (Processor, LayoutRule)
{
    using CS = juce::AudioChannelSet;
    struct Case
    {
        CS in, out;
        bool accepted;
    };
    const Case cases[] = {
        { CS::mono(), CS::mono(), true },
        { CS::stereo(), CS::stereo(), true },
        { CS::mono(), CS::stereo(), false },
        { CS::stereo(), CS::mono(), false },
        { CS::disabled(), CS::stereo(), false },
        { CS::create5point1(), CS::create5point1(), false },
        { CS::createLCR(), CS::createLCR(), false },
    };

    ZeriZaRirodAudioProcessor proc;
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (proc.checkBusesLayoutSupported (layout), c.accepted)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST (Processor, FixedHostAnswers)
{
    ZeriZaRirodAudioProcessor proc;
    EXPECT_EQ (proc.getName(), "Zeri Za-Rirod");
    EXPECT_DOUBLE_EQ (proc.getTailLengthSeconds(), 0.05);
    EXPECT_FALSE (proc.acceptsMidi());
    EXPECT_FALSE (proc.producesMidi());
    EXPECT_FALSE (proc.isMidiEffect());
    EXPECT_FALSE (proc.hasEditor());
    EXPECT_EQ (proc.getBusCount (true), 1);
    EXPECT_EQ (proc.getBusCount (false), 1);
    EXPECT_EQ (proc.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (proc.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (proc.getMainBusNumInputChannels(), 2);
    EXPECT_EQ (proc.getBypassParameter(), nullptr);

    EXPECT_EQ (proc.getNumPrograms(), 1);
    EXPECT_EQ (proc.getCurrentProgram(), 0);
    proc.setCurrentProgram (3);
    proc.changeProgramName (0, "Mine");
    EXPECT_EQ (proc.getCurrentProgram(), 0);
    EXPECT_EQ (proc.getProgramName (0), "");
}

TEST (Processor, CurrentPresetRecord)
{
    ZeriZaRirodAudioProcessor proc;
    EXPECT_EQ (proc.getCurrentPresetName(), "Presets");
    EXPECT_EQ (proc.getCurrentPresetDisplayName(), "Presets");
    EXPECT_FALSE (proc.isCurrentPresetUser());

    proc.setCurrentPresetInfo ("Heavy Ess", true, false);
    EXPECT_EQ (proc.getCurrentPresetDisplayName(), "Heavy Ess");
    EXPECT_TRUE (proc.isCurrentPresetUser());

    proc.setCurrentPresetInfo ("Heavy Ess", false, true);
    EXPECT_EQ (proc.getCurrentPresetDisplayName(), "Heavy Ess *");
    EXPECT_FALSE (proc.isCurrentPresetUser());

    proc.setCurrentPresetInfo ("", false, true);
    EXPECT_EQ (proc.getCurrentPresetName(), "Presets");
    EXPECT_EQ (proc.getCurrentPresetDisplayName(), "Presets *");
}

TEST (AppInfo, Identity)
{
    const AppInfo info;
    EXPECT_EQ (info.productName, "Zeri Za-Rirod");
    EXPECT_EQ (info.version, "1.0.3");
    EXPECT_EQ (info.folderName, "VododiRarez");
    EXPECT_FLOAT_EQ (info.windowHeightFraction, 0.62f);
    EXPECT_FLOAT_EQ (info.windowAspectRatio, 1.28f);
    EXPECT_FLOAT_EQ (info.topBarHeightFraction, 0.09f);
    EXPECT_FLOAT_EQ (info.minWindowWidth, 400.0f);
    EXPECT_FLOAT_EQ (info.maxWindowWidth, 1680.0f);
}
