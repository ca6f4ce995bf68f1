#include "ProcessorHarness.h"
#include "TestSignals.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct Run
{
    int exitCode;
    juce::String output; // standard output and error together
};

Run render (const juce::StringArray& args)
{
    juce::ChildProcess child;
    juce::StringArray command{ ZERI_RENDER_PATH };
    command.addArray (args);
    EXPECT_TRUE (child.start (command));
    const auto output = child.readAllProcessOutput();
    child.waitForProcessToFinish (60000);
    return { (int) child.getExitCode(), output };
}

/** A fresh folder per test, removed afterwards. */
struct Folder
{
    Folder() { dir.createDirectory(); }
    ~Folder() { dir.deleteRecursively(); }

    juce::File operator() (const juce::String& name) const { return dir.getChildFile (name); }
    juce::String path (const juce::String& name) const { return dir.getChildFile (name).getFullPathName(); }

    juce::File dir = juce::File::getSpecialLocation (juce::File::tempDirectory)
                         .getChildFile ("zeri-render-test-" + juce::Uuid().toString());
};

void writeAudio (const juce::File& file, const juce::AudioBuffer<float>& audio, int bits = 32, double rate = 48000)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    auto* format = formats.findFormatForFileExtension (file.getFileExtension());
    ASSERT_NE (format, nullptr);
    file.deleteFile();
    auto* stream = new juce::FileOutputStream (file);
    std::unique_ptr<juce::AudioFormatWriter> writer (
        format->createWriterFor (stream, rate, (unsigned int) audio.getNumChannels(), bits, {}, 0));
    ASSERT_NE (writer, nullptr);
    ASSERT_TRUE (writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples()));
}

struct Audio
{
    juce::AudioBuffer<float> samples;
    int bits = 0;
    bool isFloat = false;
};

Audio readAudio (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    if (reader == nullptr)
        return {};

    Audio a;
    a.samples.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&a.samples, 0, a.samples.getNumSamples(), 0, true, true);
    a.bits = (int) reader->bitsPerSample;
    a.isFloat = reader->usesFloatingPointData;
    return a;
}

float maxDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return std::numeric_limits<float>::infinity();

    float d = 0;
    for (int ch = 0; ch < a.getNumChannels(); ++ch)
        for (int i = 0; i < a.getNumSamples(); ++i)
        {
            const auto diff = std::abs (a.getSample (ch, i) - b.getSample (ch, i));
            if (! (diff <= d)) // a NaN counts as the largest difference
                d = std::isnan (diff) ? std::numeric_limits<float>::infinity() : diff;
        }
    return d;
}

juce::var readJson (const juce::File& f) { return juce::JSON::parse (f.loadFileAsString()); }

/** Files in the folder other than the ones a test made itself. */
juce::StringArray strayFiles (const Folder& folder, const juce::StringArray& expected)
{
    juce::StringArray stray;
    for (const auto& f :
         folder.dir.findChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, false))
        if (! expected.contains (f.getFileName()))
            stray.add (f.getFileName());
    for (const auto& f : folder.dir.findChildFiles (juce::File::findFiles, false, ".*"))
        stray.add (f.getFileName());
    return stray;
}
} // namespace

//==============================================================================
TEST (Render, SameSamplesAsTheProcessorDrivenDirectly)
{
    for (int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        Folder folder;
        const auto input = testsignals::speechLike (48000, 2.0, channels);
        writeAudio (folder ("in.wav"), input);

        const auto run = render ({ folder.path ("in.wav"), folder.path ("out.wav"), "--block", "333", "--threshold",
                                   "-40", "--range", "14", "--quiet" });
        ASSERT_EQ (run.exitCode, 0) << run.output;
        EXPECT_EQ (run.output, "") << "--quiet prints nothing";

        ProcessorHarness host (48000, channels, 333);
        host.set (Param::threshold, -40);
        host.set (Param::range, 14);
        host.prepare (48000, channels, 333); // parameters first, like the renderer
        auto expected = input;
        host.process (expected, 333);

        const auto out = readAudio (folder ("out.wav"));
        EXPECT_TRUE (out.isFloat);
        EXPECT_EQ (out.bits, 32);
        EXPECT_EQ (maxDifference (out.samples, expected), 0.0f);
    }
}

