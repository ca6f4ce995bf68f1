#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class ZeriZaRirodAudioProcessor;

/** A toggle whose mouse click is one named undo step. A press released outside
    changes nothing, so its transaction records nothing. */
class VellUndoableToggleButton : public juce::ToggleButton
{
public:
    VellUndoableToggleButton (ZeriZaRirodAudioProcessor& processor, const juce::String& undoName);

    void mouseDown (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;

private:
    ZeriZaRirodAudioProcessor& processor;
    juce::String undoName;
    bool transactionOpened = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VellUndoableToggleButton)
};
