#pragma once

#include <juce_data_structures/juce_data_structures.h>

class ZeriZaRirodAudioProcessor;

/** One history step: the processor's whole state before and after an action.
    Undo and redo put the whole snapshot back, preset record included. */
class FullStateUndoAction : public juce::UndoableAction
{
public:
    FullStateUndoAction (ZeriZaRirodAudioProcessor& processor, const juce::ValueTree& before,
                         const juce::ValueTree& after);

    bool perform() override;
    bool undo() override;
    int getSizeInUnits() override { return 1; }

private:
    bool restore (const juce::ValueTree& state);

    ZeriZaRirodAudioProcessor& processor;
    const juce::ValueTree before, after;

    // The undo manager performs every action once while recording it; by then
    // the change has already happened.
    bool firstPerform = true;
};
