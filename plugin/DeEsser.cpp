#include "plugin/DeEsser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
    #include <immintrin.h>
#endif

// Every value below is computed with exactly the operations, in exactly the
// order, of the straightforward per-sample formulas; the speed comes only
// from not computing what cannot have changed and from keeping the serial
// recurrences (filters, envelope) apart from the work that can run in
// parallel over a stretch of samples.

namespace
{
constexpr float twoPi = 6.283185307179586f;

/** v below lo gives lo, otherwise at most hi: the lower bound is tested
    first. Written as max then min (exactly the same for lo <= hi, which holds
    wherever it is used) so that it compiles to two instructions, not branches. */
inline float limit (float lo, float hi, float v) noexcept { return std::min (std::max (v, lo), hi); }

inline float pow10f (float x) noexcept { return std::pow (10.0f, x); }

inline float limitCutoff (float fc) noexcept { return limit (20.0f, 20000.0f, fc); }

inline float highPassCoefficient (float fc, float oneOverFs) noexcept
{
    const float rc = 1.0f / (twoPi * limitCutoff (fc));
    return limit (0.0005f, 0.9995f, rc / (rc + oneOverFs));
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

/** Reduction in dB for an envelope's excess over the threshold level,
    over = env / t - 1; a = Amount / 100. */
inline float reductionDb (float over, float a, float rangeDb) noexcept
{
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

/** Band edges and their filter coefficients. */
inline BandCoefficients bandCoefficients (float F, float focusPercent, float fs) noexcept
{
    const float oneOverFs = 1.0f / fs;
    const auto b = DeEsser::bandEdges (F, 0.01f * focusPercent);
    return { highPassCoefficient (b.low, oneOverFs), lowPassCoefficient (b.high, fs),
             highPassCoefficient (b.mid, oneOverFs), lowPassCoefficient (b.top, fs) };
}

/** The envelope follower's state and step env = env * c + d * (1 - c), with
    c the attack coefficient when d > env and the release one otherwise.
    Which applies flips unpredictably from sample to sample, so on SSE both
    outcomes are computed alongside the comparison and one is picked by a bit
    select in vector registers: no branch misprediction, and the serial chain
    is one multiply, one add and the select. */
#if defined(__SSE2__)
class Envelope
{
public:
    explicit Envelope (float value) noexcept : e (_mm_set1_ps (value)) {}

    float step (float d, float ca, float oneMinusCa, float cr, float oneMinusCr) noexcept
    {
        const __m128 x = _mm_set1_ps (d);
        const __m128 attack = _mm_cmplt_ps (e, x);
        const auto next = [this, x] (float c, float oneMinusC) {
            return _mm_add_ps (_mm_mul_ps (e, _mm_set1_ps (c)), _mm_mul_ps (x, _mm_set1_ps (oneMinusC)));
        };
        const __m128 ifAttack = next (ca, oneMinusCa), ifRelease = next (cr, oneMinusCr);
        e = _mm_or_ps (_mm_and_ps (attack, ifAttack), _mm_andnot_ps (attack, ifRelease));
        return _mm_cvtss_f32 (e);
    }

    float value() const noexcept { return _mm_cvtss_f32 (e); }

private:
    __m128 e;
};
/** Both bands' filters for up to two channels, one sample at a time: the
    four high-pass and four low-pass recurrences of a stereo pair run side by
    side in one vector (lanes A0, B0, A1, B1), which keeps the serial part
    short. Memory is any pair of channel states with the members of
    DeEsser's filter memory. */
template <int numChannels>
class FilterBank
{
public:
    template <typename Memory>
    explicit FilterBank (const Memory& m) noexcept
        : hpOut (_mm_setr_ps (m[0].hpAOut, m[0].hpBOut, m[1].hpAOut, m[1].hpBOut)),
          hpIn (_mm_setr_ps (m[0].hpAIn, m[0].hpBIn, m[1].hpAIn, m[1].hpBIn)),
          lp (_mm_setr_ps (m[0].lpA, m[0].lpB, m[1].lpA, m[1].lpB))
    {
    }

    template <typename Memory>
    void store (Memory& m) const noexcept
    {
        alignas (16) float o[4], i[4], l[4];
        _mm_store_ps (o, hpOut);
        _mm_store_ps (i, hpIn);
        _mm_store_ps (l, lp);
        for (int c = 0; c < numChannels; ++c)
        {
            m[(size_t) c].hpAOut = o[2 * c];
            m[(size_t) c].hpBOut = o[2 * c + 1];
            m[(size_t) c].hpAIn = i[2 * c];
            m[(size_t) c].hpBIn = i[2 * c + 1];
            m[(size_t) c].lpA = l[2 * c];
            m[(size_t) c].lpB = l[2 * c + 1];
        }
    }

    /** Filters one input sample per channel; writes each channel's band A and
        returns the detector magnitudes DA and DB through the references.
        hpPair and lpPair point at the (A, B) coefficient pairs. */
    void step (const float* x, const float* hpPair, const float* lpPair, float* A, float& DA, float& DB) noexcept
    {
        const __m128 in = numChannels == 2 ? _mm_setr_ps (x[0], x[0], x[1], x[1]) : _mm_set1_ps (x[0]);
        const __m128 hp = pair (hpPair), lpc = pair (lpPair);

        const __m128 h = _mm_mul_ps (hp, _mm_sub_ps (_mm_add_ps (hpOut, in), hpIn));
        hpOut = h;
        hpIn = in;
        lp = _mm_add_ps (lp, _mm_mul_ps (lpc, _mm_sub_ps (h, lp)));

        const __m128 magnitude = _mm_andnot_ps (_mm_set1_ps (-0.0f), lp);
        A[0] = _mm_cvtss_f32 (lp);

        if constexpr (numChannels == 2)
        {
            const __m128 sum = _mm_add_ps (magnitude, _mm_movehl_ps (magnitude, magnitude));
            DA = _mm_cvtss_f32 (sum) / 2.0f;
            DB = _mm_cvtss_f32 (_mm_shuffle_ps (sum, sum, 1)) / 2.0f;
            A[1] = _mm_cvtss_f32 (_mm_movehl_ps (lp, lp));
        }
        else
        {
            DA = _mm_cvtss_f32 (magnitude);
            DB = _mm_cvtss_f32 (_mm_shuffle_ps (magnitude, magnitude, 1));
        }
    }

private:
    static __m128 pair (const float* p) noexcept
    {
        const __m128 low = _mm_castsi128_ps (_mm_loadl_epi64 (reinterpret_cast<const __m128i*> (p)));
        return _mm_movelh_ps (low, low);
    }

    __m128 hpOut, hpIn, lp;
};

#else
class Envelope
{
public:
    explicit Envelope (float value) noexcept : e (value) {}

    float step (float d, float ca, float oneMinusCa, float cr, float oneMinusCr) noexcept
    {
        const bool attack = d > e;
        e = e * (attack ? ca : cr) + d * (attack ? oneMinusCa : oneMinusCr);
        return e;
    }

    float value() const noexcept { return e; }

private:
    float e;
};

template <int numChannels>
class FilterBank
{
public:
    template <typename Memory>
    explicit FilterBank (const Memory& m) noexcept
    {
        for (int c = 0; c < 2; ++c)
            state[c] = { m[(size_t) c].hpAOut, m[(size_t) c].hpAIn, m[(size_t) c].lpA,
                         m[(size_t) c].hpBOut, m[(size_t) c].hpBIn, m[(size_t) c].lpB };
    }

    template <typename Memory>
    void store (Memory& m) const noexcept
    {
        for (int c = 0; c < numChannels; ++c)
        {
            const auto& s = state[c];
            m[(size_t) c] = { s.hpAOut, s.hpAIn, s.lpA, s.hpBOut, s.hpBIn, s.lpB };
        }
    }

    void step (const float* x, const float* hpPair, const float* lpPair, float* A, float& DA, float& DB) noexcept
    {
        float B[2] = {};
        for (int c = 0; c < numChannels; ++c)
        {
            auto& m = state[c];
            const float hA = hpPair[0] * (m.hpAOut + x[c] - m.hpAIn);
            m.hpAOut = hA;
            m.hpAIn = x[c];
            m.lpA = m.lpA + lpPair[0] * (hA - m.lpA);

            const float hB = hpPair[1] * (m.hpBOut + x[c] - m.hpBIn);
            m.hpBOut = hB;
            m.hpBIn = x[c];
            m.lpB = m.lpB + lpPair[1] * (hB - m.lpB);

            A[c] = m.lpA;
            B[c] = m.lpB;
        }

        if constexpr (numChannels == 2)
        {
            DA = (std::abs (A[0]) + std::abs (A[1])) / 2.0f;
            DB = (std::abs (B[0]) + std::abs (B[1])) / 2.0f;
        }
        else
        {
            DA = std::abs (A[0]);
            DB = std::abs (B[0]);
        }
    }

private:
    struct State
    {
        float hpAOut, hpAIn, lpA, hpBOut, hpBIn, lpB;
    };
    State state[2];
};

#endif

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

DeEsser::Bands DeEsser::bandEdges (float F, float f) noexcept
{
    const float r = std::exp2 (0.5f * (2.6f - 2.15f * f));

    // Each limit tests its lower bound first; every lower bound here lies below its upper bound.
    const float low = limit (1500.0f, 15000.0f, F / r);
    const float high = limit (low + 250.0f, 18000.0f, F * r);
    const float mid = limit (low + 120.0f, std::max (high - 350.0f, low + 170.0f),
                             low + (0.5f + 0.14f * f) * (high - low));
    const float top = limit (mid + 500.0f, 18500.0f, high);
    return { low, high, mid, top };
}

void DeEsser::prepare (double sampleRate)
{
    fs = (float) sampleRate;

    for (int i = 0; i < numSmoothers; ++i)
        smoothers[(size_t) i].setRampLength ((int) std::floor ((i == powerS ? 0.12 : 0.02) * sampleRate));

    // Cached coefficients depend on the rate.
    cache = {};
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
            bool steady = true;
            for (auto& sm : smoothers)
                steady = steady && ! sm.isRamping();
            switch (nCh * 2 + (steady ? 1 : 0))
            {
                case 5: return processChunk<2, true> (channels, start, count);
                case 4: return processChunk<2, false> (channels, start, count);
                case 3: return processChunk<1, true> (channels, start, count);
                case 2: return processChunk<1, false> (channels, start, count);
                case 1: return processChunk<0, true> (channels, start, count);
                default: return processChunk<0, false> (channels, start, count);
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

DeEsser::Coefficients DeEsser::steadyCoefficients (float F, float focus, float ta, float tr, float amount) noexcept
{
    if (! (F == cache.frequency && focus == cache.focus))
    {
        const auto b = bandCoefficients (F, focus, fs);
        cache.frequency = F;
        cache.focus = focus;
        cache.coefficients.hpA = b.hpA;
        cache.coefficients.lpA = b.lpA;
        cache.coefficients.hpB = b.hpB;
        cache.coefficients.lpB = b.lpB;
    }
    if (! (ta == cache.attack))
    {
        cache.attack = ta;
        cache.coefficients.ca = envelopeCoefficient (ta, 0.00005f, fs);
        cache.coefficients.oneMinusCa = 1.0f - cache.coefficients.ca;
    }
    if (! (tr == cache.release))
    {
        cache.release = tr;
        cache.coefficients.cr = envelopeCoefficient (tr, 0.001f, fs);
        cache.coefficients.oneMinusCr = 1.0f - cache.coefficients.cr;
    }
    if (! (amount == cache.amount))
    {
        const float a = 0.01f * amount;
        cache.amount = amount;
        cache.coefficients.detectorGain = 1.35f + 1.6f * a;
        cache.coefficients.bandBWeight = 1.7f + 1.1f * a;
    }
    return cache.coefficients;
}

template <int numChannels, bool steady>
float DeEsser::processChunk (float* const* channels, int offset, int n) noexcept
{
    // Each smoother's value per sample; while none ramps, its target stands for all.
    constexpr int length = steady ? 1 : maxChunk;
    alignas (32) float v[numSmoothers][(size_t) length];
    bool moving[numSmoothers] = {};

    if constexpr (steady)
    {
        for (int i = 0; i < numSmoothers; ++i)
            v[i][0] = smoothers[(size_t) i].getTarget();
    }
    else
    {
        // All ramps advance in one pass, so that their serial additions
        // overlap instead of running one smoother after the other.
        alignas (16) float current[numSmoothers], step[numSmoothers];
        int ramped[numSmoothers];
        for (int i = 0; i < numSmoothers; ++i)
        {
            const auto& sm = smoothers[(size_t) i];
            ramped[i] = sm.rampedSamples (n);
            moving[i] = ramped[i] > 0;
            current[i] = sm.getCurrentValue();
            step[i] = sm.getStep();
        }

        for (int j = 0; j < n; ++j)
            for (int i = 0; i < numSmoothers; ++i)
                v[i][j] = current[i] += step[i];

        for (int i = 0; i < numSmoothers; ++i)
        {
            auto& sm = smoothers[(size_t) i];
            int kept = ramped[i];
            if (kept > 0)
            {
                sm.skip (n, v[i][kept - 1]);
                if (! sm.isRamping())
                    --kept; // the last step lands exactly on the target
            }
            std::fill (v[i] + kept, v[i] + n, sm.getTarget());
        }
    }

    const auto value = [&v] (int smoother, int j) noexcept { return v[smoother][steady ? 0 : j]; };

    // Coefficients: per sample while their inputs ramp, otherwise from a
    // cache refreshed only when the inputs moved.
    Coefficients coefficients[(size_t) length];
    coefficients[0] = steadyCoefficients (value (frequencyS, 0), value (focusS, 0), value (attackS, 0),
                                          value (releaseS, 0), value (amountS, 0));
    if constexpr (! steady)
    {
        const bool bandsMove = moving[frequencyS] || moving[focusS];
        for (int j = 0; j < n; ++j)
        {
            auto& c = coefficients[j];
            c = coefficients[0];
            if (bandsMove)
            {
                const auto b = bandCoefficients (v[frequencyS][j], v[focusS][j], fs);
                c.hpA = b.hpA;
                c.lpA = b.lpA;
                c.hpB = b.hpB;
                c.lpB = b.lpB;
            }
            if (moving[attackS])
            {
                c.ca = envelopeCoefficient (v[attackS][j], 0.00005f, fs);
                c.oneMinusCa = 1.0f - c.ca;
            }
            if (moving[releaseS])
            {
                c.cr = envelopeCoefficient (v[releaseS][j], 0.001f, fs);
                c.oneMinusCr = 1.0f - c.cr;
            }
            if (moving[amountS])
            {
                const float a = 0.01f * v[amountS][j];
                c.detectorGain = 1.35f + 1.6f * a;
                c.bandBWeight = 1.7f + 1.1f * a;
            }
        }
    }

    // Gain computer set-up. Below the threshold level the reduction is
    // exactly 0 (env / t <= 1), and far enough above it the curve certainly
    // exceeds Range, so the reduction is Range itself: the power functions
    // only run in between. The bounds hold for the whole stretch: a ramp
    // runs one way, so its extremes are its ends, give or take the rounding
    // of its steps, which the margins cover.
    const auto ends = [&] (Smoother s) noexcept { return std::minmax (v[s][0], v[s][steady ? 0 : n - 1]); };
    const auto [thresholdLow, thresholdHigh] = ends (thresholdS);
    const float levelLow = thresholdToLevel (thresholdLow);
    const float tFloor = moving[thresholdS] ? levelLow * 0.999f : levelLow;

    const float slopeLow = 2.8f + 57.2f * (0.01f * ends (amountS).first);
    const float rangeHigh = ends (rangeS).second;
    const float capMargin = moving[rangeS] || moving[amountS] ? 1.001f : 1.0001f;
    const float overCap = slopeLow > 0.0f && rangeHigh > 0.0f
                              ? std::pow (rangeHigh / slopeLow, 1.0f / 0.52f) * capMargin
                              : INFINITY;
    const float envelopeCap = thresholdToLevel (thresholdHigh) * (moving[thresholdS] ? 1.001f : 1.0f)
                              * (1.0f + overCap) * 1.00001f;

    float peak = 0.0f;
    const auto gainAt = [&] (int j, float envelopeValue) noexcept {
        float red;
        if (envelopeValue <= tFloor)
        {
            red = std::min (0.0f, value (rangeS, j));
        }
        else if (envelopeValue >= envelopeCap)
        {
            red = value (rangeS, j);
        }
        else
        {
            const float t = moving[thresholdS] ? thresholdToLevel (v[thresholdS][j]) : levelLow;
            const float over = envelopeValue / t - 1.0f;
            red = over >= overCap ? value (rangeS, j)
                                  : reductionDb (over, 0.01f * value (amountS, j), value (rangeS, j));
        }

        // Runs of equal reductions (0, or Range) are the rule.
        if (! (red == lastGain.input))
            lastGain = { red, gainFor (red) };
        peak = std::max (peak, red);
        return lastGain.value;
    };

    // Band A turned down, Listen Removed, Mix and Power.
    const auto output = [&value] (int j, float x, float A, float g) noexcept {
        const float L = value (monitorS, j), m = 0.01f * value (mixS, j), p = value (powerS, j);
        const float processed = x - A + g * A;
        const float removed = 2.4f * (1.0f - g) * A;
        const float wet = processed * (1.0f - L) + removed * L;
        const float mixed = x * (1.0f - m) + wet * m;
        return x * (1.0f - p) + mixed * p;
    };

    // The serial part: filters and the linked envelope.
    alignas (32) float bandA[2][maxChunk], env[steady ? 1 : maxChunk], gain[maxChunk];
    FilterBank<numChannels> filters (memory);
    Envelope e (envelope);

    for (int j = 0; j < n; ++j)
    {
        const auto& k = coefficients[steady ? 0 : j];
        float DA = 0.0f, DB = 0.0f;

        if constexpr (numChannels > 0)
        {
            float x[2], A[2];
            for (int c = 0; c < numChannels; ++c)
                x[c] = channels[c][offset + j];

            filters.step (x, &k.hpA, &k.lpA, A, DA, DB);

            for (int c = 0; c < numChannels; ++c)
                bandA[c][j] = A[c];
        }

        const float d = k.detectorGain * (0.45f * DA + k.bandBWeight * DB);
        const float envelopeValue = e.step (d, k.ca, k.oneMinusCa, k.cr, k.oneMinusCr);

        // With everything standing still the gain is computed in the same
        // pass, in the slack the serial chains leave.
        if constexpr (steady)
            gain[j] = gainAt (j, envelopeValue);
        else
            env[j] = envelopeValue;
    }

    filters.store (memory);
    envelope = e.value();

    if constexpr (! steady)
        for (int j = 0; j < n; ++j)
            gain[j] = gainAt (j, env[j]);

    for (int c = 0; c < numChannels; ++c)
    {
        float* out = channels[c] + offset;
        for (int j = 0; j < n; ++j)
            out[j] = output (j, out[j], bandA[c][j], gain[j]);
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