TEST (Render, BlockSizeChangesNothingButRounding)
{
    Folder folder;
    writeAudio (folder ("in.wav"), testsignals::speechLike (44100, 2.0));

    for (auto block : { "7", "4096" })
    {
        const auto run =
            render ({ folder.path ("in.wav"), folder.path (juce::String ("out") + block + ".wav"), "--block", block,
                      "--json", folder.path (juce::String (block) + ".json"), "--quiet" });
        ASSERT_EQ (run.exitCode, 0) << run.output;
    }

    EXPECT_LE (maxDifference (readAudio (folder ("out7.wav")).samples, readAudio (folder ("out4096.wav")).samples),
               1e-6f);

    const auto small = readJson (folder ("7.json")), large = readJson (folder ("4096.json"));
    EXPECT_NEAR ((double) small["gainReductionDb"]["mean"], (double) large["gainReductionDb"]["mean"], 1e-3);
    EXPECT_NEAR ((double) small["gainReductionDb"]["peak"], (double) large["gainReductionDb"]["peak"], 1e-3);
}

TEST (Render, JsonShowsTheSibilanceBandTurnedDown)
{
    Folder folder;
    writeAudio (folder ("in.wav"), testsignals::speechLike (48000, 3.0));

    const auto run = render ({ folder.path ("in.wav"), folder.path ("out.wav"), "--json", folder.path ("s.json"),
                               "--plot", folder.path ("s.png") });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    EXPECT_TRUE (run.output.contains ("sibilance band")) << run.output;

    const auto json = readJson (folder ("s.json"));
    ASSERT_TRUE (json.isObject()) << folder ("s.json").loadFileAsString();
    const auto band = json["sibilanceBand"], below = json["belowBand"];

    EXPECT_NEAR ((double) band["lowHz"], 3831.6, 0.1);
    EXPECT_NEAR ((double) band["highHz"], 11026.8, 0.1);
    EXPECT_LT ((double) band["afterDb"], (double) band["beforeDb"] - 1.0);
    EXPECT_NEAR ((double) below["afterDb"], (double) below["beforeDb"], 0.5);
    EXPECT_GT ((double) json["gainReductionDb"]["peak"], 1.0);
    EXPECT_EQ ((int) json["channels"], 2);
    EXPECT_EQ ((double) json["parameters"]["threshold"], -30.0);

    const auto plot = juce::ImageFileFormat::loadFrom (folder ("s.png"));
    EXPECT_TRUE (plot.isValid());
    EXPECT_GT (plot.getWidth(), 600);

    // With Power off the output is the input, and the band measures the same.
    ASSERT_EQ (render ({ folder.path ("in.wav"), folder.path ("dry.wav"), "--power", "0", "--json",
                         folder.path ("dry.json"), "--quiet" })
                   .exitCode,
               0);
    const auto dry = readJson (folder ("dry.json"))["sibilanceBand"];
    EXPECT_NEAR ((double) dry["afterDb"], (double) dry["beforeDb"], 0.05);
}

TEST (Render, OutputFormatFollowsTheExtensionAndTheInputDepth)
{
    struct Case
    {
        const char* in;
        int inBits;
        const char* out;
        int outBits;
        bool outFloat;
    };

    for (const auto& c : { Case{ "in.wav", 16, "out.aiff", 16, false }, Case{ "in.wav", 24, "out.flac", 24, false },
                           Case{ "in.flac", 16, "out.wav", 16, false }, Case{ "in.wav", 32, "out.flac", 24, false },
                           Case{ "in.aiff", 24, "out.wav", 24, false }, Case{ "in.wav", 32, "out.wav", 32, true } })
    {
        SCOPED_TRACE (juce::String (c.in) + " " + juce::String (c.inBits) + " -> " + c.out);
        Folder folder;
        writeAudio (folder (c.in), testsignals::speechLike (44100, 0.5, 1), c.inBits, 44100);

        const auto run = render ({ folder.path (c.in), folder.path (c.out), "--quiet" });
        ASSERT_EQ (run.exitCode, 0) << run.output;

        const auto out = readAudio (folder (c.out));
        EXPECT_EQ (out.bits, c.outBits);
        EXPECT_EQ (out.isFloat, c.outFloat);
        EXPECT_EQ (out.samples.getNumSamples(), 22050);
        EXPECT_EQ (out.samples.getNumChannels(), 1);
    }
}

