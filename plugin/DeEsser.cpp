#include "plugin/DeEsser.h"

#include <cmath>

namespace
{
constexpr float twoPi = 6.283185307179586f;

inline float pow10f (float x) noexcept { return std::pow (10.0f, x); }

inline float limitCutoff (float fc) noexcept { return juce::jlimit (20.0f, 20000.0f, fc); }

inline float highPassCoefficient (float fc, float fs) noexcept
{
    const float rc = 1.0f / (twoPi * limitCutoff (fc));
    return juce::jlimit (0.0005f, 0.9995f, rc / (rc + 1.0f / fs));
}

inline float lowPassCoefficient (float fc, float fs) noexcept
{
    return juce::jlimit (0.0005f, 0.99f, 1.0f - std::exp (-twoPi * limitCutoff (fc) / fs));
}
} // namespace

void DeEsser::prepare (double sampleRate)
{
    fs = (float) sampleRate;

    for (int i = 0; i < numSmoothers; ++i)
        smoothers[(size_t) i].reset (sampleRate, i == powerS ? 0.12 : 0.02);
}

void DeEsser::reset (const Targets& t)
{
    memory = {};
    envelope = 0.0f;

    const float values[] = { t.amount, t.threshold, t.attack, t.release, t.frequency, t.focus, t.range, t.mix };
    for (int i = 0; i < mixS + 1; ++i)
        smoothers[(size_t) i].setCurrentAndTargetValue (values[i]);

    smoothers[powerS].setCurrentAndTargetValue (0.0f);
    smoothers[powerS].setTargetValue (t.power);
    smoothers[monitorS].setCurrentAndTargetValue (t.monitor);
}

void DeEsser::setTargets (const Targets& t) noexcept
{
    const float values[] = { t.amount, t.threshold, t.attack, t.release, t.frequency,
                             t.focus,  t.range,     t.mix,    t.power,   t.monitor };
    for (int i = 0; i < numSmoothers; ++i)
        smoothers[(size_t) i].setTargetValue (values[i]);
}

DeEsser::Bands DeEsser::bandEdges (float F, float f) noexcept
{
    // Each limit tests its lower bound first.
    const float r = std::exp2 (0.5f * (2.6f - 2.15f * f));

    float bandLow = F / r;
    bandLow = bandLow < 1500.0f ? 1500.0f : std::min (bandLow, 15000.0f);

    float bandHigh = F * r;
    bandHigh = bandHigh < bandLow + 250.0f ? bandLow + 250.0f : std::min (bandHigh, 18000.0f);

    float bandMid = bandLow + (0.5f + 0.14f * f) * (bandHigh - bandLow);
    bandMid = bandMid < bandLow + 120.0f ? bandLow + 120.0f
                                         : std::min (bandMid, std::max (bandHigh - 350.0f, bandLow + 170.0f));

    float bandTop = bandHigh;
    bandTop = bandTop < bandMid + 500.0f ? bandMid + 500.0f : std::min (bandTop, 18500.0f);

    return { bandLow, bandHigh, bandMid, bandTop };
}

float DeEsser::process (float* const* channels, int numChannels, int numSamples, const Targets& targets) noexcept
{
    setTargets (targets);

    const int nCh = juce::jlimit (0, 2, numChannels);
    float peakReduction = 0.0f;

    for (int n = 0; n < numSamples; ++n)
    {
        const float a = 0.01f * smoothers[amountS].getNextValue();
        const float T = smoothers[thresholdS].getNextValue();
        const float ta = smoothers[attackS].getNextValue();
        const float tr = smoothers[releaseS].getNextValue();
        const float F = smoothers[frequencyS].getNextValue();
        const float f = 0.01f * smoothers[focusS].getNextValue();
        const float Rg = smoothers[rangeS].getNextValue();
        const float m = 0.01f * smoothers[mixS].getNextValue();
        const float p = smoothers[powerS].getNextValue();
        const float L = smoothers[monitorS].getNextValue();

        const auto bands = bandEdges (F, f);

        const float hpA = highPassCoefficient (bands.low, fs);
        const float lpA = lowPassCoefficient (bands.high, fs);
        const float hpB = highPassCoefficient (bands.mid, fs);
        const float lpB = lowPassCoefficient (bands.top, fs);
        const float ca = std::exp (-1.0f / (std::max (0.001f * ta, 0.00005f) * fs));
        const float cr = std::exp (-1.0f / (std::max (0.001f * tr, 0.001f) * fs));

        float bandA[2] = {};
        float sumA = 0.0f, sumB = 0.0f;

        for (int c = 0; c < nCh; ++c)
        {
            auto& mem = memory[(size_t) c];
            const float x = channels[c][n];

            const float hA = hpA * (mem.hpAOut + x - mem.hpAIn);
            mem.hpAOut = hA;
            mem.hpAIn = x;
            mem.lpA = mem.lpA + lpA * (hA - mem.lpA);

            const float hB = hpB * (mem.hpBOut + x - mem.hpBIn);
            mem.hpBOut = hB;
            mem.hpBIn = x;
            mem.lpB = mem.lpB + lpB * (hB - mem.lpB);

            bandA[c] = mem.lpA;
            sumA += std::abs (mem.lpA);
            sumB += std::abs (mem.lpB);
        }

        const float DA = nCh == 2 ? sumA / 2.0f : sumA;
        const float DB = nCh == 2 ? sumB / 2.0f : sumB;

        const float d = (1.35f + 1.6f * a) * (0.45f * DA + (1.7f + 1.1f * a) * DB);
        const float c = d > envelope ? ca : cr;
        envelope = envelope * c + d * (1.0f - c);

        float t = T > -100.0f ? pow10f (0.05f * T) : 0.0f;
        t = std::max (t, 0.0001f);

        const float over = envelope / t - 1.0f;
        float red = std::pow (std::max (over, 0.0f), 0.52f) * (2.8f + 57.2f * a);
        red = red < 0.0f ? 0.0f : std::min (red, Rg);

        const float g = red < 100.0f ? pow10f (-0.05f * red) : 0.0f;
        peakReduction = std::max (peakReduction, red);

        for (int ch = 0; ch < nCh; ++ch)
        {
            const float x = channels[ch][n];
            const float A = bandA[ch];
            const float processed = x - A + g * A;
            const float removed = 2.4f * (1.0f - g) * A;
            const float wet = processed * (1.0f - L) + removed * L;
            const float mixed = x * (1.0f - m) + wet * m;
            channels[ch][n] = x * (1.0f - p) + mixed * p;
        }
    }

    return peakReduction;
}
