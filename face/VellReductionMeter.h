#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class ZeriZaRirodAudioProcessor;

/** A row of 34 segments showing the last audio block's de-essing reduction,
    0 to 24 dB, read straight from the processor at every paint (no ballistics). */
class VellReductionMeter : public juce::Component
{
public:
    static constexpr int numSegments = 34;
    static constexpr float fullScaleDb = 24.0f;

    explicit VellReductionMeter (ZeriZaRirodAudioProcessor& processor);

    void paint (juce::Graphics&) override;

    /** How many segments a reduction lights while Power is on. */
    static int litSegmentsFor (float reductionDb);

private:
    ZeriZaRirodAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VellReductionMeter)
};
