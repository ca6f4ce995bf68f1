#include "face/VellUndoableToggleButton.h"

#include "plugin/PluginProcessor.h"

VellUndoableToggleButton::VellUndoableToggleButton (ZeriZaRirodAudioProcessor& p, const juce::String& name)
    : processor (p), undoName (name)
{
}

void VellUndoableToggleButton::mouseDown (const juce::MouseEvent& e)
{
    processor.beginUndoTransaction (undoName);
    transactionOpened = true;
    juce::ToggleButton::mouseDown (e);
}

void VellUndoableToggleButton::mouseUp (const juce::MouseEvent& e)
{
    // The click flips the state here, so the step is committed only afterwards.
    juce::ToggleButton::mouseUp (e);

    if (transactionOpened)
    {
        transactionOpened = false;
        processor.commitUndoTransactionIfNeeded();
    }
}
