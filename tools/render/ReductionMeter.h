#pragma once

#include "plugin/PluginProcessor.h"
#include "tools/render/ReductionPlot.h"

/** Feeds a second processor instance in chunks on a fixed grid of the file,
    whatever the host block size, and collects its gain reduction readings, so
    the reduction figures do not depend on the block size. */
class ReductionMeter
{
public:
    ReductionMeter (ZeriZaRirodAudioProcessor& meterInstance, int numChannels, int chunkSamples);

    void add (const juce::AudioBuffer<float>& audio, int numSamples, ReductionPlot& plot);

    /** Processes what is left of the last chunk; call once at the end. */
    void flush (ReductionPlot& plot);

    float peakDb() const { return peak; }
    float meanDb() const { return position > 0 ? (float) (weightedSum / (double) position) : 0.0f; }

private:
    ZeriZaRirodAudioProcessor& processor;
    juce::AudioBuffer<float> pending;
    int filled = 0;
    juce::int64 position = 0;
    float peak = 0.0f;
    double weightedSum = 0.0;
};
