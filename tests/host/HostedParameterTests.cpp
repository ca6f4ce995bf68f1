#include "HostedTestSupport.h"

namespace
{
class HostedParameters : public ::testing::TestWithParam<HostedFormat>
{
};

// VST3 hosts show the plug-in's own texts. LV2 has no value-to-text call, so
// the host prints the number itself and the plug-in's decimals are lost.
struct DefaultText
{
    Param param;
    const char* vst3;
    const char* lv2;
};

constexpr DefaultText defaultTexts[]{
    { Param::power, "On", "On" },      { Param::amount, "50.0", "50" },  { Param::threshold, "-30.0", "-30" },
    { Param::attack, "0.32", "0.32" }, { Param::release, "48.0", "48" }, { Param::frequency, "6500", "6500" },
    { Param::focus, "50.0", "50" },    { Param::range, "8.0", "8" },     { Param::mix, "100.0", "100" },
    { Param::monitor, "Off", "Off" },
};

TEST_P (HostedParameters, NameParametersAndTextsAtDefault)
{
    auto instance = PluginHost::get().create (GetParam());
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getName(), "Zeri Za-Rirod");

    // Each wrapper adds one host-bypass parameter, as the processor declares
    // none: VST3 after ours; LV2 as its lv2:enabled port (inverted, named
    // "Bypass" by JUCE's LV2 hosting), which comes first.
    const auto& list = instance->getParameters();
    ASSERT_EQ (list.size(), numParams + 1);
    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr);

    EXPECT_EQ (bypass, GetParam() == HostedFormat::vst3 ? list.getLast() : list.getFirst());
    EXPECT_EQ (bypass->getName (100), "Bypass");
    EXPECT_EQ (bypass->getValue(), 0.0f);

    // VST3 hosts see our order; LV2 patch parameters carry none, and hosts
    // find them by URI (the bundle check pins their order in the bundle data).
    if (GetParam() == HostedFormat::vst3)
    {
        for (int i = 0; i < numParams; ++i)
            EXPECT_EQ (&hosted::param (*instance, params::fromIndex (i)), list[i]) << "host index " << i;
    }

    for (const auto& row : defaultTexts)
    {
        const auto& hp = hosted::param (*instance, row.param);
        SCOPED_TRACE (params::id (row.param));
        EXPECT_EQ (hp.getName (100), params::info (row.param).name);
        EXPECT_EQ (hp.getCurrentValueAsText(), GetParam() == HostedFormat::vst3 ? row.vst3 : row.lv2);
        EXPECT_EQ (hp.getText (hp.getDefaultValue(), 100), hp.getCurrentValueAsText());
    }
}

TEST_P (HostedParameters, TextAcrossEachRange)
{
    auto instance = PluginHost::get().create (GetParam());
    ASSERT_NE (instance, nullptr);
    ZeriZaRirodAudioProcessor reference;

    for (const auto p : params::all())
    {
        const auto& s = params::info (p);
        auto& hp = hosted::param (*instance, p);
        auto& ref = *reference.parameters.getParameter (params::id (p));

        for (const float fraction : { 0.0f, 0.05f, 0.37f, 0.81f, 1.0f })
        {
            const auto real = s.isSwitch ? std::round (fraction)
                                         : params::range (p).snapToLegalValue (s.min + fraction * (s.max - s.min));
            SCOPED_TRACE (params::id (p) + " = " + juce::String (real));

            hosted::setHosted (*instance, p, real);
            ref.setValueNotifyingHost (ref.convertTo0to1 (real));
            const auto text = hp.getCurrentValueAsText();

            if (GetParam() == HostedFormat::vst3 || s.isSwitch)
                EXPECT_EQ (text, ref.getCurrentValueAsText());
            else
                EXPECT_NEAR (text.getFloatValue(), real, s.interval * 0.01f);
        }
    }
}

// Stereo runs everywhere and mono through VST3; anything else a host offers
// is refused. An LV2 plug-in has a fixed set of ports (two in, two out), so
// JUCE's LV2 hosting can only refuse mono: LV2 hosts feed a mono track into
// both inputs instead.
TEST_P (HostedParameters, BusLayouts)
{
    using Set = juce::AudioChannelSet;
    const struct
    {
        const char* name;
        Set in, out;
        bool vst3, lv2;
    } layouts[]{
        { "stereo", Set::stereo(), Set::stereo(), true, true },
        { "mono", Set::mono(), Set::mono(), true, false },
        { "mono to stereo", Set::mono(), Set::stereo(), false, false },
        { "stereo to mono", Set::stereo(), Set::mono(), false, false },
        { "5.1", Set::create5point1(), Set::create5point1(), false, false },
    };

    for (const auto& row : layouts)
    {
        SCOPED_TRACE (row.name);
        auto instance = PluginHost::get().create (GetParam());
        ASSERT_NE (instance, nullptr);
        instance->releaseResources();

        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (row.in);
        layout.outputBuses.add (row.out);
        const bool accepted = GetParam() == HostedFormat::vst3 ? row.vst3 : row.lv2;
        EXPECT_EQ (instance->setBusesLayout (layout), accepted);

        if (!accepted)
            continue;

        instance->prepareToPlay (48000.0, 512);
        ProcessorHarness reference (48000.0, row.in.size(), 512);
        const auto input = testsignals::speechLike (48000.0, 0.5, row.in.size());
        const auto [out, expected] = hosted::runSideBySide (*instance, *reference.processor, input,
                                                            hosted::blockPlan (input.getNumSamples(), 512));
        EXPECT_EQ (hosted::maxDifference (out, expected), 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedParameters, hosted::formats, hosted::formatName);
} // namespace
