#include "ProcessorHarness.h"
#include "ProcessorSnapshot.h"

#include <gtest/gtest.h>

namespace
{
juce::MemoryBlock blobOf (ZeriZaRirodAudioProcessor& p)
{
    juce::MemoryBlock mb;
    p.getStateInformation (mb);
    return mb;
}

juce::MemoryBlock blobFromXml (const juce::String& xmlText)
{
    juce::MemoryBlock mb;
    const auto xml = juce::parseXML (xmlText);
    juce::AudioProcessor::copyXmlToBinary (*xml, mb);
    return mb;
}

/** Puts a processor into a non-default, recognisable state. */
void makeDistinct (ProcessorHarness& h)
{
    h.set (Param::threshold, -41.5f);
    h.set (Param::frequency, 7777);
    h.set (Param::monitor, 1);
    h.set (Param::power, 0);
    h.processor->setCurrentPresetInfo ("Heavy Ess", true, true);
    h.processor->savedWindowWidth = 1111;
    h.processor->savedWindowHeight = 700;
    h.processor->savedWindowSizeSet = true;
}

struct DummyAction : juce::UndoableAction
{
    bool perform() override { return true; }
    bool undo() override { return true; }
};
} // namespace

TEST (State, FreshBlobLayout)
{
    ZeriZaRirodAudioProcessor proc;
    const auto mb = blobOf (proc);
    const auto* bytes = static_cast<const uint8_t*> (mb.getData());
    const auto size = mb.getSize();

    ASSERT_GT (size, 9u);
    EXPECT_EQ (juce::String::fromUTF8 ((const char*) bytes, 4), "VC2!");
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes), 0x21324356u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (uint32_t) (size - 9));
    EXPECT_EQ (bytes[size - 1], 0);

    const auto text = juce::String::fromUTF8 ((const char*) bytes + 8, (int) size - 9);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_FALSE (text.containsChar ('\n'));

    const auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PARAMETERS");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetName"), "Presets");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetIsUser"), "0");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetModified"), "0");
    EXPECT_EQ (xml->getStringAttribute ("uiSavedWindowWidth"), "980.0");
    EXPECT_EQ (xml->getStringAttribute ("uiSavedWindowHeight"), "620.0");
    EXPECT_EQ (xml->getStringAttribute ("uiSavedWindowSizeSet"), "0");
    EXPECT_EQ (xml->getNumChildElements(), 10);
    for (auto* child : xml->getChildWithTagNameIterator ("PARAM"))
        EXPECT_TRUE (child->hasAttribute ("id") && child->hasAttribute ("value"));

    // The live parameter state gains no ui properties from saving.
    EXPECT_FALSE (proc.parameters.state.hasProperty ("uiCurrentPresetName"));
}

TEST (State, RoundTripRestoresEverythingAndClearsHistory)
{
    ProcessorHarness source;
    makeDistinct (source);
    const auto mb = blobOf (*source.processor);

    ProcessorHarness target;
    target.processor->undoManager.perform (new DummyAction(), "Something");
    ASSERT_TRUE (target.processor->undoManager.canUndo());
    target.processor->setStateInformation (mb.getData(), (int) mb.getSize());

    auto expected = Snapshot::of (*source.processor);
    expected.canUndo = false;
    expected.undoName = {};
    EXPECT_TRUE (Snapshot::of (*target.processor) == expected);
    EXPECT_FALSE (target.processor->undoManager.canRedo());
    EXPECT_EQ (target.processor->getCurrentPresetDisplayName(), "Heavy Ess *");
}

