#include "HostedTestSupport.h"

namespace
{
class HostedState : public ::testing::TestWithParam<HostedFormat>
{
};

juce::MemoryBlock stateOf (juce::AudioProcessor& p)
{
    juce::MemoryBlock mb;
    p.getStateInformation (mb);
    return mb;
}

/** Where our own blob sits inside a host's saved state: VST3 hosting keeps the
    component state in an XML element, the LV2 wrapper keeps it in a Turtle
    string property; both in JUCE's base-64 text. */
juce::Range<int> pluginBlobText (HostedFormat format, const juce::String& hostState)
{
    const auto open = format == HostedFormat::vst3 ? juce::String ("<IComponent>") : juce::String (":StateString> \"");
    const auto close = format == HostedFormat::vst3 ? juce::String ("</IComponent>") : juce::String ("\"");
    const int start = hostState.indexOf (open) + open.length();
    return { start, hostState.indexOf (start, close) };
}

juce::String hostStateText (HostedFormat format, const juce::MemoryBlock& state)
{
    if (format == HostedFormat::vst3)
        return juce::AudioProcessor::getXmlFromBinary (state.getData(), (int) state.getSize())->toString();

    return state.toString();
}

juce::MemoryBlock hostStateFromText (HostedFormat format, const juce::String& text)
{
    juce::MemoryBlock mb;

    if (format == HostedFormat::vst3)
        juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (text), mb);
    else
        mb.append (text.toRawUTF8(), text.getNumBytesAsUTF8());

    return mb;
}

juce::MemoryBlock pluginBlob (HostedFormat format, const juce::MemoryBlock& hostState)
{
    const auto text = hostStateText (format, hostState);
    const auto range = pluginBlobText (format, text);
    juce::MemoryBlock blob;
    blob.fromBase64Encoding (text.substring (range.getStart(), range.getEnd()));
    return blob;
}

/** A host state of `format` carrying `blob` in place of the plug-in's own. */
juce::MemoryBlock withPluginBlob (HostedFormat format, const juce::MemoryBlock& hostState,
                                  const juce::MemoryBlock& blob)
{
    const auto text = hostStateText (format, hostState);
    const auto range = pluginBlobText (format, text);
    return hostStateFromText (format,
                              text.replaceSection (range.getStart(), range.getLength(), blob.toBase64Encoding()));
}

/** Settings far from the defaults, on each parameter's grid. */
void setDistinct (juce::AudioPluginInstance& instance)
{
    const std::pair<Param, float> values[]{
        { Param::amount, 72.3f },   { Param::threshold, -41.5f },  { Param::attack, 1.25f },
        { Param::release, 120.0f }, { Param::frequency, 7777.0f }, { Param::focus, 63.2f },
        { Param::range, 14.5f },    { Param::mix, 85.0f },
    };
    for (const auto& [p, v] : values)
        hosted::setHosted (instance, p, v);

    hosted::settle (instance);
}

std::vector<juce::String> hostedTexts (juce::AudioPluginInstance& instance)
{
    std::vector<juce::String> texts;
    for (const auto p : params::all())
        texts.push_back (hosted::param (instance, p).getCurrentValueAsText());
    return texts;
}

/** Both restart from a clean signal path, then hear the same audio. (JUCE's
    VST3 hosting skips a prepare at unchanged settings unless released first.) */
float outputDifference (juce::AudioProcessor& a, juce::AudioProcessor& b)
{
    for (auto* p : { &a, &b })
    {
        p->releaseResources();
        p->prepareToPlay (48000.0, 512);
    }

    const auto input = testsignals::speechLike (48000.0, 0.5);
    const auto [outA, outB] = hosted::runSideBySide (a, b, input, hosted::blockPlan (input.getNumSamples(), 512));
    return hosted::maxDifference (outA, outB);
}

TEST_P (HostedState, SavedStateRestoresIntoAFreshInstance)
{
    auto original = PluginHost::get().create (GetParam());
    ASSERT_NE (original, nullptr);
    setDistinct (*original);
    const auto saved = stateOf (*original);

    auto restored = PluginHost::get().create (GetParam());
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (saved.getData(), (int) saved.getSize());
    hosted::settle (*restored);

    EXPECT_EQ (hostedTexts (*restored), hostedTexts (*original));
    EXPECT_EQ (hosted::param (*restored, Param::threshold).getCurrentValueAsText().getFloatValue(), -41.5f);
    EXPECT_EQ (outputDifference (*original, *restored), 0.0f);
}

