#include "ProcessorHarness.h"
#include "ProcessorSnapshot.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
// Written out again here, not read from the code's table, so a typo there shows.
struct Expected
{
    const char* name;
    float amount, threshold, attack, release, frequency, focus, range, mix;
};

// clang-format off
const Expected presets[] = {
    { "Natural Vocal",    48, -28,   0.45f, 82,  6200, 46, 6.5f, 100 },
    { "Bright Pop",       64, -31.5f, 0.2f, 58,  7600, 68, 9,    100 },
    { "Dialogue Clean",   54, -26,   0.55f, 105, 5200, 38, 7,    100 },
    { "Air Keeper",       38, -23,   0.8f,  110, 8000, 86, 4.5f, 90  },
    { "Heavy Ess",        78, -36,   0.12f, 48,  6800, 62, 15,   100 },
    { "Smooth Bus",       32, -21,   0.7f,  130, 5900, 35, 3.5f, 72  },
    { "Acoustic Control", 44, -25,   0.45f, 95,  5000, 32, 5.5f, 95  },
};
// clang-format on

void expectValues (const ProcessorHarness& h, const Expected& e)
{
    EXPECT_EQ (h.get (Param::power), 1.0f);
    EXPECT_EQ (h.get (Param::monitor), 0.0f);
    EXPECT_NEAR (h.get (Param::amount), e.amount, 1e-4);
    EXPECT_NEAR (h.get (Param::threshold), e.threshold, 1e-4);
    EXPECT_NEAR (h.get (Param::attack), e.attack, 1e-4);
    EXPECT_NEAR (h.get (Param::release), e.release, 1e-3);
    EXPECT_NEAR (h.get (Param::frequency), e.frequency, 1e-2);
    EXPECT_NEAR (h.get (Param::focus), e.focus, 1e-4);
    EXPECT_NEAR (h.get (Param::range), e.range, 1e-4);
    EXPECT_NEAR (h.get (Param::mix), e.mix, 1e-4);
}

/** What the host hears about: parameter changes and gesture brackets. */
struct HostLog : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int i, float) override { changed.push_back (i); }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int) override { ++gestures; }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int) override { ++gestures; }

    std::vector<int> changed;
    int gestures = 0;
};
} // namespace

TEST (FactoryPresets, NamesInMenuOrder)
{
    ZeriZaRirodAudioProcessor p;
    juce::StringArray expected;
    for (const auto& e : presets)
        expected.add (e.name);

    EXPECT_EQ (p.getFactoryPresetNames(), expected);
    EXPECT_EQ (p.getFactoryPresetNames(), expected);
}

TEST (FactoryPresets, EachPresetSetsItsValuesAndBecomesCurrent)
{
    for (const auto& e : presets)
    {
        SCOPED_TRACE (e.name);
        ProcessorHarness h;
        h.set (Param::power, 0);
        h.set (Param::monitor, 1);
        h.processor->setCurrentPresetInfo ("Mine", true, true);

        h.processor->applyFactoryPreset (e.name);

        expectValues (h, e);
        EXPECT_EQ (h.processor->getCurrentPresetDisplayName(), e.name);
        EXPECT_FALSE (h.processor->isCurrentPresetUser());
    }
}

TEST (FactoryPresets, UnknownNamesGetNaturalVocalUnderTheirOwnName)
{
    for (const char* name : { "heavy ess", "Heavy Ess ", "Something Else" })
    {
        SCOPED_TRACE (name);
        ProcessorHarness h;
        h.processor->applyFactoryPreset (name);
        expectValues (h, presets[0]);
        EXPECT_EQ (h.processor->getCurrentPresetDisplayName(), name);
    }
}

TEST (FactoryPresets, HostSeesTenChangesInOrderWithoutGestures)
{
    ProcessorHarness h;
    HostLog log;
    h.processor->addListener (&log);
    h.processor->applyFactoryPreset ("Smooth Bus");
    h.processor->removeListener (&log);

    EXPECT_EQ (log.changed, (std::vector<int> { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }));
    EXPECT_EQ (log.gestures, 0);
}

TEST (FactoryPresets, OneUndoStepThatMovesValuesAndRecordTogether)
{
    ProcessorHarness h;
    auto& p = *h.processor;
    h.set (Param::threshold, -12);
    p.setCurrentPresetInfo ("Mine", true, true);
    const auto before = Snapshot::of (p);

    p.applyFactoryPreset ("Bright Pop");
    ASSERT_EQ (p.undoManager.getUndoDescriptions(), juce::StringArray ("Factory Preset"));
    const auto applied = Snapshot::of (p);

    // A knob move marks the preset; undo takes it back to the clean preset.
    p.beginUndoTransaction ("Edit Vell");
    h.set (Param::amount, 10);
    p.commitUndoTransactionIfNeeded();
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Bright Pop *");

    p.performUndo();
    EXPECT_TRUE (Snapshot::of (p) == applied);

    p.performUndo();
    EXPECT_TRUE (Snapshot::of (p) == before);
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Mine *");

    p.performRedo();
    expectValues (h, presets[1]);
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Bright Pop");
}

TEST (FactoryPresets, NoStepWhenNothingChanges)
{
    ProcessorHarness h;
    auto& p = *h.processor;
    p.applyFactoryPreset ("Heavy Ess");
    p.applyFactoryPreset ("Heavy Ess");
    EXPECT_EQ (p.undoManager.getUndoDescriptions().size(), 1);

    // Only the mark differs, but the record is part of the state.
    p.currentPresetModified = true;
    p.applyFactoryPreset ("Heavy Ess");
    EXPECT_EQ (p.undoManager.getUndoDescriptions().size(), 2);
}

TEST (FactoryPresets, JoinsAnOpenTransaction)
{
    ProcessorHarness h;
    auto& p = *h.processor;

    p.beginUndoTransaction ("Edit Vell");
    h.set (Param::amount, 10);
    p.applyFactoryPreset ("Air Keeper");
    p.commitUndoTransactionIfNeeded(); // the drag's own end finds nothing open

    EXPECT_EQ (p.undoManager.getUndoDescriptions(), juce::StringArray ("Edit Vell"));
    p.performUndo();
    EXPECT_FLOAT_EQ (h.get (Param::amount), 50);
    EXPECT_FLOAT_EQ (h.get (Param::mix), 100);
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Presets");
}

TEST (FactoryPresets, AudioNeverSeesHalfAPreset)
{
    // An audio thread that reads the parameters the way a block does, under the
    // callback lock the plug-in wrappers hold around processing.
    ProcessorHarness h;
    auto& p = *h.processor;
    p.applyFactoryPreset ("Heavy Ess");

    const auto matches = [&h] (const Expected& e) {
        return std::abs (h.get (Param::amount) - e.amount) < 1e-3f && std::abs (h.get (Param::range) - e.range) < 1e-3f
               && std::abs (h.get (Param::mix) - e.mix) < 1e-3f
               && std::abs (h.get (Param::frequency) - e.frequency) < 1e-1f;
    };

    std::atomic<bool> done { false };
    std::atomic<int> mixed { 0 }, reads { 0 };
    std::thread audio ([&] {
        while (! done)
        {
            const juce::ScopedLock sl (p.getCallbackLock());
            if (! matches (presets[4]) && ! matches (presets[5]))
                ++mixed;
            ++reads;
        }
    });

    for (int i = 0; i < 2000; ++i)
        p.applyFactoryPreset (i % 2 == 0 ? "Smooth Bus" : "Heavy Ess");

    done = true;
    audio.join();
    EXPECT_GT (reads.load(), 0);
    EXPECT_EQ (mixed.load(), 0);
}
