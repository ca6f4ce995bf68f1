#include "ProcessorHarness.h"
#include "presets/FullStateUndoAction.h"

#include <gtest/gtest.h>

namespace
{
/** One thing a user, the editor or the host does to the processor. */
struct Op
{
    enum Kind
    {
        begin,
        commit,
        set,
        undo,
        redo,
        hostRestore,
        blockTransactions
    } kind;
    juce::String name {};
    Param param = Param::amount;
    float value = 0.0f;
};

Op begin (const char* name) { return { Op::begin, name }; }
Op commit() { return { Op::commit }; }
Op set (Param p, float v) { return { Op::set, {}, p, v }; }
Op undo() { return { Op::undo }; }
Op redo() { return { Op::redo }; }
Op hostRestore() { return { Op::hostRestore }; }
Op duringUndoRedo() { return { Op::blockTransactions }; }

void run (ProcessorHarness& h, const Op& op)
{
    auto& p = *h.processor;

    switch (op.kind)
    {
        case Op::begin: p.beginUndoTransaction (op.name); break;
        case Op::commit: p.commitUndoTransactionIfNeeded(); break;
        case Op::set: h.set (op.param, op.value); break;
        case Op::undo: p.performUndo(); break;
        case Op::redo: p.performRedo(); break;
        case Op::blockTransactions: p.undoRedoInProgress = true; break;
        case Op::hostRestore:
        {
            ZeriZaRirodAudioProcessor source;
            source.setCurrentPresetInfo ("From Host", true, false);
            juce::MemoryBlock mb;
            source.getStateInformation (mb);
            p.setStateInformation (mb.getData(), (int) mb.getSize());
            break;
        }
    }
}
} // namespace