//==============================================================================
TEST (Render, BadInputIsRefusedAndWritesNothing)
{
    Folder folder;
    const auto in = folder.path ("in.wav"), out = folder.path ("out.wav");
    writeAudio (folder ("in.wav"), testsignals::speechLike (48000, 0.5), 16);

    folder ("garbage.wav").replaceWithText ("RIFF but not really a wave file");
    folder ("notxml.xml").replaceWithText ("this is not < xml");
    folder ("other.xml").replaceWithText ("<?xml version=\"1.0\"?><SETTINGS threshold=\"-40\"/>");
    folder ("sub").createDirectory();
    folder ("sub.wav").createDirectory();

    juce::AudioBuffer<float> three (3, 4800);
    three.clear();
    writeAudio (folder ("three.wav"), three, 16);

    juce::MemoryBlock whole;
    folder ("in.wav").loadFileAsData (whole);
    folder ("cut.wav").replaceWithData (whole.getData(), whole.getSize() / 2);

    {
        juce::OggVorbisAudioFormat ogg;
        std::unique_ptr<juce::AudioFormatWriter> w (
            ogg.createWriterFor (new juce::FileOutputStream (folder ("in.ogg")), 48000, 2, 16, {}, 0));
        ASSERT_NE (w, nullptr);
        w->writeFromAudioSampleBuffer (testsignals::speechLike (48000, 0.5), 0, 24000);
    }

    struct Case
    {
        juce::StringArray args;
        int exitCode;
        const char* message;
    };

    const std::vector<Case> cases{
        { { folder.path ("missing.wav"), out }, 1, "no such file" },
        { { folder.path ("sub"), out }, 1, "is a folder" },
        { { folder.path ("garbage.wav"), out }, 1, "not a readable WAV, AIFF or FLAC file" },
        { { folder.path ("in.ogg"), out }, 1, "not a readable WAV, AIFF or FLAC file" },
        { { folder.path ("cut.wav"), out }, 1, "is truncated" },
        { { folder.path ("three.wav"), out }, 1, "has 3 channels" },
        { { in, out, "--loudness", "3" }, 2, "unknown option '--loudness'" },
        { { in, out, "--thresh", "3" }, 2, "unknown option '--thresh'" },
        { { "-q", in, out }, 2, "unknown option '-q'" },
        { { in, out, "--threshold", "-60" }, 2, "Threshold takes -54 to 0 dB" },
        { { in, out, "--frequency", "20000" }, 2, "Frequency takes 2500 to 12000 Hz" },
        { { in, out, "--monitor", "2" }, 2, "Listen Removed takes 0 or 1" },
        { { in, out, "--range", "lots" }, 2, "needs a number" },
        { { in, out, "--attack" }, 2, "--attack needs a value" },
        { { in, out, "--block", "0" }, 2, "--block 0 is out of range" },
        { { in }, 2, "needs an input and an output" },
        { { in, in }, 1, "is the input file" },
        { { in, folder.path ("sub/../in.wav") }, 1, "is the input file" },
        { { in, folder.path ("out.mp3") }, 1, "extension must name the format" },
        { { in, folder.path ("sub.wav") }, 1, "is a folder" },
        { { in, folder.path ("nowhere/out.wav") }, 1, "does not exist" },
        { { in, out, "--plot", folder.path ("nowhere/p.png") }, 1, "does not exist" },
        { { in, out, "--json", in }, 1, "is the input file" },
        { { in, out, "--preset-file", folder.path ("missing.xml") }, 1, "no such file" },
        { { in, out, "--preset-file", folder.path ("notxml.xml") }, 1, "is not a preset file" },
        { { in, out, "--preset-file", folder.path ("other.xml") }, 1, "not <PARAMETERS>" },
    };

    folder ("out.wav").replaceWithText ("an earlier output");
    const juce::StringArray made{ "in.wav", "out.wav", "garbage.wav", "notxml.xml", "other.xml",
                                  "sub",    "sub.wav", "three.wav",   "cut.wav",    "in.ogg" };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.args.joinIntoString (" "));
        const auto run = render (c.args);

        EXPECT_EQ (run.exitCode, c.exitCode);
        EXPECT_TRUE (run.output.contains (c.message)) << run.output;
        EXPECT_EQ (run.output.trim().indexOfChar ('\n'), -1) << "one line: " << run.output;
        EXPECT_EQ (folder ("out.wav").loadFileAsString(), "an earlier output");
        EXPECT_EQ (strayFiles (folder, made), juce::StringArray()) << "left behind";

        juce::MemoryBlock now;
        folder ("in.wav").loadFileAsData (now);
        EXPECT_EQ (now, whole) << "the input changed";
    }
}

