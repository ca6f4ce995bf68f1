// Loads our LV2 bundle and two peer de-essers through JUCE's LV2 hosting,
// feeds each the same voice-like audio in the same blocks, and prints the
// median cost per frame of each and the ratio ours / peer, with settings
// standing still and with every continuous parameter automated. Runs
// alternate between the plug-ins so that load from the rest of the machine
// falls on all of them alike. Finally it counts the instructions per frame
// of our plug-in under callgrind, a figure that does not depend on that load.

#include "tests/TestSignals.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int automationPeriod = 512; // frames between new targets: shorter than any 20 ms ramp

struct Peer
{
    juce::String label, uri;
};

const Peer ours { "Zeri Za-Rirod", ZERI_LV2_URI };
const Peer mda { "MDA DeEss", "http://drobilla.net/plugins/mda/DeEss" };
const Peer calf { "Calf Deesser", "http://calf.sourceforge.net/plugins/Deesser" };

enum class Scenario
{
    steady,
    automated
};

const char* name (Scenario s) { return s == Scenario::steady ? "steady" : "automated"; }

/** A hosted instance with the parameters the automated scenario moves. */
struct Hosted
{
    std::unique_ptr<juce::AudioPluginInstance> instance;
    std::vector<juce::AudioProcessorParameter*> continuous;
};

Hosted load (juce::LV2PluginFormat& format, const Peer& peer)
{
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, peer.uri);
    if (found.isEmpty())
    {
        std::cerr << "cannot find " << peer.uri << " (is it installed? bash scripts/setup.sh)\n";
        std::exit (1);
    }

    juce::String error;
    Hosted h;
    h.instance = format.createInstanceFromDescription (*found[0], sampleRate, blockSize, error);
    if (h.instance == nullptr)
    {
        std::cerr << "cannot load " << peer.uri << ": " << error << "\n";
        std::exit (1);
    }

    h.instance->enableAllBuses();
    const auto stereo = juce::AudioChannelSet::stereo();
    h.instance->setChannelLayoutOfBus (true, 0, stereo);
    h.instance->setChannelLayoutOfBus (false, 0, stereo);
    h.instance->setRateAndBufferSizeDetails (sampleRate, blockSize);
    h.instance->prepareToPlay (sampleRate, blockSize);

    for (auto* p : h.instance->getParameters())
    {
        const auto pname = p->getName (64).toLowerCase();
        if (p->isAutomatable() && ! p->isBoolean() && ! p->isDiscrete() && ! pname.contains ("bypass")
            && ! pname.contains ("level in") && ! pname.contains ("level out"))
            h.continuous.push_back (p);
    }
    return h;
}

/** Processes the whole input once; returns the time spent in processBlock, in ns per frame. */
double run (Hosted& h, const juce::AudioBuffer<float>& input, Scenario scenario, bool countInstructions = false)
{
    const int channels =
        juce::jmax (2, h.instance->getTotalNumInputChannels(), h.instance->getTotalNumOutputChannels());
    juce::AudioBuffer<float> audio (channels, input.getNumSamples());
    audio.clear();
    for (int c = 0; c < 2; ++c)
        audio.copyFrom (c, 0, input, c, 0, input.getNumSamples());

    juce::MidiBuffer midi;
    std::chrono::nanoseconds spent {};
    bool phase = false;
    const int frames = input.getNumSamples() / blockSize * blockSize;

    for (int start = 0; start < frames; start += blockSize)
    {
        if (scenario == Scenario::automated && start % automationPeriod == 0)
        {
            phase = ! phase;
            for (auto* p : h.continuous)
                p->setValue (phase ? 0.3f : 0.7f);
        }

        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), channels, start, blockSize);
        if (countInstructions)
            CALLGRIND_TOGGLE_COLLECT;
        const auto t0 = std::chrono::steady_clock::now();
        h.instance->processBlock (block, midi);
        spent += std::chrono::steady_clock::now() - t0;
        if (countInstructions)
            CALLGRIND_TOGGLE_COLLECT;
    }
    return (double) spent.count() / frames;
}

