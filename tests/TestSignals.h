#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>

namespace testsignals
{
/** A voice-like stereo signal: a voiced 140 Hz tone with harmonics up to about
    1.5 kHz, interrupted every 0.5 s by a 120 ms burst of 4-10 kHz noise. */
inline juce::AudioBuffer<float> speechLike (double sampleRate, double seconds, int numChannels = 2, int seed = 1)
{
    const int n = (int) (sampleRate * seconds);
    juce::AudioBuffer<float> out (numChannels, n);
    juce::Random rng (seed);

    // A crude band-pass for the noise: difference of two one-pole low-passes.
    float lo1 = 0, lo2 = 0;
    const float k1 = 1.0f - std::exp (-2.0f * juce::MathConstants<float>::pi * 10000.0f / (float) sampleRate);
    const float k2 = 1.0f - std::exp (-2.0f * juce::MathConstants<float>::pi * 4000.0f / (float) sampleRate);

    for (int i = 0; i < n; ++i)
    {
        const double t = i / sampleRate;
        double voiced = 0;
        for (int h = 1; h <= 10; ++h)
            voiced += std::sin (2.0 * juce::MathConstants<double>::pi * 140.0 * h * t) * 0.12 / h;

        const float white = rng.nextFloat() * 2.0f - 1.0f;
        lo1 += k1 * (white - lo1);
        lo2 += k2 * (white - lo2);
        const bool burst = std::fmod (t, 0.5) > 0.3 && std::fmod (t, 0.5) < 0.42;
        const float hiss = burst ? 1.2f * (lo1 - lo2) : 0.0f;

        for (int c = 0; c < numChannels; ++c)
            out.setSample (c, i, (float) voiced * (c == 0 ? 1.0f : 0.9f) + hiss * (c == 0 ? 0.9f : 1.0f));
    }
    return out;
}
} // namespace testsignals
