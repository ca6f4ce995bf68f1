#include "ProcessorHarness.h"
#include "ProcessorSnapshot.h"
#include "face/ValueText.h"
#include "presets/PresetManager.h"

#include <gtest/gtest.h>

// Host blobs and preset files that once crashed, hung or poisoned the processor.
namespace
{
/** A host blob around any bytes, parseable or not. */
juce::MemoryBlock rawBlob (const void* text, size_t numBytes)
{
    juce::MemoryOutputStream out;
    out.write ("VC2!", 4);
    out.writeInt ((int) numBytes + 1);
    out.write (text, numBytes);
    out.writeByte (0);
    return out.getMemoryBlock();
}

void restore (ZeriZaRirodAudioProcessor& p, const juce::String& xmlText)
{
    const auto blob = rawBlob (xmlText.toRawUTF8(), xmlText.getNumBytesAsUTF8());
    p.setStateInformation (blob.getData(), (int) blob.getSize());
}

const juce::String header { "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" };

juce::String param (Param p, const juce::String& value)
{
    return "<PARAM id=\"" + params::id (p) + "\" value=\"" + value + "\"/>";
}
} // namespace

TEST (HostileInput, MarkupTheParserMishandlesIsRefused)
{
    const juce::String documents[] = {
        // The framework expands an entity that names itself until the stack overflows.
        header + "<!DOCTYPE P [<!ENTITY x \"1\"> <!ENTITY e \"&xxxxe;\">]><PARAMETERS a=\"&e;\"/>",
        // An external entity would be read from any file at all.
        header + "<!DOCTYPE P SYSTEM \"/dev/zero\"><PARAMETERS a=\"&e;\"/>",
        header + "<!DOCTYPE PARAMETERS><PARAMETERS/>",
        // Parsing recurses once per level: this overflowed the stack.
        header + "<PARAMETERS>" + juce::String::repeatedString ("<a>", 200000),
        header + "<PARAMETERS>" + juce::String::repeatedString ("<a x='/>'>", 200000),
        // The framework's parser looped for ever on a processing instruction before text.
        header + "<PARAMETERS><?x?>b</PARAMETERS>",
        // The framework's parser stepped past the end of the text after this entity.
        header + "<PARAMETERS a=\"1\">&#x1F",
        // Markup inside comments and CDATA must not cancel out real nesting.
        header + "<PARAMETERS>" + juce::String::repeatedString ("<a><!--</a>--><![CDATA[</a>]]>", 200000),
    };

    const auto presetFile = PresetManager (AppInfo()).getPresetFile ("Dropped");
    presetFile.getParentDirectory().createDirectory();

    for (const auto& doc : documents)
    {
        ZeriZaRirodAudioProcessor proc;
        prepareDistinct (proc);
        const auto before = ExactSnapshot::of (proc);

        restore (proc, doc);
        EXPECT_TRUE (ExactSnapshot::of (proc) == before) << "blob: " << doc;

        ASSERT_TRUE (presetFile.replaceWithText (doc));
        EXPECT_FALSE (proc.loadUserPreset ("Dropped"));
        EXPECT_TRUE (ExactSnapshot::of (proc) == before) << "preset file: " << doc;
    }
    presetFile.deleteFile();
}

TEST (HostileInput, InvalidUtf8IsRefused)
{
    // Each 0xff claims a long multi-byte sequence: the framework's parser
    // stepped over the end of the text (found by fuzz_state_blob).
    juce::MemoryOutputStream text;
    text << header << "<PARAMETERS a=\"1\">";
    for (int i = 0; i < 40; ++i)
        text.writeByte ((char) 0xff);
    text << "ERS>";

    ZeriZaRirodAudioProcessor proc;
    prepareDistinct (proc);
    const auto before = ExactSnapshot::of (proc);

    const auto blob = rawBlob (text.getData(), text.getDataSize());
    proc.setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_TRUE (ExactSnapshot::of (proc) == before);

    const auto presetFile = PresetManager (AppInfo()).getPresetFile ("Dropped");
    ASSERT_TRUE (presetFile.getParentDirectory().createDirectory()
                 && presetFile.replaceWithData (text.getData(), text.getDataSize()));
    EXPECT_FALSE (proc.loadUserPreset ("Dropped"));
    EXPECT_TRUE (ExactSnapshot::of (proc) == before);
    presetFile.deleteFile();
}

TEST (HostileInput, NonFiniteNumbersFallBack)
{
    ZeriZaRirodAudioProcessor proc;
    prepareDistinct (proc);

    restore (proc,
             header + "<PARAMETERS uiSavedWindowSizeSet=\"1\" uiSavedWindowWidth=\"nan\" uiSavedWindowHeight=\"1e300\">"
                 + param (Param::threshold, "nan") + param (Param::release, "-nan") + param (Param::amount, "inf")
                 + param (Param::focus, "12") + "</PARAMETERS>");

    const auto value = [&] (Param p) { return proc.parameters.getRawParameterValue (params::id (p))->load(); };
    for (auto p : { Param::threshold, Param::release, Param::amount })
        EXPECT_EQ (value (p), params::info (p).defaultValue) << params::id (p);
    EXPECT_EQ (value (Param::focus), 12.0f);
    EXPECT_TRUE (parametersInRange (proc));

    // A size that cannot be a window keeps the size there was.
    EXPECT_TRUE (proc.savedWindowSizeSet);
    EXPECT_EQ (proc.savedWindowWidth, 1111.0f);
    EXPECT_EQ (proc.savedWindowHeight, 700.0f);
}

TEST (HostileInput, TypedValuesAreNeverNonFinite)
{
    // "nan" before a 'k' was read as a number and went through the slider's clamp.
    const auto manyDigits = juce::String::repeatedString ("9", 400);

    for (const auto& text : { juce::String ("nank"), juce::String ("NaN kHz"), juce::String ("-nan k"),
                              juce::String ("infk"), juce::String ("1e999k"), manyDigits, manyDigits + "k" })
    {
        EXPECT_TRUE (std::isfinite (valueText::parseFrequency (text))) << text;
        EXPECT_TRUE (std::isfinite (valueText::parseDigits (text))) << text;
    }
    EXPECT_EQ (valueText::parseFrequency ("nank"), 0.0);
    EXPECT_EQ (valueText::parseFrequency ("6.5k"), 6500.0);
}
