#include "plugin/DeEsser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// Every value below is computed with exactly the operations, in exactly the
// order, of the straightforward per-sample formulas; the speed comes only
// from not computing what cannot have changed and from keeping the serial
// recurrences (filters, envelope) apart from the work that can run in
// parallel over a stretch of samples.

namespace
{
constexpr float twoPi = 6.283185307179586f;

inline float limit (float lo, float hi, float v) noexcept { return v < lo ? lo : (hi < v ? hi : v); }

inline float pow10f (float x) noexcept { return std::pow (10.0f, x); }

inline float limitCutoff (float fc) noexcept { return limit (20.0f, 20000.0f, fc); }

inline float highPassCoefficient (float fc, float fs) noexcept
{
    const float rc = 1.0f / (twoPi * limitCutoff (fc));
    return limit (0.0005f, 0.9995f, rc / (rc + 1.0f / fs));
}

inline float lowPassCoefficient (float fc, float fs) noexcept
{
    return limit (0.0005f, 0.99f, 1.0f - std::exp (-twoPi * limitCutoff (fc) / fs));
}

/** Envelope coefficient for a time in ms, with a floor in seconds. */
inline float envelopeCoefficient (float ms, float floorSeconds, float fs) noexcept
{
    return std::exp (-1.0f / (std::max (0.001f * ms, floorSeconds) * fs));
}

/** Threshold level (linear) for a threshold in dB. */
inline float thresholdToLevel (float dB) noexcept
{
    const float t = dB > -100.0f ? pow10f (0.05f * dB) : 0.0f;
    return std::max (t, 0.0001f);
}

/** Reduction in dB for envelope env over threshold level t; a = Amount / 100. */
inline float reductionDb (float env, float t, float a, float rangeDb) noexcept
{
    const float over = env / t - 1.0f;
    const float red = std::pow (std::max (over, 0.0f), 0.52f) * (2.8f + 57.2f * a);
    return red < 0.0f ? 0.0f : std::min (red, rangeDb);
}

inline float gainFor (float reductionDb) noexcept
{
    return reductionDb < 100.0f ? pow10f (-0.05f * reductionDb) : 0.0f;
}

struct BandCoefficients
{
    float hpA, lpA, hpB, lpB;
};

/** Band edges (each limit tests its lower bound first) and their filter coefficients. */
BandCoefficients bandCoefficients (float F, float focusPercent, float fs) noexcept
{
    const float f = 0.01f * focusPercent;
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

    return { highPassCoefficient (bandLow, fs), lowPassCoefficient (bandHigh, fs), highPassCoefficient (bandMid, fs),
             lowPassCoefficient (bandTop, fs) };
}

inline bool isFinite (float x) noexcept { return std::abs (x) <= 3.402823466e38f; }

/** True when no sample is infinite or NaN; cheap enough to run on every stretch. */
bool allFinite (float* const* channels, int numChannels, int offset, int numSamples) noexcept
{
    std::uint32_t nonFinite = 0;

    for (int c = 0; c < numChannels; ++c)
    {
        const float* x = channels[c] + offset;
        for (int i = 0; i < numSamples; ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, x + i, sizeof (bits));
            nonFinite |= (bits & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
        }
    }
    return nonFinite == 0;
}
} // namespace

void DeEsser::prepare (double sampleRate)
{
    fs = (float) sampleRate;

    for (int i = 0; i < numSmoothers; ++i)
        smoothers[(size_t) i].setRampLength ((int) std::floor ((i == powerS ? 0.12 : 0.02) * sampleRate));

    // Cached coefficients depend on the rate.
    bands = {};
    attackCoef = releaseCoef = thresholdLevel = {};
}

void DeEsser::reset (const Targets& t)
{
    memory = {};
    envelope = 0.0f;

    const float values[] = { t.amount, t.threshold, t.attack, t.release, t.frequency, t.focus, t.range, t.mix };
    for (int i = 0; i < mixS + 1; ++i)
        smoothers[(size_t) i].snapTo (values[i]);

    smoothers[powerS].snapTo (0.0f);
    smoothers[powerS].setTarget (t.power);
    smoothers[monitorS].snapTo (t.monitor);
}

