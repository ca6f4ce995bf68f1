#include "ProcessorHarness.h"
#include "ProcessorSnapshot.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int maxBlock = 2048;
constexpr auto stressDuration = std::chrono::milliseconds (2500);

/** Parameter writes that do not replace the whole state (host automation and
    single edits) go through here, so the audio thread can tell whether the
    values it reads are still those a restore left behind. */
struct CountedWrites
{
    std::atomic<uint64_t> begun { 0 }, ended { 0 };

    void set (ZeriZaRirodAudioProcessor& p, Param id, float normalised)
    {
        ++begun;
        p.parameters.getParameter (params::id (id))->setValueNotifyingHost (normalised);
        ++ended;
    }

    /** The write count when no write is under way, else -1. */
    int64_t quietMark() const
    {
        const auto e = ended.load();
        const auto b = begun.load();
        return b == e ? (int64_t) b : -1;
    }
};

std::array<float, numParams> rawValues (ZeriZaRirodAudioProcessor& p)
{
    std::array<float, numParams> v {};
    for (auto id : params::all())
        v[(size_t) id] = p.parameters.getRawParameterValue (params::id (id))->load();
    return v;
}

/** A full-state tree holding just these parameter values. */
juce::ValueTree treeOf (const std::array<float, numParams>& values)
{
    juce::ValueTree tree ("PARAMETERS");
    for (auto id : params::all())
        tree.appendChild (juce::ValueTree ("PARAM", { { "id", params::id (id) }, { "value", values[(size_t) id] } }),
                          nullptr);
    return tree;
}

struct AudioReport
{
    bool allFinite = true;
    bool sawHalfAppliedState = false;
    int stateChangesSeen = 0;
    int stateChangesVerified = 0;
    int mismatches = 0;
};

/** Plays the host's audio thread: takes the callback lock the way the plug-in
    wrapper does and processes blocks of varying size until told to stop. The
    first block after each state change is compared, bit for bit, with what
    `twin` produces from a fresh restore of the same values, whenever no other
    parameter write could have slipped in between. */
void runAudioThread (ZeriZaRirodAudioProcessor& proc, ZeriZaRirodAudioProcessor& twin, const CountedWrites& writes,
                     const std::atomic<bool>& stop, AudioReport& report)
{
    const auto input = testsignals::speechLike (sampleRate, 1.5);
    juce::AudioBuffer<float> block (2, maxBlock), reference (2, maxBlock);
    juce::MidiBuffer midi;
    juce::Random rng (7);
    const int sizes[] = { 1, 3, 16, 37, 64, 128, 256, 480, 512, 1024, 2048 };

    int position = 0;
    uint32_t lastGeneration = proc.stateGeneration;
    int64_t lastQuietMark = -1;

    while (! stop)
    {
        const int n = sizes[rng.nextInt ((int) std::size (sizes))];
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                block.setSample (c, i, input.getSample (c, (position + i) % input.getNumSamples()));
        position = (position + n) % input.getNumSamples();
        juce::AudioBuffer<float> view (block.getArrayOfWritePointers(), 2, n);

        {
            const juce::ScopedLock sl (proc.getCallbackLock());
            const uint32_t generation = proc.stateGeneration;
            report.sawHalfAppliedState |= (generation % 2) != 0;

            const auto markBefore = writes.quietMark();
            const auto values = rawValues (proc);
            for (int c = 0; c < 2; ++c)
                reference.copyFrom (c, 0, block, c, 0, n);

            proc.processBlock (view, midi);

            const auto markAfter = writes.quietMark();
            if (generation != lastGeneration)
            {
                ++report.stateChangesSeen;

                if (markBefore >= 0 && markBefore == lastQuietMark && markAfter == markBefore)
                {
                    juce::AudioBuffer<float> refView (reference.getArrayOfWritePointers(), 2, n);
                    twin.restoreFullState (treeOf (values), false);
                    twin.processBlock (refView, midi);
                    ++report.stateChangesVerified;

                    for (int c = 0; c < 2; ++c)
                        if (std::memcmp (view.getReadPointer (c), refView.getReadPointer (c),
                                         sizeof (float) * (size_t) n)
                            != 0)
                            ++report.mismatches;
                }
            }
            lastGeneration = generation;
            lastQuietMark = markAfter;
        }

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                report.allFinite &= std::isfinite (view.getSample (c, i));

        std::this_thread::sleep_for (std::chrono::microseconds (rng.nextInt (400)));
    }
}

/** Plays host automation: random parameters to random values, in bursts. */
void runAutomationThread (ZeriZaRirodAudioProcessor& proc, CountedWrites& writes, const std::atomic<bool>& stop)
{
    juce::Random rng (11);
    while (! stop)
    {
        for (int burst = rng.nextInt (6); burst >= 0; --burst)
            writes.set (proc, params::fromIndex (rng.nextInt (numParams)), rng.nextFloat());

        std::this_thread::sleep_for (std::chrono::microseconds (rng.nextInt (3000)));
    }
}

