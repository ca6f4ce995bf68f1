#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class ZeriZaRirodAudioProcessor;

/** Draws the face's rotary knobs (the "hero" Amount knob larger and finer) and
    its "power" and "monitor" toggles. The blue value arc and the Monitor light
    follow Power, read from the processor at every paint. */
class VellKnobLookAndFeel : public juce::LookAndFeel_V4
{
public:
    explicit VellKnobLookAndFeel (ZeriZaRirodAudioProcessor& processor);

    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosProportional,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;

    void drawToggleButton (juce::Graphics&, juce::ToggleButton&, bool shouldDrawButtonAsHighlighted,
                           bool shouldDrawButtonAsDown) override;

private:
    void drawPowerToggle (juce::Graphics&, juce::ToggleButton&, bool highlighted);
    void drawMonitorToggle (juce::Graphics&, juce::ToggleButton&, bool highlighted);

    ZeriZaRirodAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VellKnobLookAndFeel)
};