TEST (Undo, TransactionStateMachine)
{
    struct Case
    {
        const char* name;
        std::vector<Op> ops;
        int steps;
        bool canRedo;
        const char* undoName;
        const char* display;
        float amount, threshold;
    };
    const Case cases[] = {
        { "begin, no change, commit", { begin ("Edit Vell"), commit() }, 0, false, "", "Presets", 50, -30 },
        { "commit without begin", { set (Param::amount, 60), commit() }, 0, false, "", "Presets *", 60, -30 },
        { "one drag", { begin ("Edit Vell"), set (Param::amount, 60), commit() },
          1, false, "Edit Vell", "Presets *", 60, -30 },
        { "nested begin keeps the first name",
          { begin ("Edit Vell"), begin ("Toggle Power"), set (Param::amount, 60), commit(), commit() },
          1, false, "Edit Vell", "Presets *", 60, -30 },
        { "undo restores values and the mark",
          { begin ("Edit Vell"), set (Param::amount, 60), commit(), undo() }, 0, true, "", "Presets", 50, -30 },
        { "redo brings the edit and its mark back",
          { begin ("Edit Vell"), set (Param::amount, 60), commit(), undo(), redo() },
          1, false, "Edit Vell", "Presets *", 60, -30 },
        { "a new step discards redo",
          { begin ("Edit Vell"), set (Param::amount, 60), commit(), undo(), begin ("Edit Vell Value"),
            set (Param::amount, 70), commit() },
          1, false, "Edit Vell Value", "Presets *", 70, -30 },
        { "undo drops an open transaction",
          { begin ("Edit Vell"), set (Param::amount, 60), commit(), begin ("Edit Vell"), set (Param::amount, 80),
            undo(), commit() },
          0, true, "", "Presets", 50, -30 },
        { "automation marks but records nothing", { set (Param::threshold, -40) }, 0, false, "", "Presets *", 50, -40 },
        { "undo also reverts later automation",
          { begin ("Edit Vell"), set (Param::amount, 60), commit(), set (Param::threshold, -40), undo() },
          0, true, "", "Presets", 50, -30 },
        { "undo and redo with nothing to do", { undo(), redo() }, 0, false, "", "Presets", 50, -30 },
        { "host restore clears history and the open transaction",
          { begin ("Edit Vell"), set (Param::amount, 60), commit(), begin ("Edit Vell"), set (Param::amount, 70),
            hostRestore(), commit() },
          0, false, "", "From Host", 50, -30 },
        { "no transaction while an undo or redo runs",
          { duringUndoRedo(), begin ("Edit Vell"), set (Param::amount, 60), commit() },
          0, false, "", "Presets *", 60, -30 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ProcessorHarness h;

        for (const auto& op : c.ops)
            run (h, op);

        const auto& p = *h.processor;
        EXPECT_EQ (p.undoManager.getUndoDescriptions().size(), c.steps);
        EXPECT_EQ (p.canUndo(), c.steps > 0);
        EXPECT_EQ (p.canRedo(), c.canRedo);
        EXPECT_EQ (p.undoManager.getUndoDescription(), c.undoName);
        EXPECT_EQ (p.getCurrentPresetDisplayName(), c.display);
        EXPECT_FLOAT_EQ (h.get (Param::amount), c.amount);
        EXPECT_FLOAT_EQ (h.get (Param::threshold), c.threshold);
    }
}

TEST (Undo, StepsCarryThePresetRecordAndWindowSize)
{
    ProcessorHarness h;
    auto& p = *h.processor;
    p.setCurrentPresetInfo ("Mine", true, false);

    p.beginUndoTransaction ("Edit Vell");
    h.set (Param::focus, 80);
    p.savedWindowWidth = 1200;
    p.savedWindowSizeSet = true;
    p.setCurrentPresetInfo ("Other", false, true);
    p.commitUndoTransactionIfNeeded();

    p.performUndo();
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Mine");
    EXPECT_TRUE (p.isCurrentPresetUser());
    EXPECT_FALSE (p.savedWindowSizeSet);
    EXPECT_FLOAT_EQ (h.get (Param::focus), 50);

    p.performRedo();
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Other *");
    EXPECT_FALSE (p.isCurrentPresetUser());
    EXPECT_TRUE (p.savedWindowSizeSet);
    EXPECT_FLOAT_EQ (p.savedWindowWidth, 1200);
    EXPECT_FLOAT_EQ (h.get (Param::focus), 80);
}

TEST (Undo, RecordingAStepLeavesTheSignalPathAlone)
{
    // The change has already happened when a step is recorded; restoring it again
    // would reset the signal path and fade the effect in at every knob release.
    ProcessorHarness h;
    auto& p = *h.processor;
    p.gainReductionDb = 4.0f;

    p.beginUndoTransaction ("Edit Vell");
    h.set (Param::range, 20);
    p.commitUndoTransactionIfNeeded();

    ASSERT_TRUE (p.canUndo());
    EXPECT_EQ (p.gainReductionDb.load(), 4.0f);
}

TEST (Undo, ActionRestoresAfterWhenTheStateHasMovedOn)
{
    ProcessorHarness h;
    auto& p = *h.processor;
    const auto before = p.createFullState();
    h.set (Param::mix, 30);
    const auto after = p.createFullState();
    h.set (Param::mix, 90);

    p.undoManager.perform (new FullStateUndoAction (p, before, after), "Edit Vell");
    EXPECT_FLOAT_EQ (h.get (Param::mix), 30);

    p.performUndo();
    EXPECT_FLOAT_EQ (h.get (Param::mix), 100);
}

TEST (Undo, OldestStepIsDroppedBeyondTheLimit)
{
    ProcessorHarness h;
    auto& p = *h.processor;

    for (int i = 0; i < 30001; ++i)
    {
        p.beginUndoTransaction ("Edit Vell " + juce::String (i));
        h.set (Param::amount, (float) (i % 2 == 0 ? 10 : 20));
        p.commitUndoTransactionIfNeeded();
    }

    const auto names = p.undoManager.getUndoDescriptions();
    EXPECT_EQ (names.size(), 30000);
    EXPECT_EQ (names[0], "Edit Vell 30000");
    EXPECT_EQ (names[names.size() - 1], "Edit Vell 1");
    EXPECT_TRUE (p.canUndo());
}