/** Host state blobs of a few distinct, valid states. */
std::vector<juce::MemoryBlock> makeStateBlobs()
{
    std::vector<juce::MemoryBlock> blobs;
    juce::Random rng (3);
    const juce::String names[] = { "Presets", "Soft S", "Heavy Ess", "" };

    for (const auto& name : names)
    {
        ZeriZaRirodAudioProcessor p;
        for (auto id : params::all())
            p.parameters.getParameter (params::id (id))->setValueNotifyingHost (rng.nextFloat());
        p.setCurrentPresetInfo (name, rng.nextBool(), rng.nextBool());

        juce::MemoryBlock mb;
        p.getStateInformation (mb);
        blobs.push_back (mb);
    }
    return blobs;
}
} // namespace

// The host's three threads at once: audio, the message thread (host restores,
// presets, edits, undo and redo) and automation. Run under ThreadSanitizer in CI.
TEST (Stress, ConcurrentRestoreAutomationAndAudio)
{
    ProcessorHarness harness (sampleRate, 2, maxBlock), twinHarness (sampleRate, 2, maxBlock);
    auto& proc = *harness.processor;

    const auto blobs = makeStateBlobs();
    const char corrupt[] = "VC2!\x10\0\0\0<PARAMETERS";

    CountedWrites writes;
    std::atomic<bool> stop { false };
    AudioReport audio;

    std::thread audioThread (runAudioThread, std::ref (proc), std::ref (*twinHarness.processor), std::cref (writes),
                             std::cref (stop), std::ref (audio));
    std::thread automationThread (runAutomationThread, std::ref (proc), std::ref (writes), std::cref (stop));

    // This thread is the message thread: everything a user and a host do there.
    const auto factoryNames = proc.getFactoryPresetNames();
    const juce::String userNames[] = { "Stress A", "Stress: B!" };
    juce::Random rng (5);
    const auto end = std::chrono::steady_clock::now() + stressDuration;

    while (std::chrono::steady_clock::now() < end)
    {
        const auto& userName = userNames[rng.nextInt ((int) std::size (userNames))];

        switch (rng.nextInt (9))
        {
            case 0:
            {
                const auto& blob = blobs[(size_t) rng.nextInt ((int) blobs.size())];
                proc.setStateInformation (blob.getData(), (int) blob.getSize());
                break;
            }
            case 1:
                proc.setStateInformation (corrupt, (int) sizeof (corrupt));
                break;
            case 2:
                proc.beginUndoTransaction ("Edit Vell");
                writes.set (proc, Param::threshold, rng.nextFloat());
                proc.commitUndoTransactionIfNeeded();
                break;
            case 3:
                proc.applyFactoryPreset (factoryNames[rng.nextInt (factoryNames.size())]);
                break;
            case 4:
                proc.saveUserPreset (userName);
                break;
            case 5:
                proc.loadUserPreset (userName);
                break;
            case 6:
                proc.performUndo();
                break;
            case 7:
                proc.performRedo();
                break;
            default:
            {
                juce::MemoryBlock mb;
                proc.getStateInformation (mb);
                break;
            }
        }
        std::this_thread::sleep_for (std::chrono::microseconds (rng.nextInt (2000)));
    }

    stop = true;
    audioThread.join();
    automationThread.join();

    EXPECT_TRUE (audio.allFinite);
    EXPECT_FALSE (audio.sawHalfAppliedState);
    EXPECT_GT (audio.stateChangesVerified, 0) << "none of " << audio.stateChangesSeen
                                              << " state changes was followed by a quiet block";
    EXPECT_EQ (audio.mismatches, 0) << "of " << audio.stateChangesVerified << " blocks after a state change";

    // What is left must be one consistent state...
    EXPECT_TRUE (parametersInRange (proc));
    const auto state = proc.createFullState();
    EXPECT_EQ (state["uiCurrentPresetName"].toString(), proc.getCurrentPresetName());
    EXPECT_EQ ((bool) state["uiCurrentPresetIsUser"], proc.isCurrentPresetUser());

    juce::StringArray knownNames { "Presets", "Soft S", "Heavy Ess" };
    knownNames.addArray (factoryNames);
    for (const auto& name : userNames)
        knownNames.add (name);
    EXPECT_TRUE (knownNames.contains (proc.getCurrentPresetName())) << proc.getCurrentPresetName();

    // ...with a history that leads back to it: step back, then forward again.
    proc.beginUndoTransaction ("Edit Vell");
    harness.set (Param::focus,
                 proc.parameters.getRawParameterValue (params::id (Param::focus))->load() < 50 ? 80.0f : 20.0f);
    proc.commitUndoTransactionIfNeeded();
    const auto last = proc.createFullState();

    int steps = 0;
    for (; steps < 50 && proc.canUndo(); ++steps)
        proc.performUndo();
    for (int i = 0; i < steps; ++i)
        proc.performRedo();

    EXPECT_FALSE (proc.canRedo());
    EXPECT_TRUE (proc.createFullState().isEquivalentTo (last));

    // ...and that survives the host saving and reopening it.
    ZeriZaRirodAudioProcessor reopened;
    juce::MemoryBlock mb;
    proc.getStateInformation (mb);
    reopened.setStateInformation (mb.getData(), (int) mb.getSize());
    EXPECT_TRUE (reopened.createFullState().isEquivalentTo (last));
}