TEST (State, PartialAndForeignTrees)
{
    struct Case
    {
        const char* name;
        const char* xml;
        float range, threshold;
        const char* preset;
        bool sizeSet;
        float width, height;
    };
    const Case cases[] = {
        { "range child missing",
          R"(<PARAMETERS uiCurrentPresetName="Mine" uiCurrentPresetIsUser="1"><PARAM id="threshold" value="-20.0"/></PARAMETERS>)",
          8, -20, "Mine", false, 1111, 700 },
        { "no ui properties", R"(<PARAMETERS><PARAM id="range" value="12.0"/></PARAMETERS>)", 12, -30, "Presets", false, 1111, 700 },
        { "window size set",
          R"(<PARAMETERS uiSavedWindowSizeSet="1" uiSavedWindowWidth="1200.0" uiSavedWindowHeight="760.0"/>)", 8, -30,
          "Presets", true, 1200, 760 },
        { "empty preset name", R"(<PARAMETERS uiCurrentPresetName=""/>)", 8, -30, "Presets", false, 1111, 700 },
        { "foreign element", R"(<SOMETHING_ELSE foo="bar"><CHILD/></SOMETHING_ELSE>)", 8, -30, "Presets", false, 1111, 700 },
        { "text where numbers belong", R"(<PARAMETERS><PARAM id="range" value="abc"/></PARAMETERS>)", 0, -30, "Presets", false, 1111, 700 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ProcessorHarness h;
        makeDistinct (h);
        const auto mb = blobFromXml (c.xml);
        h.processor->setStateInformation (mb.getData(), (int) mb.getSize());

        EXPECT_FLOAT_EQ (h.get (Param::range), c.range);
        EXPECT_FLOAT_EQ (h.get (Param::threshold), c.threshold);
        EXPECT_FLOAT_EQ (h.get (Param::frequency), 6500); // everything not supplied goes to its default
        EXPECT_EQ (h.processor->getCurrentPresetName(), c.preset);
        EXPECT_EQ ((bool) h.processor->savedWindowSizeSet, c.sizeSet);
        EXPECT_FLOAT_EQ (h.processor->savedWindowWidth, c.width);
        EXPECT_FLOAT_EQ (h.processor->savedWindowHeight, c.height);
    }
}

TEST (State, RestoredModifiedMarkSurvivesTheRestore)
{
    ProcessorHarness h;
    const auto mb = blobFromXml (
        R"(<PARAMETERS uiCurrentPresetName="Soft" uiCurrentPresetModified="1"><PARAM id="amount" value="77.0"/></PARAMETERS>)");
    h.processor->setStateInformation (mb.getData(), (int) mb.getSize());
    EXPECT_EQ (h.processor->getCurrentPresetDisplayName(), "Soft *");
    EXPECT_FLOAT_EQ (h.get (Param::amount), 77);
}

TEST (State, RejectedBlobsChangeNothing)
{
    ProcessorHarness good;
    makeDistinct (good);
    const auto valid = blobOf (*good.processor);

    const auto withLength = [&] (int32_t length) {
        auto mb = valid;
        juce::ByteOrder::littleEndianInt (mb.getData()); // keep the magic
        auto* p = static_cast<uint8_t*> (mb.getData()) + 4;
        for (int i = 0; i < 4; ++i)
            p[i] = (uint8_t) (((uint32_t) length >> (8 * i)) & 0xff);
        return mb;
    };
    const auto withBytes = [] (std::initializer_list<int> bytes) {
        juce::MemoryBlock mb;
        for (auto b : bytes)
            mb.append (&b, 1);
        return mb;
    };
    juce::MemoryBlock garbage = valid;
    for (size_t i = 8; i < garbage.getSize() - 1; ++i)
        garbage[i] = (char) ('a' + (i % 26));
    juce::MemoryBlock wrongMagic = valid;
    wrongMagic[0] = 'X';
    juce::MemoryBlock truncatedXml = valid;
    truncatedXml.setSize (valid.getSize() / 2);

    struct Case
    {
        const char* name;
        juce::MemoryBlock blob;
    };
    const Case cases[] = {
        { "empty", {} },
        { "four bytes", withBytes ({ 'V', 'C', '2', '!' }) },
        { "header only", withBytes ({ 'V', 'C', '2', '!', 1, 0, 0, 0 }) },
        { "wrong magic", wrongMagic },
        { "zero length", withLength (0) },
        { "negative length", withLength (-5) },
        { "garbage after a correct header", garbage },
        { "cut in the middle of the XML", truncatedXml },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ProcessorHarness h;
        makeDistinct (h);
        h.processor->undoManager.perform (new DummyAction(), "Earlier edit");
        const auto before = Snapshot::of (*h.processor);
        h.processor->setStateInformation (c.blob.getData(), (int) c.blob.getSize());
        EXPECT_TRUE (Snapshot::of (*h.processor) == before);
    }
}

TEST (State, LengthBeyondTheBlobReadsToItsEnd)
{
    ProcessorHarness source;
    makeDistinct (source);
    auto mb = blobOf (*source.processor);
    auto* p = static_cast<uint8_t*> (mb.getData()) + 4;
    p[0] = p[1] = p[2] = 0xff;
    p[3] = 0x0f; // far more than the blob holds

    ProcessorHarness target;
    target.processor->setStateInformation (mb.getData(), (int) mb.getSize());
    EXPECT_FLOAT_EQ (target.get (Param::threshold), -41.5f);
    EXPECT_EQ (target.processor->getCurrentPresetName(), "Heavy Ess");
}

TEST (State, RestoreRestartsTheSignalPathFromDry)
{
    // After a restore the effect fades in again from a cleared path: processing
    // right after a restore equals a freshly prepared processor with the same values.
    ProcessorHarness source;
    source.set (Param::threshold, -50);
    const auto mb = blobOf (*source.processor);

    juce::AudioBuffer<float> noise (2, 20000);
    juce::Random rng (7);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < noise.getNumSamples(); ++i)
            noise.setSample (c, i, rng.nextFloat() - 0.5f);

    ProcessorHarness busy;
    auto warmUp = noise;
    busy.process (warmUp, 512);
    busy.processor->setStateInformation (mb.getData(), (int) mb.getSize());
    EXPECT_EQ (busy.processor->gainReductionDb.load(), 0.0f);

    ProcessorHarness fresh;
    fresh.set (Param::threshold, -50);
    fresh.prepare (48000, 2);

    auto a = noise, b = noise;
    busy.process (a, 512);
    fresh.process (b, 512);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            ASSERT_EQ (a.getSample (c, i), b.getSample (c, i)) << c << ":" << i;
}
