#include "presets/FullStateUndoAction.h"

#include "plugin/PluginProcessor.h"

FullStateUndoAction::FullStateUndoAction (ZeriZaRirodAudioProcessor& p, const juce::ValueTree& beforeState,
                                          const juce::ValueTree& afterState)
    : processor (p), before (beforeState.createCopy()), after (afterState.createCopy())
{
}

bool FullStateUndoAction::perform()
{
    if (std::exchange (firstPerform, false) && after.isValid() && processor.createFullState().isEquivalentTo (after))
        return true;

    return restore (after);
}

bool FullStateUndoAction::undo() { return restore (before); }

bool FullStateUndoAction::restore (const juce::ValueTree& state)
{
    if (! state.isValid())
        return false;

    const bool wasSuppressed = processor.suppressModified.exchange (true);
    processor.restoreFullState (state, true);
    processor.suppressModified = wasSuppressed;
    return true;
}