TEST (Render, PresetFileIsTheStartingPointAndOptionsOverrideIt)
{
    Folder folder;
    writeAudio (folder ("in.wav"), testsignals::speechLike (48000, 0.5));

    {
        ProcessorHarness source;
        source.set (Param::threshold, -41.5f);
        source.set (Param::frequency, 7777);
        source.set (Param::range, 3);
        source.processor->setCurrentPresetInfo ("Heavy Ess", true, false);
        ASSERT_TRUE (source.processor->createFullState().createXml()->writeTo (folder ("Heavy Ess.xml")));
    }

    const auto run = render ({ folder.path ("in.wav"), folder.path ("out.wav"), "--range", "20", "--preset-file",
                               folder.path ("Heavy Ess.xml"), "--json", folder.path ("s.json"), "--quiet" });
    ASSERT_EQ (run.exitCode, 0) << run.output;

    const auto p = readJson (folder ("s.json"))["parameters"];
    EXPECT_EQ ((double) p["threshold"], -41.5);
    EXPECT_EQ ((double) p["frequency"], 7777.0);
    EXPECT_EQ ((double) p["range"], 20.0);
    EXPECT_EQ ((double) p["amount"], 50.0);
}

TEST (Render, AnInterruptedRenderLeavesTheEarlierOutput)
{
    Folder folder;
    writeAudio (folder ("in.wav"), testsignals::speechLike (48000, 30.0), 16);
    folder ("out.wav").replaceWithText ("an earlier output");

    const auto pid = fork();
    ASSERT_GE (pid, 0);
    if (pid == 0)
    {
        execl (ZERI_RENDER_PATH, ZERI_RENDER_PATH, folder.path ("in.wav").toRawUTF8(),
               folder.path ("out.wav").toRawUTF8(), "--block", "16", "--quiet", (char*) nullptr);
        _exit (127);
    }

    // The hidden file beside OUT shows the renderer is running, its handler in place.
    for (int waited = 0; waited < 20000; waited += 5)
    {
        if (! folder.dir.findChildFiles (juce::File::findFiles, false, ".*").isEmpty())
            break;
        juce::Thread::sleep (5);
    }
    kill (pid, SIGINT);
    int status = 0;
    waitpid (pid, &status, 0);

    // A render quick enough to finish first must have left a whole file.
    if (WIFEXITED (status) && WEXITSTATUS (status) == 0)
        EXPECT_EQ (readAudio (folder ("out.wav")).samples.getNumSamples(), 48000 * 30);
    else
    {
        EXPECT_EQ (WEXITSTATUS (status), 130);
        EXPECT_EQ (folder ("out.wav").loadFileAsString(), "an earlier output");
    }

    EXPECT_EQ (strayFiles (folder, { "in.wav", "out.wav" }), juce::StringArray());
}
