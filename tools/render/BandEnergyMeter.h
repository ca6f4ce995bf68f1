#pragma once

#include <juce_dsp/juce_dsp.h>

/** Measures the energy of a signal in the sibilance band and in everything
    below it, with 4th-order Linkwitz-Riley splits at the band edges, so the
    same meter on the input and the output shows what a setting took away. */
class BandEnergyMeter
{
public:
    /** Band edges above the Nyquist frequency are pulled below it. */
    BandEnergyMeter (double sampleRate, int numChannels, float bandLowHz, float bandHighHz);

    void add (const juce::AudioBuffer<float>& audio, int numSamples);

    /** The edges measured, after any pull below the Nyquist frequency. */
    float lowHz() const { return low; }
    float highHz() const { return high; }

    /** Mean power as dB relative to full scale (a full-scale square wave reads
        0 dB); minus infinity for digital silence. */
    double bandDb() const { return toDb (bandSum); }
    double belowDb() const { return toDb (belowSum); }

private:
    double toDb (double sum) const;

    juce::dsp::LinkwitzRileyFilter<float> below, bandHighPass, bandLowPass;
    float low, high;
    bool bandHasTop;
    double bandSum = 0, belowSum = 0;
    juce::int64 count = 0;
};