// A state saved by one format's wrapper carries the processor's own blob, which
// the processor and the other format's wrapper both take.
TEST_P (HostedState, StateCrossesIntoTheProcessorAndTheOtherFormat)
{
    const auto other = GetParam() == HostedFormat::vst3 ? HostedFormat::lv2 : HostedFormat::vst3;
    auto source = PluginHost::get().create (GetParam());
    auto target = PluginHost::get().create (other);
    ASSERT_TRUE (source != nullptr && target != nullptr);
    setDistinct (*source);

    const auto blob = pluginBlob (GetParam(), stateOf (*source));
    ASSERT_TRUE (blob.toString().startsWith ("VC2!"));

    ZeriZaRirodAudioProcessor processor;
    processor.setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_EQ (processor.parameters.getRawParameterValue (params::id (Param::threshold))->load(), -41.5f);
    EXPECT_EQ (outputDifference (*source, processor), 0.0f);

    const auto moved = withPluginBlob (other, stateOf (*target), blob);
    target->setStateInformation (moved.getData(), (int) moved.getSize());
    hosted::settle (*target);
    EXPECT_EQ (hosted::param (*target, Param::threshold).getCurrentValueAsText().getFloatValue(), -41.5f);
    EXPECT_EQ (outputDifference (*source, *target), 0.0f);
}

// The wrappers carry the whole state, not just the parameters: the current
// preset and the saved window size come back out of a hosted instance.
TEST_P (HostedState, PresetRecordAndWindowSizeTravelThroughTheWrapper)
{
    ZeriZaRirodAudioProcessor original;
    const auto preset = original.getFactoryPresetNames()[1];
    original.applyFactoryPreset (preset);
    original.savedWindowWidth = 1200.0f;
    original.savedWindowHeight = 760.0f;
    original.savedWindowSizeSet = true;
    juce::MemoryBlock blob;
    original.getStateInformation (blob);

    auto instance = PluginHost::get().create (GetParam());
    ASSERT_NE (instance, nullptr);
    const auto moved = withPluginBlob (GetParam(), stateOf (*instance), blob);
    instance->setStateInformation (moved.getData(), (int) moved.getSize());
    hosted::settle (*instance);

    const auto back = pluginBlob (GetParam(), stateOf (*instance));
    ZeriZaRirodAudioProcessor recalled;
    recalled.setStateInformation (back.getData(), (int) back.getSize());
    EXPECT_EQ (recalled.getCurrentPresetDisplayName(), preset);
    EXPECT_TRUE (recalled.savedWindowSizeSet);
    EXPECT_EQ (recalled.savedWindowWidth, 1200.0f);
    EXPECT_EQ (recalled.savedWindowHeight, 760.0f);
    EXPECT_EQ (recalled.createFullState().toXmlString(), original.createFullState().toXmlString());
}

TEST_P (HostedState, CorruptStateChangesNothing)
{
    auto instance = PluginHost::get().create (GetParam());
    auto twin = PluginHost::get().create (GetParam());
    ASSERT_TRUE (instance != nullptr && twin != nullptr);
    setDistinct (*instance);
    setDistinct (*twin);
    const auto before = stateOf (*instance);

    juce::Random rng (3);
    const auto noise = [&] (size_t size)
    {
        juce::MemoryBlock mb (size);
        rng.fillBitsRandomly (mb.getData(), mb.getSize());
        return mb;
    };

    juce::MemoryBlock badXml ("VC2!\x20\0\0\0<PARAMETERS><PARAM id=\"range\" val", 40);
    const struct
    {
        const char* name;
        juce::MemoryBlock state;
    } corrupt[]{
        { "empty", {} },
        { "a few random bytes", noise (7) },
        { "random bytes", noise (4000) },
        { "first half of a valid state", juce::MemoryBlock (before.getData(), before.getSize() / 2) },
        { "random plug-in blob in a valid host state", withPluginBlob (GetParam(), before, noise (300)) },
        { "broken XML behind a valid header", withPluginBlob (GetParam(), before, badXml) },
    };

    for (const auto& row : corrupt)
    {
        SCOPED_TRACE (row.name);
        instance->setStateInformation (row.state.getData(), (int) row.state.getSize());
        hosted::settle (*instance);
        EXPECT_EQ (stateOf (*instance), before);
    }

    EXPECT_EQ (outputDifference (*instance, *twin), 0.0f);
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedState, hosted::formats, hosted::formatName);
} // namespace
