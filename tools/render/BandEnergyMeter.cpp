#include "tools/render/BandEnergyMeter.h"

#include <cmath>
#include <limits>

BandEnergyMeter::BandEnergyMeter (double sampleRate, int numChannels, float bandLowHz, float bandHighHz)
{
    const auto limit = (float) (0.45 * sampleRate);
    bandHasTop = bandHighHz < limit;
    low = juce::jmin (bandLowHz, limit);
    high = bandHasTop ? bandHighHz : (float) (0.5 * sampleRate);

    const juce::dsp::ProcessSpec processSpec{ sampleRate, 1, (juce::uint32) numChannels };
    const auto setUp = [&] (auto& filter, auto type, float cutoff)
    {
        filter.setType (type);
        filter.setCutoffFrequency (juce::jmin (cutoff, limit));
        filter.prepare (processSpec);
    };

    using Type = juce::dsp::LinkwitzRileyFilterType;
    setUp (below, Type::lowpass, bandLowHz);
    setUp (bandHighPass, Type::highpass, bandLowHz);
    setUp (bandLowPass, Type::lowpass, bandHighHz);
}

void BandEnergyMeter::add (const juce::AudioBuffer<float>& audio, int numSamples)
{
    for (int ch = 0; ch < audio.getNumChannels(); ++ch)
    {
        const auto* x = audio.getReadPointer (ch);

        for (int i = 0; i < numSamples; ++i)
        {
            const auto underBand = below.processSample (ch, x[i]);
            auto band = bandHighPass.processSample (ch, x[i]);
            if (bandHasTop)
                band = bandLowPass.processSample (ch, band);

            belowSum += (double) underBand * underBand;
            bandSum += (double) band * band;
        }
    }

    count += (juce::int64) numSamples * audio.getNumChannels();
}

double BandEnergyMeter::toDb (double sum) const
{
    if (count == 0 || sum <= 0)
        return -std::numeric_limits<double>::infinity();

    return 10.0 * std::log10 (sum / (double) count);
}