float DeEsser::process (float* const* channels, int numChannels, int numSamples, const Targets& t) noexcept
{
    const float values[] = { t.amount, t.threshold, t.attack, t.release, t.frequency,
                             t.focus,  t.range,     t.mix,    t.power,   t.monitor };
    for (int i = 0; i < numSmoothers; ++i)
        smoothers[(size_t) i].setTarget (values[i]);

    const int nCh = channels == nullptr ? 0 : std::clamp (numChannels, 0, 2);
    float peak = 0.0f;

    for (int offset = 0; offset < numSamples; offset += maxChunk)
    {
        const int n = std::min (maxChunk, numSamples - offset);
        const auto run = [&] (int start, int count) {
            switch (nCh)
            {
                case 2: return processChunk<2> (channels, start, count);
                case 1: return processChunk<1> (channels, start, count);
                default: return processChunk<0> (channels, start, count);
            }
        };

        if (allFinite (channels, nCh, offset, n))
        {
            peak = std::max (peak, run (offset, n));
        }
        else
        {
            // One sample at a time, so a bad sample's state is cleared before the next one.
            for (int i = 0; i < n; ++i)
                peak = std::max (peak, run (offset + i, 1));
        }
    }

    return peak;
}

template <int numChannels>
float DeEsser::processChunk (float* const* channels, int offset, int n) noexcept
{
    alignas (32) float v[numSmoothers][maxChunk];
    bool moving[numSmoothers];

    for (int i = 0; i < numSmoothers; ++i)
        moving[i] = smoothers[(size_t) i].advance (v[i], n);

    // Band and envelope coefficients: per sample while their inputs ramp,
    // otherwise from a cache refreshed only when the inputs moved.
    alignas (32) float hpA[maxChunk], lpA[maxChunk], hpB[maxChunk], lpB[maxChunk], ca[maxChunk], cr[maxChunk];

    if (moving[frequencyS] || moving[focusS])
    {
        for (int j = 0; j < n; ++j)
        {
            const auto b = bandCoefficients (v[frequencyS][j], v[focusS][j], fs);
            hpA[j] = b.hpA;
            lpA[j] = b.lpA;
            hpB[j] = b.hpB;
            lpB[j] = b.lpB;
        }
    }
    else
    {
        const float F = v[frequencyS][0], focus = v[focusS][0];
        if (! (F == bands.frequency && focus == bands.focus))
        {
            const auto b = bandCoefficients (F, focus, fs);
            bands = { F, focus, b.hpA, b.lpA, b.hpB, b.lpB };
        }
        std::fill (hpA, hpA + n, bands.hpA);
        std::fill (lpA, lpA + n, bands.lpA);
        std::fill (hpB, hpB + n, bands.hpB);
        std::fill (lpB, lpB + n, bands.lpB);
    }

    const auto envelopeCoefficients = [&] (Smoother s, float floorSeconds, CachedValue& cache, float* dest) {
        if (moving[s])
        {
            for (int j = 0; j < n; ++j)
                dest[j] = envelopeCoefficient (v[s][j], floorSeconds, fs);
            return;
        }
        if (! (v[s][0] == cache.input))
            cache = { v[s][0], envelopeCoefficient (v[s][0], floorSeconds, fs) };
        std::fill (dest, dest + n, cache.value);
    };
    envelopeCoefficients (attackS, 0.00005f, attackCoef, ca);
    envelopeCoefficients (releaseS, 0.001f, releaseCoef, cr);

    // The serial part: filters and the linked envelope.
    alignas (32) float bandA[2][maxChunk], env[maxChunk];
    ChannelMemory mem[2] = { memory[0], memory[1] };
    float e = envelope;

    for (int j = 0; j < n; ++j)
    {
        float A[2] = {}, B[2] = {};

        for (int c = 0; c < numChannels; ++c)
        {
            auto& m = mem[c];
            const float x = channels[c][offset + j];

            const float hA = hpA[j] * (m.hpAOut + x - m.hpAIn);
            m.hpAOut = hA;
            m.hpAIn = x;
            m.lpA = m.lpA + lpA[j] * (hA - m.lpA);

            const float hB = hpB[j] * (m.hpBOut + x - m.hpBIn);
            m.hpBOut = hB;
            m.hpBIn = x;
            m.lpB = m.lpB + lpB[j] * (hB - m.lpB);

            A[c] = bandA[c][j] = m.lpA;
            B[c] = m.lpB;
        }

        float DA = 0.0f, DB = 0.0f;
        if constexpr (numChannels == 1)
        {
            DA = std::abs (A[0]);
            DB = std::abs (B[0]);
        }
        else if constexpr (numChannels == 2)
        {
            DA = (std::abs (A[0]) + std::abs (A[1])) / 2.0f;
            DB = (std::abs (B[0]) + std::abs (B[1])) / 2.0f;
        }

        const float a = 0.01f * v[amountS][j];
        const float d = (1.35f + 1.6f * a) * (0.45f * DA + (1.7f + 1.1f * a) * DB);
        const float c = d > e ? ca[j] : cr[j];
        e = e * c + d * (1.0f - c);
        env[j] = e;
    }

    memory[0] = mem[0];
    memory[1] = mem[1];
    envelope = e;

    // Gain computer. Below the threshold level the reduction is exactly 0
    // (env / t <= 1), so the power functions only run above it. While the
    // threshold ramps, its lowest level over the stretch (with a margin for
    // rounding) serves as the test.
    alignas (32) float gain[maxChunk];
    float peak = 0.0f;
    float tFloor;

    if (moving[thresholdS])
    {
        tFloor = thresholdToLevel (*std::min_element (v[thresholdS], v[thresholdS] + n)) * 0.999f;
    }
    else
    {
        if (! (v[thresholdS][0] == thresholdLevel.input))
            thresholdLevel = { v[thresholdS][0], thresholdToLevel (v[thresholdS][0]) };
        tFloor = thresholdLevel.value;
    }

    for (int j = 0; j < n; ++j)
    {
        float red;
        if (env[j] <= tFloor)
        {
            red = std::min (0.0f, v[rangeS][j]);
        }
        else
        {
            const float t = moving[thresholdS] ? thresholdToLevel (v[thresholdS][j]) : thresholdLevel.value;
            red = reductionDb (env[j], t, 0.01f * v[amountS][j], v[rangeS][j]);
        }

        gain[j] = red == 0.0f ? 1.0f : gainFor (red);
        peak = std::max (peak, red);
    }

    // Output: band A turned down, Listen Removed, Mix and Power, over the stretch.
    for (int c = 0; c < numChannels; ++c)
    {
        float* out = channels[c] + offset;
        const float* A = bandA[c];

        for (int j = 0; j < n; ++j)
        {
            const float x = out[j], g = gain[j];
            const float L = v[monitorS][j], m = 0.01f * v[mixS][j], p = v[powerS][j];
            const float processed = x - A[j] + g * A[j];
            const float removed = 2.4f * (1.0f - g) * A[j];
            const float wet = processed * (1.0f - L) + removed * L;
            const float mixed = x * (1.0f - m) + wet * m;
            out[j] = x * (1.0f - p) + mixed * p;
        }
    }

    clearNonFiniteState();
    return peak;
}

void DeEsser::clearNonFiniteState() noexcept
{
    for (auto& m : memory)
        for (float* s : { &m.hpAOut, &m.hpAIn, &m.lpA, &m.hpBOut, &m.hpBIn, &m.lpB })
            if (! isFinite (*s))
                *s = 0.0f;

    if (! isFinite (envelope))
        envelope = 0.0f;
}
