#include "tools/render/ReductionMeter.h"

ReductionMeter::ReductionMeter (ZeriZaRirodAudioProcessor& p, int numChannels, int chunk)
    : processor (p), pending (numChannels, chunk)
{
}

void ReductionMeter::add (const juce::AudioBuffer<float>& audio, int numSamples, ReductionPlot& plot)
{
    for (int done = 0; done < numSamples;)
    {
        const int n = juce::jmin (numSamples - done, pending.getNumSamples() - filled);
        for (int ch = 0; ch < pending.getNumChannels(); ++ch)
            pending.copyFrom (ch, filled, audio, ch, done, n);

        filled += n;
        done += n;
        if (filled == pending.getNumSamples())
            flush (plot);
    }
}

void ReductionMeter::flush (ReductionPlot& plot)
{
    if (filled == 0)
        return;

    juce::AudioBuffer<float> chunk (pending.getArrayOfWritePointers(), pending.getNumChannels(), filled);
    juce::MidiBuffer midi;
    processor.processBlock (chunk, midi);

    const float db = processor.gainReductionDb.load();
    peak = juce::jmax (peak, db);
    weightedSum += (double) db * filled;
    plot.addReduction (db, position, filled);
    position += filled;
    filled = 0;
}
