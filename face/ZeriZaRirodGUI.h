#pragma once

#include "face/VellKnobLookAndFeel.h"
#include "face/VellReductionMeter.h"
#include "face/VellUndoableToggleButton.h"
#include "plugin/PluginProcessor.h"

#include <array>
#include <memory>

/** The main face: eight knobs with title and editable value labels, the Power
    and Monitor toggles and the reduction meter, all bound to the processor's
    parameters; knob and toggle gestures and typed values are undo steps. */
class ZeriZaRirodGUI : public juce::Component, public juce::Timer, public juce::Label::Listener
{
public:
    static constexpr int numKnobs = 8;

    /** The parameters of the knobs, in the face's order. */
    static constexpr std::array<Param, numKnobs> knobParams{ Param::amount,  Param::threshold, Param::attack,
                                                             Param::release, Param::frequency, Param::focus,
                                                             Param::range,   Param::mix };

    explicit ZeriZaRirodGUI (ZeriZaRirodAudioProcessor&);
    ~ZeriZaRirodGUI() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void timerCallback() override;
    void labelTextChanged (juce::Label*) override;
    void editorShown (juce::Label*, juce::TextEditor&) override;

    juce::Path createMainFacePath (juce::Rectangle<float> r) const;

    void updateValueLabels();
    void updateValueLabelVisibility();

    juce::Slider& getKnob (Param p) { return knobs[indexOf (p)]; }
    juce::Label& getTitleLabel (Param p) { return titleLabels[indexOf (p)]; }
    juce::Label& getValueLabel (Param p) { return valueLabels[indexOf (p)]; }
    juce::ToggleButton& getPowerToggle() { return powerToggle; }
    juce::ToggleButton& getMonitorToggle() { return monitorToggle; }
    VellReductionMeter& getMeter() { return *meter; }

private:
    void configureSlider (juce::Slider&);
    void setupEditableValueLabel (juce::Label&);
    void applyValueLabelToSlider (juce::Label&, juce::Slider&);
    void setLabelFont (juce::Label&, float height, float factor, juce::Colour colour);
    static size_t indexOf (Param);

    ZeriZaRirodAudioProcessor& processor;
    std::unique_ptr<VellKnobLookAndFeel> knobLook;
    std::unique_ptr<VellReductionMeter> meter;
    std::shared_ptr<juce::Drawable> logo;

    std::array<juce::Slider, numKnobs> knobs;
    std::array<juce::Label, numKnobs> titleLabels;
    std::array<juce::Label, numKnobs> valueLabels;
    VellUndoableToggleButton powerToggle{ processor, "Toggle Power" };
    VellUndoableToggleButton monitorToggle{ processor, "Toggle Monitor" };

    std::array<std::unique_ptr<juce::AudioProcessorValueTreeState::SliderAttachment>, numKnobs> knobAttachments;
    std::unique_ptr<juce::AudioProcessorValueTreeState::ButtonAttachment> powerAttachment, monitorAttachment;

    bool lastPowerState = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZeriZaRirodGUI)
};