double median (std::vector<double> v)
{
    std::sort (v.begin(), v.end());
    const auto n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

/** The temporary home whose .lv2 folder holds a link to our bundle: JUCE's LV2
    hosting looks in ~/.lv2 and the system folders, not in LV2_PATH. */
juce::File makeHomeWithOurBundle (const juce::File& bundle)
{
    auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                    .getNonexistentChildFile ("zeri-peer-compare", "", false);
    home.getChildFile (".lv2").createDirectory();
    bundle.createSymbolicLink (home.getChildFile (".lv2").getChildFile (bundle.getFileName()), true);
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    return home;
}

/** Instructions per frame of our plug-in in one scenario, counted by running
    this tool again under callgrind with collection only around processBlock. */
double instructionsPerFrame (const juce::String& self, const juce::File& bundle, Scenario scenario, double seconds)
{
    const auto out = juce::File::getSpecialLocation (juce::File::tempDirectory)
                         .getNonexistentChildFile ("zeri-callgrind", ".out", false);
    juce::ChildProcess child;
    const juce::StringArray command { "valgrind", "--tool=callgrind", "--collect-atstart=no",
                                      "--callgrind-out-file=" + out.getFullPathName(),
                                      self, "--callgrind-child", name (scenario),
                                      bundle.getFullPathName(), juce::String (seconds) };
    if (! child.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
        return -1;

    const auto log = child.readAllProcessOutput();
    child.waitForProcessToFinish (-1);
    const auto frames = log.fromLastOccurrenceOf ("frames=", false, false).getLargeIntValue();

    juce::StringArray lines;
    lines.addLines (out.loadFileAsString());
    out.deleteFile();
    for (const auto& line : lines)
        if (frames > 0 && (line.startsWith ("totals:") || line.startsWith ("summary:")))
            return (double) line.fromFirstOccurrenceOf (":", false, false).trim().getLargeIntValue() / (double) frames;
    std::cerr << log << "\n";
    return -1;
}

int callgrindChild (const juce::String& scenarioName, const juce::File& bundle, double seconds)
{
    const auto home = makeHomeWithOurBundle (bundle);
    juce::LV2PluginFormat format;
    auto h = load (format, ours);
    const auto input = testsignals::speechLike (sampleRate, seconds);
    const auto scenario = scenarioName == "automated" ? Scenario::automated : Scenario::steady;
    run (h, input, Scenario::steady); // settle, and warm every lazy path before counting
    run (h, input, scenario, true);
    std::cout << "frames=" << input.getNumSamples() / blockSize * blockSize << std::endl;
    h.instance.reset();
    home.deleteRecursively();
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juceInit;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    if (args[0] == "--callgrind-child")
        return callgrindChild (args[1], juce::File (args[2]), args[3].getDoubleValue());

    if (args.size() < 1 || ! juce::File (args[0]).isDirectory())
    {
        std::cerr << "usage: zeri_peer_compare <path to Zeri Za-Rirod.lv2> [rounds] [seconds]\n";
        return 2;
    }

    const juce::File bundle (args[0]);
    const int rounds = args.size() > 1 ? args[1].getIntValue() : 9;
    const double seconds = args.size() > 2 ? args[2].getDoubleValue() : 10.0;

    const auto home = makeHomeWithOurBundle (bundle);
    juce::LV2PluginFormat format;
    std::map<juce::String, Hosted> hosted;
    for (const auto* p : { &ours, &mda, &calf })
        hosted[p->label] = load (format, *p);

    std::cout << "Stereo, " << sampleRate << " Hz, " << blockSize << "-frame blocks, " << seconds
              << " s of voice-like audio per run, " << rounds << " rounds; ns per frame spent in processBlock.\n";
    for (const auto* p : { &ours, &mda, &calf })
    {
        std::cout << "  " << p->label << " automates " << hosted[p->label].continuous.size() << ":";
        for (auto* param : hosted[p->label].continuous)
            std::cout << " " << param->getName (32);
        std::cout << "\n";
    }

    const auto input = testsignals::speechLike (sampleRate, seconds);
    std::cout << "\nscenario    plug-in          median ns/frame   ours/peer\n";

    for (auto scenario : { Scenario::steady, Scenario::automated })
    {
        std::map<juce::String, std::vector<double>> times;
        for (int r = 0; r < rounds; ++r)
            for (const auto* p : { &ours, &mda, &ours, &calf }) // ours, peer, ours, peer ...
                times[p->label].push_back (run (hosted[p->label], input, scenario));

        const double oursMedian = median (times[ours.label]);
        for (const auto* p : { &ours, &mda, &calf })
        {
            const double m = median (times[p->label]);
            std::cout << juce::String (name (scenario)).paddedRight (' ', 12) << p->label.paddedRight (' ', 17)
                      << juce::String (m, 2).paddedLeft (' ', 15);
            if (p != &ours)
                std::cout << juce::String (oursMedian / m, 3).paddedLeft (' ', 12);
            std::cout << "\n";
        }
    }

    hosted.clear();
    home.deleteRecursively();

    if (! juce::File ("/usr/bin/valgrind").existsAsFile())
    {
        std::cout << "\n(valgrind not found: no instruction counts)\n";
        return 0;
    }

    std::cout << "\nInstructions per frame for " << ours.label << " (callgrind, processBlock only):\n";
    const auto self = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName();
    for (auto scenario : { Scenario::steady, Scenario::automated })
        std::cout << "  " << juce::String (name (scenario)).paddedRight (' ', 10)
                  << juce::String (instructionsPerFrame (self, bundle, scenario, 2.0), 1) << "\n";
    return 0;
}
