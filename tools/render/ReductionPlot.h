#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_graphics/juce_graphics.h>

#include <vector>

/** Collects, column by column, the input and output waveforms and the gain
    reduction of a render, and draws them as one picture: the waveforms on
    top, the reduction over time beneath, on a shared time axis. */
class ReductionPlot
{
public:
    ReductionPlot (juce::int64 totalSamples, double sampleRate);

    void addInput (const juce::AudioBuffer<float>& audio, int numSamples, juce::int64 startSample);
    void addOutput (const juce::AudioBuffer<float>& audio, int numSamples, juce::int64 startSample);
    void addReduction (float db, juce::int64 startSample, int numSamples);

    /** @param fullScaleDb  the depth of the reduction axis (the Range setting) */
    juce::Image draw (const juce::String& title, float fullScaleDb) const;

    static constexpr int width = 1200, height = 620;

private:
    struct Column
    {
        float min = 0, max = 0;
    };

    void add (std::vector<Column>& columns, const juce::AudioBuffer<float>& audio, int numSamples,
              juce::int64 startSample);
    int columnOf (juce::int64 sample) const;

    juce::int64 totalSamples;
    double sampleRate;
    std::vector<Column> input, output;
    std::vector<float> reduction;
};
