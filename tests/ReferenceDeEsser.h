#pragma once

// A deliberately literal, per-sample transcription of the de-esser's formulas,
// used to check the production signal path (which is free to be cleverer).
// Its exponentials and powers are the product's own correctly rounded ones,
// checked against the C library separately (VectorMathTests): the comparison
// is about the formulas and their order, not about the last bit of one C
// library's expf, which the gain curve would magnify at every threshold
// crossing.

#include "plugin/VectorMath.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

namespace reference
{
struct Ramp
{
    float current = 0, target = 0, step = 0;
    int steps = 0, countdown = 0;

    void snap (float v) { current = target = v; countdown = 0; }

    void setTarget (float v)
    {
        const float diff = std::abs (v - target);
        if (diff <= FLT_MIN || diff <= FLT_EPSILON * std::max (std::abs (v), std::abs (target)))
            return;
        if (steps <= 0)
        {
            snap (v);
            return;
        }
        target = v;
        countdown = steps;
        step = (target - current) / (float) countdown;
    }

    float next()
    {
        if (countdown <= 0)
            return target;
        --countdown;
        current = countdown == 0 ? target : current + step;
        return current;
    }
};

struct Settings
{
    float amount = 50, threshold = -30, attack = 0.32f, release = 48, frequency = 6500, focus = 50, range = 8,
          mix = 100;
    bool power = true, monitor = false;
};

struct Bands
{
    float low, high, mid, top;
};

inline Bands bandEdges (float F, float f)
{
    const float r = vecmath::exp2 (0.5f * (2.6f - 2.15f * f));
    Bands b;
    b.low = F / r;
    if (b.low < 1500) b.low = 1500;
    else if (b.low > 15000) b.low = 15000;
    b.high = F * r;
    if (b.high < b.low + 250) b.high = b.low + 250;
    else if (b.high > 18000) b.high = 18000;
    b.mid = b.low + (0.5f + 0.14f * f) * (b.high - b.low);
    if (b.mid < b.low + 120) b.mid = b.low + 120;
    else if (b.mid > std::max (b.high - 350, b.low + 170)) b.mid = std::max (b.high - 350, b.low + 170);
    b.top = b.high;
    if (b.top < b.mid + 500) b.top = b.mid + 500;
    else if (b.top > 18500) b.top = 18500;
    return b;
}

inline float hpCoef (float fc, float fs)
{
    const float c = std::min (std::max (fc, 20.0f), 20000.0f);
    const float rc = 1.0f / (2.0f * 3.14159265358979f * c);
    return std::min (std::max (rc / (rc + 1.0f / fs), 0.0005f), 0.9995f);
}

inline float lpCoef (float fc, float fs)
{
    const float c = std::min (std::max (fc, 20.0f), 20000.0f);
    return std::min (std::max (1.0f - vecmath::exp (-2.0f * 3.14159265358979f * c / fs), 0.0005f), 0.99f);
}

inline float envelopeCoef (float ms, float floorSeconds, float fs)
{
    return vecmath::exp (-1.0f / (std::max (0.001f * ms, floorSeconds) * fs));
}

/** Reduction in dB for an envelope level; a = Amount / 100. */
inline float reductionDb (float env, float thresholdDb, float a, float rangeDb)
{
    float t = thresholdDb > -100 ? vecmath::pow10 (0.05f * thresholdDb) : 0.0f;
    t = std::max (t, 0.0001f);
    float red = vecmath::pow (std::max (env / t - 1.0f, 0.0f), 0.52f) * (2.8f + 57.2f * a);
    return red < 0 ? 0 : std::min (red, rangeDb);
}

inline float gainFor (float red) { return red < 100 ? vecmath::pow10 (-0.05f * red) : 0.0f; }

class DeEsser
{
public:
    DeEsser (double sampleRate, const Settings& s) : fs ((float) sampleRate)
    {
        for (int i = 0; i < 10; ++i)
            ramps[i].steps = (int) std::floor ((i == 8 ? 0.12 : 0.02) * sampleRate);
        const float v[10] = { s.amount, s.threshold, s.attack, s.release, s.frequency, s.focus, s.range, s.mix };
        for (int i = 0; i < 8; ++i)
            ramps[i].snap (v[i]);
        ramps[8].snap (0);
        ramps[8].setTarget (s.power ? 1.0f : 0.0f);
        ramps[9].snap (s.monitor ? 1.0f : 0.0f);
    }

    /** Processes one block of numChannels (1 or 2) channels; returns its peak reduction. */
    float process (std::vector<float*> ch, int numSamples, const Settings& s)
    {
        const float v[10] = { s.amount, s.threshold, s.attack, s.release,          s.frequency,
                              s.focus,  s.range,     s.mix,    s.power ? 1.f : 0.f, s.monitor ? 1.f : 0.f };
        for (int i = 0; i < 10; ++i)
            ramps[i].setTarget (v[i]);

        float peak = 0;
        for (int n = 0; n < numSamples; ++n)
        {
            float k[10];
            for (int i = 0; i < 10; ++i)
                k[i] = ramps[i].next();
            const float a = 0.01f * k[0], T = k[1], ta = k[2], tr = k[3], F = k[4], f = 0.01f * k[5], Rg = k[6],
                        m = 0.01f * k[7], p = k[8], L = k[9];

            const Bands b = bandEdges (F, f);
            const float hpA = hpCoef (b.low, fs), lpA = lpCoef (b.high, fs);
            const float hpB = hpCoef (b.mid, fs), lpB = lpCoef (b.top, fs);
            const float ca = envelopeCoef (ta, 0.00005f, fs), cr = envelopeCoef (tr, 0.001f, fs);

            float A[2] = {}, B[2] = {};
            for (size_t c = 0; c < ch.size(); ++c)
            {
                const float x = ch[c][n];
                const float hA = hpA * (mem[c][0] + x - mem[c][1]);
                mem[c][0] = hA;
                mem[c][1] = x;
                A[c] = mem[c][2] = mem[c][2] + lpA * (hA - mem[c][2]);
                const float hB = hpB * (mem[c][3] + x - mem[c][4]);
                mem[c][3] = hB;
                mem[c][4] = x;
                B[c] = mem[c][5] = mem[c][5] + lpB * (hB - mem[c][5]);
            }
            float DA = 0, DB = 0;
            if (ch.size() == 1)
            {
                DA = std::abs (A[0]);
                DB = std::abs (B[0]);
            }
            else if (ch.size() == 2)
            {
                DA = (std::abs (A[0]) + std::abs (A[1])) / 2;
                DB = (std::abs (B[0]) + std::abs (B[1])) / 2;
            }
            const float d = (1.35f + 1.6f * a) * (0.45f * DA + (1.7f + 1.1f * a) * DB);
            const float c = d > env ? ca : cr;
            env = env * c + d * (1 - c);

            const float red = reductionDb (env, T, a, Rg);
            const float g = gainFor (red);
            peak = std::max (peak, red);

            for (size_t cc = 0; cc < ch.size(); ++cc)
            {
                const float x = ch[cc][n];
                const float processed = x - A[cc] + g * A[cc];
                const float removed = 2.4f * (1 - g) * A[cc];
                const float wet = processed * (1 - L) + removed * L;
                const float mixed = x * (1 - m) + wet * m;
                ch[cc][n] = x * (1 - p) + mixed * p;
            }
        }
        return peak;
    }

    float fs;
    Ramp ramps[10];
    float mem[2][6] = {};
    float env = 0;
};
} // namespace reference
