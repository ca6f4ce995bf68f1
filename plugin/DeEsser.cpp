#include "plugin/DeEsser.h"

#include "plugin/VectorMath.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
    #include <immintrin.h>
#endif

// Every value below is computed with exactly the operations, in exactly the
// order, of the straightforward per-sample formulas; the speed comes only
// from not computing what cannot have changed, from computing four or eight
// samples' coefficients, gains and output at once, and from keeping the
// serial recurrences (filters, envelope) apart from the work that can run in
// parallel.

namespace
{
using vecmath::Float4;
using vecmath::maximum;
using vecmath::minimum;

/** DeEsser::maxChunk: the longest stretch that can be ramping. */
constexpr int maxStretch = 256;

constexpr float twoPi = 6.283185307179586f;

// The formulas are written once for F = float or Float4 (four samples in
// lanes): the same operations either way, so results agree to the bit. D is
// the double vector the exponentials of four lanes are computed in.

/** v below lo gives lo, otherwise at most hi: the lower bound is tested
    first (max then min: the same for lo <= hi, which holds wherever it is used). */
template <typename F, typename Lo, typename Hi>
VECMATH_INLINE F limit (Lo lo, Hi hi, F v) noexcept
{
    return minimum (maximum (v, F {} + lo), F {} + hi);
}

template <typename F>
VECMATH_INLINE F limitCutoff (F fc) noexcept
{
    return limit (20.0f, 20000.0f, fc);
}

template <typename F>
VECMATH_INLINE F highPassCoefficient (F fc, float oneOverFs) noexcept
{
    const F rc = 1.0f / (twoPi * limitCutoff (fc));
    return limit (0.0005f, 0.9995f, rc / (rc + oneOverFs));
}

template <typename D, typename F>
VECMATH_INLINE F lowPassCoefficient (F fc, float fs) noexcept
{
    return limit (0.0005f, 0.99f, 1.0f - vecmath::exp<D> (-twoPi * limitCutoff (fc) / fs));
}

/** Envelope coefficient for a time in ms, with a floor in seconds. */
template <typename D = vecmath::Double2, typename F>
VECMATH_INLINE F envelopeCoefficient (F ms, float floorSeconds, float fs) noexcept
{
    return vecmath::exp<D> (-1.0f / (maximum (0.001f * ms, F {} + floorSeconds) * fs));
}

/** Threshold level (linear) for a threshold in dB. */
inline float thresholdToLevel (float dB) noexcept
{
    const float t = dB > -100.0f ? vecmath::pow10 (0.05f * dB) : 0.0f;
    return std::max (t, 0.0001f);
}

template <typename D, typename F>
VECMATH_INLINE F thresholdToLevel (F dB) noexcept
{
    const F t = vecmath::select (dB > -100.0f, vecmath::pow10<D> (0.05f * dB), F {});
    return maximum (t, F {} + 0.0001f);
}

/** Reduction in dB for an envelope's excess over the threshold level,
    over = env / t - 1; a = Amount / 100. */
template <typename D, typename F>
VECMATH_INLINE F reductionDb (F over, F a, F rangeDb) noexcept
{
    const F red = vecmath::pow<D> (maximum (over, F {}), 0.52f) * (2.8f + 57.2f * a);
    return vecmath::select (red < 0.0f, F {}, minimum (red, rangeDb));
}

template <typename D = vecmath::Double2, typename F>
VECMATH_INLINE F gainFor (F reductionDb) noexcept
{
    if constexpr (std::is_same_v<F, float>)
        return reductionDb < 100.0f ? vecmath::pow10<D> (-0.05f * reductionDb) : 0.0f;
    else
        return vecmath::select (reductionDb < 100.0f, vecmath::pow10<D> (-0.05f * reductionDb), F {});
}

template <typename F>
struct BandEdges
{
    F low, high, mid, top;
};

template <typename D = vecmath::Double2, typename F>
VECMATH_INLINE BandEdges<F> bandEdges (F frequency, F f) noexcept
{
    const F r = vecmath::exp2<D> (0.5f * (2.6f - 2.15f * f));

    // Each limit tests its lower bound first; every lower bound here lies below its upper bound.
    const F low = limit (1500.0f, 15000.0f, frequency / r);
    const F high = limit (low + 250.0f, 18000.0f, frequency * r);
    const F mid = limit (low + 120.0f, maximum (high - 350.0f, low + 170.0f), low + (0.5f + 0.14f * f) * (high - low));
    const F top = limit (mid + 500.0f, 18500.0f, high);
    return { low, high, mid, top };
}

template <typename F>
struct BandCoefficients
{
    F hpA, lpA, hpB, lpB;
};

/** Band edges and their filter coefficients. */
template <typename D = vecmath::Double2, typename F>
VECMATH_INLINE BandCoefficients<F> bandCoefficients (F frequency, F focusPercent, float fs) noexcept
{
    const float oneOverFs = 1.0f / fs;
    const auto b = bandEdges<D> (frequency, 0.01f * focusPercent);
    const F lpA = lowPassCoefficient<D> (b.high, fs);
    // Band B's top usually coincides with band A's high edge.
    F lpB;
    if constexpr (std::is_same_v<F, float>)
        lpB = b.top == b.high ? lpA : lowPassCoefficient<D> (b.top, fs);
    else
        lpB = vecmath::all (b.top == b.high) ? lpA : lowPassCoefficient<D> (b.top, fs);
    return { highPassCoefficient (b.low, oneOverFs), lpA, highPassCoefficient (b.mid, oneOverFs), lpB };
}

/** The detector's weight on band A and the factor on band B's weight.
    DA and DB are averages of two channels' magnitudes for stereo: halving
    a sum and then weighting it equals weighting it by half the weight (both
    are exact scalings by 2), so stereo uses halved weights on the sums. */
constexpr float bandAWeight (int numChannels) { return numChannels == 2 ? 0.225f : 0.45f; }
constexpr float bandBWeightScale (int numChannels) { return numChannels == 2 ? 0.5f : 1.0f; }

inline bool isFinite (float x) noexcept { return std::abs (x) <= 3.402823466e38f; }

} // namespace

DeEsser::Bands DeEsser::bandEdges (float frequency, float f) noexcept
{
    const auto b = ::bandEdges (frequency, f);
    return { b.low, b.high, b.mid, b.top };
}

void DeEsser::prepare (double sampleRate)
{
    fs = (float) sampleRate;

    for (int i = 0; i < numSmoothers; ++i)
        smoothers[(size_t) i].setRampLength ((int) std::floor ((i == powerS ? 0.12 : 0.02) * sampleRate));

    // Cached coefficients depend on the rate.
    cache = {};
    gainBounds = {};
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

    for (int offset = 0, n = 0; offset < numSamples; offset += n)
    {
        // Longer stretches while nothing ramps (a ramp can only start with a block).
        const bool idle = std::none_of (smoothers.begin(), smoothers.end(), [] (auto& sm) { return sm.isRamping(); });
        n = std::min (idle ? maxSteadyChunk : maxChunk, numSamples - offset);
        const auto run = [&] (int start, int count, bool wholeStretch) {
            bool steady = wholeStretch;
            for (auto& sm : smoothers)
                steady = steady && ! sm.isRamping();
            switch (nCh * 2 + (steady ? 1 : 0))
            {
                case 5: return processChunk<2, true> (channels, start, count, wholeStretch);
                case 4: return processChunk<2, false> (channels, start, count, wholeStretch);
                case 3: return processChunk<1, true> (channels, start, count, wholeStretch);
                case 2: return processChunk<1, false> (channels, start, count, wholeStretch);
                case 1: return processChunk<0, true> (channels, start, count, wholeStretch);
                default: return processChunk<0, false> (channels, start, count, wholeStretch);
            }
        };

        const float stretchPeak = run (offset, n, true);
        if (stretchPeak >= 0.0f)
        {
            peak = std::max (peak, stretchPeak);
        }
        else
        {
            // A non-finite input sample: one sample at a time, so that the
            // state it spoils is cleared before the next one.
            for (int i = 0; i < n; ++i)
                peak = std::max (peak, run (offset + i, 1, false));
        }
    }

    return peak;
}

const DeEsser::Coefficients& DeEsser::steadyCoefficients (float F, float focus, float ta, float tr, float amount,
                                                          int numChannels) noexcept
{
    auto& k = cache.coefficients;
    const bool layoutChanged = numChannels != cache.numChannels;
    cache.numChannels = numChannels;

    if (! (F == cache.frequency && focus == cache.focus))
    {
        const auto b = bandCoefficients (F, focus, fs);
        cache.frequency = F;
        cache.focus = focus;
        std::fill (k.hp, k.hp + 2, b.hpA);
        std::fill (k.hp + 2, k.hp + 4, b.hpB);
        std::fill (k.lp, k.lp + 2, b.lpA);
        std::fill (k.lp + 2, k.lp + 4, b.lpB);
    }
    if (! (ta == cache.attack))
    {
        cache.attack = ta;
        k.ca = envelopeCoefficient (ta, 0.00005f, fs);
        k.oneMinusCa = 1.0f - k.ca;
    }
    if (! (tr == cache.release))
    {
        cache.release = tr;
        k.cr = envelopeCoefficient (tr, 0.001f, fs);
        k.oneMinusCr = 1.0f - k.cr;
    }
    if (! (amount == cache.amount) || layoutChanged)
    {
        const float a = 0.01f * amount;
        cache.amount = amount;
        k.detectorGain = 1.35f + 1.6f * a;
        const float weightB = (1.7f + 1.1f * a) * bandBWeightScale (numChannels);
        k.detectorWeights[0] = bandAWeight (numChannels);
        k.detectorWeights[1] = 0.0f;
        k.detectorWeights[2] = weightB;
        k.detectorWeights[3] = 0.0f;
    }
    return k;
}

namespace
{
/** Per-sample coefficients of a stretch while parameters ramp, one array per quantity. */
struct Ramping
{
    alignas (16) float hpA[maxStretch], hpB[maxStretch], lpA[maxStretch], lpB[maxStretch];
    alignas (16) float ca[maxStretch], oneMinusCa[maxStretch], cr[maxStretch], oneMinusCr[maxStretch];
    alignas (16) float detectorGain[maxStretch], weightB[maxStretch];
};

/** Four samples' band A of channel c from the band A buffer: every value
    (mono) or every other one (stereo, channels interleaved). */
template <int numChannels>
VECMATH_INLINE Float4 bandAOf (const float* bandA, int c, int j) noexcept
{
    if constexpr (numChannels == 1)
        return vecmath::load (bandA + j);
#if defined(__SSE2__)
    const __m128 first = _mm_loadu_ps (bandA + 2 * j), second = _mm_loadu_ps (bandA + 2 * j + 4);
    return (Float4) (c == 0 ? _mm_shuffle_ps (first, second, _MM_SHUFFLE (2, 0, 2, 0))
                            : _mm_shuffle_ps (first, second, _MM_SHUFFLE (3, 1, 3, 1)));
#else
    const float* A = bandA + c;
    return Float4 { A[2 * j], A[2 * j + 2], A[2 * j + 4], A[2 * j + 6] };
#endif
}

/** What the per-sample coefficients of a ramping stretch are made from. */
struct RampInputs
{
    const float *frequency, *focus, *attack, *release, *amount;
    bool bandsMove, attackMoves, releaseMoves, amountMoves;
};

template <typename D, typename F, int numChannels>
VECMATH_INLINE void fillRamping (Ramping& ramping, const RampInputs& in, int padded, float fs) noexcept
{
    constexpr int lanes = (int) (sizeof (F) / sizeof (float));
    for (int j = 0; j < padded; j += lanes)
    {
        if (in.bandsMove)
        {
            const auto b = bandCoefficients<D> (vecmath::load<F> (in.frequency + j), vecmath::load<F> (in.focus + j), fs);
            vecmath::store (ramping.hpA + j, b.hpA);
            vecmath::store (ramping.hpB + j, b.hpB);
            vecmath::store (ramping.lpA + j, b.lpA);
            vecmath::store (ramping.lpB + j, b.lpB);
        }
        if (in.attackMoves)
        {
            const F ca = envelopeCoefficient<D> (vecmath::load<F> (in.attack + j), 0.00005f, fs);
            vecmath::store (ramping.ca + j, ca);
            vecmath::store (ramping.oneMinusCa + j, 1.0f - ca);
        }
        if (in.releaseMoves)
        {
            const F cr = envelopeCoefficient<D> (vecmath::load<F> (in.release + j), 0.001f, fs);
            vecmath::store (ramping.cr + j, cr);
            vecmath::store (ramping.oneMinusCr + j, 1.0f - cr);
        }
        if (in.amountMoves)
        {
            const F a = 0.01f * vecmath::load<F> (in.amount + j);
            vecmath::store (ramping.detectorGain + j, 1.35f + 1.6f * a);
            vecmath::store (ramping.weightB + j, (1.7f + 1.1f * a) * bandBWeightScale (numChannels));
        }
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    #define ZERI_HAS_AVX2_PATH 1
/** The same, compiled for AVX2 machines: eight floats or four doubles per operation. */
template <int numChannels>
__attribute__ ((target ("avx2"))) void fillRampingAvx2 (Ramping& ramping, const RampInputs& in, int padded, float fs) noexcept
{
    fillRamping<vecmath::Double4, vecmath::Float8, numChannels> (ramping, in, padded, fs);
}

bool detectAvx2() noexcept
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx2");
}

// Decided once when the library loads, never on the audio thread.
std::atomic<bool> avx2Enabled { detectAvx2() };
inline bool cpuHasAvx2() noexcept { return avx2Enabled.load (std::memory_order_relaxed); }
#endif
} // namespace

bool DeEsser::useAvx2IfAvailable (bool allowed) noexcept
{
#if ZERI_HAS_AVX2_PATH
    const bool use = allowed && detectAvx2();
    avx2Enabled.store (use, std::memory_order_relaxed);
    return use;
#else
    (void) allowed;
    return false;
#endif
}

namespace
{

/** What the gain computer needs for a stretch: per-sample values, or one
    value each when steady, and the bounds of the zone where the curve has
    to be evaluated (see processChunk). */
struct GainInputs
{
    const float *env, *range, *threshold, *amount;
    bool steady, thresholdMoves;
    float tFloor, envelopeCap, overCap, levelLow, steadyRangeGain;
};

/** Writes each sample's gain; returns the stretch's largest reduction in dB. */
template <typename D, typename F>
VECMATH_INLINE float computeGains (const GainInputs& in, int from, int padded, float* gain) noexcept
{
    constexpr int width = (int) (sizeof (F) / sizeof (float));
    // Forced inline, as everything this function calls: a helper that is
    // not inlined is compiled without AVX, and eight floats passed between
    // the two would be mangled (the calling conventions differ).
    struct Lanes
    {
        const GainInputs& in;
        VECMATH_INLINE F operator() (const float* values, int j) const noexcept
        {
            return in.steady ? F {} + values[0] : vecmath::load<F> (values + j);
        }
    };
    const Lanes lanes { in };
    F peak {};

    for (int j = from; j < padded; j += width)
    {
        const F e = vecmath::load<F> (in.env + j);
        const F range = lanes (in.range, j);
        const auto below = e <= in.tFloor, above = e >= in.envelopeCap;
        F red = vecmath::select (below, minimum (F {}, range), range);

        const auto between = ~(below | above);
        if (vecmath::any (between))
        {
            const F t = in.thresholdMoves ? thresholdToLevel<D> (lanes (in.threshold, j)) : F {} + in.levelLow;
            const F over = e / t - 1.0f;
            const F a = 0.01f * lanes (in.amount, j);
            const F curve = vecmath::select (over >= in.overCap, range, reductionDb<D> (over, a, range));
            red = vecmath::select (between, curve, red);
        }

        // Runs of 0 (and, steady, of Range itself) are the rule.
        F g;
        if (vecmath::all (red == 0.0f))
            g = F {} + 1.0f;
        else if (in.steady && vecmath::all (red == range))
            g = F {} + in.steadyRangeGain;
        else
            g = gainFor<D> (red);

        vecmath::store (gain + j, g);
        peak = maximum (peak, red);
    }

    float largest = 0.0f;
    for (int i = 0; i < width; ++i)
        largest = std::max (largest, peak[i]);
    return largest;
}

#if ZERI_HAS_AVX2_PATH
__attribute__ ((target ("avx2"))) float computeGainsAvx2 (const GainInputs& in, int from, int padded, float* gain) noexcept
{
    return computeGains<vecmath::Double4, vecmath::Float8> (in, from, padded, gain);
}
#endif

/** Copies a stretch's input into the serial loop's lane order, one vector
    of (x0, x1, x0, x1) per sample (x1 = x0 for mono), and tells whether
    every sample is finite. */
template <int numChannels>
VECMATH_INLINE bool gatherInputs (const float* x0, const float* x1, int n, float* inputs) noexcept
{
    if constexpr (numChannels == 0)
        return true;

    std::uint32_t nonFinite = 0;
    for (int j = 0; j < n; ++j)
    {
        const float a = x0[j], b = x1[j];
        inputs[4 * j] = inputs[4 * j + 2] = a;
        inputs[4 * j + 1] = inputs[4 * j + 3] = b;

        std::uint32_t bitsA, bitsB;
        std::memcpy (&bitsA, &a, sizeof (a));
        std::memcpy (&bitsB, &b, sizeof (b));
        nonFinite |= ((bitsA & 0x7f800000u) == 0x7f800000u ? 1u : 0u) | ((bitsB & 0x7f800000u) == 0x7f800000u ? 1u : 0u);
    }
    return nonFinite == 0;
}

#if ZERI_HAS_AVX2_PATH
template <int numChannels>
__attribute__ ((target ("avx2"))) bool gatherInputsAvx2 (const float* x0, const float* x1, int n, float* inputs) noexcept
{
    if constexpr (numChannels == 0)
        return true;

    const __m256i exponent = _mm256_set1_epi32 (0x7f800000);
    __m256i nonFinite = _mm256_setzero_si256();
    const int whole = n & ~7;
    for (int j = 0; j < whole; j += 8)
    {
        const __m256 a = _mm256_loadu_ps (x0 + j), b = _mm256_loadu_ps (x1 + j);
        const __m256i bitsA = _mm256_and_si256 (_mm256_castps_si256 (a), exponent);
        const __m256i bitsB = _mm256_and_si256 (_mm256_castps_si256 (b), exponent);
        nonFinite = _mm256_or_si256 (nonFinite, _mm256_or_si256 (_mm256_cmpeq_epi32 (bitsA, exponent),
                                                                 _mm256_cmpeq_epi32 (bitsB, exponent)));

        // (a0 b0 a1 b1 | a4 b4 a5 b5) and (a2 b2 a3 b3 | a6 b6 a7 b7), then each pair doubled.
        const __m256 low = _mm256_unpacklo_ps (a, b), high = _mm256_unpackhi_ps (a, b);
        const __m256 s0 = _mm256_shuffle_ps (low, low, _MM_SHUFFLE (1, 0, 1, 0));
        const __m256 s1 = _mm256_shuffle_ps (low, low, _MM_SHUFFLE (3, 2, 3, 2));
        const __m256 s2 = _mm256_shuffle_ps (high, high, _MM_SHUFFLE (1, 0, 1, 0));
        const __m256 s3 = _mm256_shuffle_ps (high, high, _MM_SHUFFLE (3, 2, 3, 2));
        float* out = inputs + 4 * j;
        _mm256_store_ps (out, _mm256_permute2f128_ps (s0, s1, 0x20));
        _mm256_store_ps (out + 8, _mm256_permute2f128_ps (s2, s3, 0x20));
        _mm256_store_ps (out + 16, _mm256_permute2f128_ps (s0, s1, 0x31));
        _mm256_store_ps (out + 24, _mm256_permute2f128_ps (s2, s3, 0x31));
    }
    const bool wholeFinite = _mm256_testz_si256 (nonFinite, nonFinite) != 0;
    return gatherInputs<numChannels> (x0 + whole, x1 + whole, n - whole, inputs + 4 * whole) && wholeFinite;
}
#endif

/** The serial part: the eight one-pole filters (band A and B, high- and
    low-pass, two channels) side by side in one vector, the detector and the
    linked envelope, one sample after the other. Writes each sample's band A
    (interleaved for stereo) and envelope. Coefficients come from fixed when
    steady, from ramping otherwise. */
template <int numChannels, bool steady, typename Coefficients, typename Memory>
VECMATH_INLINE void runFilters ([[maybe_unused]] const float* inputs, [[maybe_unused]] const float* x0,
                                [[maybe_unused]] const float* x1, int n, const Coefficients& fixed,
                                const Ramping* ramping, Memory& memory, float& envelope, float* bandA,
                                float* env) noexcept
{
#if defined(__SSE2__)
    // Lanes A0, A1, B0, B1.
    __m128 hpOut = _mm_setr_ps (memory[0].hpAOut, memory[1].hpAOut, memory[0].hpBOut, memory[1].hpBOut);
    __m128 hpIn = _mm_setr_ps (memory[0].hpAIn, memory[1].hpAIn, memory[0].hpBIn, memory[1].hpBIn);
    __m128 lp = _mm_setr_ps (memory[0].lpA, memory[1].lpA, memory[0].lpB, memory[1].lpB);
    float level = envelope;
    const __m128 signBit = _mm_set1_ps (-0.0f);

    __m128 hp = _mm_load_ps (fixed.hp), lpc = _mm_load_ps (fixed.lp), weights = _mm_load_ps (fixed.detectorWeights);
    __m128 gain = _mm_set_ss (fixed.detectorGain);

    // Filters for one sample; returns the four band values.
    const auto filter = [&] (int j) noexcept {
        if constexpr (! steady)
        {
            // (A, A, B, B) from the two bands' values.
            const auto pairs = [j] (const float* a, const float* b) noexcept {
                const __m128 ab = _mm_unpacklo_ps (_mm_load_ss (a + j), _mm_load_ss (b + j));
                return _mm_unpacklo_ps (ab, ab);
            };
            hp = pairs (ramping->hpA, ramping->hpB);
            lpc = pairs (ramping->lpA, ramping->lpB);
        }

        const __m128 in = _mm_load_ps (inputs + 4 * j);
        const __m128 h = _mm_mul_ps (hp, _mm_sub_ps (_mm_add_ps (hpOut, in), hpIn));
        hpOut = h;
        hpIn = in;
        lp = _mm_add_ps (lp, _mm_mul_ps (lpc, _mm_sub_ps (h, lp)));

        if constexpr (numChannels == 2)
            _mm_storel_pi (reinterpret_cast<__m64*> (bandA + 2 * j), lp);
        else
            _mm_store_ss (bandA + j, lp);
        return lp;
    };

    // Filters and detector for one sample; returns d in lane 0.
    const auto detect = [&] (int j) noexcept {
        if constexpr (numChannels == 0)
        {
            return _mm_setzero_ps();
        }
        else
        {
            if constexpr (! steady)
            {
                weights = _mm_movelh_ps (_mm_set_ss (fixed.detectorWeights[0]), _mm_load_ss (ramping->weightB + j));
                gain = _mm_load_ss (ramping->detectorGain + j);
            }
            __m128 magnitude = _mm_andnot_ps (signBit, filter (j));
            if constexpr (numChannels == 2)
                magnitude = _mm_add_ps (magnitude, _mm_shuffle_ps (magnitude, magnitude, _MM_SHUFFLE (2, 3, 0, 1)));
            const __m128 weighted = _mm_mul_ps (magnitude, weights);
            return _mm_mul_ss (gain, _mm_add_ss (weighted, _mm_movehl_ps (weighted, weighted)));
        }
    };

    // env * c + d * (1 - c), with c the attack coefficient when d > env.
    // Which of the two applies rarely changes from one sample to the next
    // (a few percent of samples on speech), so a predicted branch keeps the
    // choice off the chain from one envelope value to the next.
    // Held in locals: the stores to env could otherwise alias them.
    const float attackC = fixed.ca, attackD = fixed.oneMinusCa, releaseC = fixed.cr, releaseD = fixed.oneMinusCr;
    const auto follow = [&] (int j, __m128 d) noexcept {
        const float input = _mm_cvtss_f32 (d);
        if constexpr (steady)
        {
            if (input > level)
                level = level * attackC + input * attackD;
            else
                level = level * releaseC + input * releaseD;
        }
        else
        {
            if (input > level)
                level = level * ramping->ca[j] + input * ramping->oneMinusCa[j];
            else
                level = level * ramping->cr[j] + input * ramping->oneMinusCr[j];
        }
        env[j] = level;
    };

    if constexpr (steady && numChannels > 0)
    {
        // Two samples at a time: their detector inputs share the vector
        // operations (band sums, weights, gain), in the same order as one by one.
        const __m128 pairWeights = _mm_setr_ps (fixed.detectorWeights[0], fixed.detectorWeights[2],
                                                fixed.detectorWeights[0], fixed.detectorWeights[2]);
        const __m128 pairGain = _mm_set1_ps (fixed.detectorGain);
        int j = 0;
#pragma GCC unroll 2
        for (; j + 2 <= n; j += 2)
        {
            const __m128 first = _mm_andnot_ps (signBit, filter (j));
            const __m128 second = _mm_andnot_ps (signBit, filter (j + 1));
            // (A0, B0) of both samples, plus (A1, B1) for stereo.
            __m128 sums = _mm_shuffle_ps (first, second, _MM_SHUFFLE (2, 0, 2, 0));
            if constexpr (numChannels == 2)
                sums = _mm_add_ps (sums, _mm_shuffle_ps (first, second, _MM_SHUFFLE (3, 1, 3, 1)));
            const __m128 weighted = _mm_mul_ps (sums, pairWeights);
            const __m128 d = _mm_mul_ps (_mm_add_ps (_mm_shuffle_ps (weighted, weighted, _MM_SHUFFLE (2, 0, 2, 0)),
                                                     _mm_shuffle_ps (weighted, weighted, _MM_SHUFFLE (3, 1, 3, 1))),
                                         pairGain);
            follow (j, d);
            follow (j + 1, _mm_shuffle_ps (d, d, _MM_SHUFFLE (1, 1, 1, 1)));
        }
        if (j < n)
            follow (j, detect (j));
    }
    else
    {
        // The envelope runs one sample behind the filters, so that each pass
        // of the loop holds two independent chains the processor can overlap.
        __m128 d = detect (0);
#pragma GCC unroll 4
        for (int j = 1; j < n; ++j)
        {
            const __m128 next = detect (j);
            follow (j - 1, d);
            d = next;
        }
        follow (n - 1, d);
    }

    alignas (16) float o[4], i[4], l[4];
    _mm_store_ps (o, hpOut);
    _mm_store_ps (i, hpIn);
    _mm_store_ps (l, lp);
    for (int c = 0; c < numChannels; ++c)
    {
        memory[(size_t) c].hpAOut = o[c];
        memory[(size_t) c].hpBOut = o[2 + c];
        memory[(size_t) c].hpAIn = i[c];
        memory[(size_t) c].hpBIn = i[2 + c];
        memory[(size_t) c].lpA = l[c];
        memory[(size_t) c].lpB = l[2 + c];
    }
    envelope = level;
#else
    float e = envelope;
    for (int j = 0; j < n; ++j)
    {
        Coefficients c = fixed;
        if constexpr (! steady)
        {
            c.hp[0] = ramping->hpA[j];
            c.hp[2] = ramping->hpB[j];
            c.lp[0] = ramping->lpA[j];
            c.lp[2] = ramping->lpB[j];
            c.ca = ramping->ca[j];
            c.oneMinusCa = ramping->oneMinusCa[j];
            c.cr = ramping->cr[j];
            c.oneMinusCr = ramping->oneMinusCr[j];
            c.detectorGain = ramping->detectorGain[j];
            c.detectorWeights[2] = ramping->weightB[j];
        }
        float sum[4] = {};
        for (int ch = 0; ch < numChannels; ++ch)
        {
            auto& m = memory[(size_t) ch];
            const float x = (ch == 0 ? x0 : x1)[j];
            const float hA = c.hp[0] * (m.hpAOut + x - m.hpAIn);
            m.hpAOut = hA;
            m.hpAIn = x;
            m.lpA = m.lpA + c.lp[0] * (hA - m.lpA);

            const float hB = c.hp[2] * (m.hpBOut + x - m.hpBIn);
            m.hpBOut = hB;
            m.hpBIn = x;
            m.lpB = m.lpB + c.lp[2] * (hB - m.lpB);

            bandA[numChannels == 2 ? 2 * j + ch : j] = m.lpA;
            sum[0] += std::abs (m.lpA);
            sum[2] += std::abs (m.lpB);
        }
        float d = 0.0f;
        if constexpr (numChannels > 0)
            d = c.detectorGain * (sum[0] * c.detectorWeights[0] + sum[2] * c.detectorWeights[2]);

        const bool attack = d > e;
        e = e * (attack ? c.ca : c.cr) + d * (attack ? c.oneMinusCa : c.oneMinusCr);
        env[j] = e;
    }
    envelope = e;
#endif
}

#if ZERI_HAS_AVX2_PATH
/** The same compiled for AVX2 machines, whose three-operand instructions
    spare the register copies the serial loop otherwise needs. */
template <int numChannels, bool steady, typename Coefficients, typename Memory>
__attribute__ ((target ("avx2"))) void runFiltersAvx2 (const float* inputs, const float* x0, const float* x1, int n,
                                                       const Coefficients& fixed, const Ramping* ramping,
                                                       Memory& memory, float& envelope, float* bandA,
                                                       float* env) noexcept
{
    runFilters<numChannels, steady> (inputs, x0, x1, n, fixed, ramping, memory, envelope, bandA, env);
}
#endif
} // namespace

#if ZERI_HAS_AVX2_PATH
/** Settings standing still with Listen Removed off and Mix and Power full
    (the usual state): while the envelope lies below tFloor (gain 1) or
    above envelopeCap (Range's gain), the gains need no power functions and
    the output is (x - A) + g A, eight samples at a time. Stops before the
    first group of samples with one in between and returns how many samples
    it wrote (a multiple of eight, or n); anyAbove tells whether the
    reduction reached Range in them. */
template <int numChannels>
__attribute__ ((target ("avx2"))) int plainOutputAvx2 (const float* env, const float* bandA, float* const* out,
                                                       int n, float tFloor, float envelopeCap, float rangeGain,
                                                       bool& anyAbove) noexcept
{
    const __m256 floorLevel = _mm256_set1_ps (tFloor), capLevel = _mm256_set1_ps (envelopeCap);
    const __m256 one = _mm256_set1_ps (1.0f), ranged = _mm256_set1_ps (rangeGain);
    const int whole = n & ~7;
    __m256 above = _mm256_setzero_ps();

    int j = 0;
    for (; j < whole; j += 8)
    {
        const __m256 e = _mm256_loadu_ps (env + j);
        const __m256 isBelow = _mm256_cmp_ps (e, floorLevel, _CMP_LE_OQ);
        const __m256 isAbove = _mm256_cmp_ps (e, capLevel, _CMP_GE_OQ);
        if (_mm256_movemask_ps (_mm256_or_ps (isBelow, isAbove)) != 0xff)
            break;
        above = _mm256_or_ps (above, isAbove);

        const __m256 g = _mm256_blendv_ps (ranged, one, isBelow);
        __m256 a[2];
        if constexpr (numChannels == 2)
        {
            // Channels interleaved: even and odd values, put back in order.
            const __m256 first = _mm256_loadu_ps (bandA + 2 * j), second = _mm256_loadu_ps (bandA + 2 * j + 8);
            const __m256d even = _mm256_castps_pd (_mm256_shuffle_ps (first, second, _MM_SHUFFLE (2, 0, 2, 0)));
            const __m256d odd = _mm256_castps_pd (_mm256_shuffle_ps (first, second, _MM_SHUFFLE (3, 1, 3, 1)));
            a[0] = _mm256_castpd_ps (_mm256_permute4x64_pd (even, 0xd8));
            a[1] = _mm256_castpd_ps (_mm256_permute4x64_pd (odd, 0xd8));
        }
        else
        {
            a[0] = _mm256_loadu_ps (bandA + j);
        }
        for (int c = 0; c < numChannels; ++c)
        {
            const __m256 x = _mm256_loadu_ps (out[c] + j);
            _mm256_storeu_ps (out[c] + j, _mm256_add_ps (_mm256_sub_ps (x, a[c]), _mm256_mul_ps (g, a[c])));
        }
    }
    anyAbove = _mm256_movemask_ps (above) != 0;
    if (j < whole)
        return j;

    for (int i = whole; i < n; ++i)
        if (! (env[i] <= tFloor || env[i] >= envelopeCap))
            return whole;

    for (; j < n; ++j)
    {
        const float g = env[j] <= tFloor ? 1.0f : rangeGain;
        anyAbove = anyAbove || env[j] >= envelopeCap;
        for (int c = 0; c < numChannels; ++c)
        {
            const float a = bandA[numChannels == 2 ? 2 * j + c : j];
            out[c][j] = out[c][j] - a + g * a;
        }
    }
    return n;
}
#endif

template <int numChannels, bool steady>
float DeEsser::processChunk (float* const* channels, int offset, int n, bool refuseNonFinite) noexcept
{
    // The input in the serial loop's lane order, checked on the way.
    constexpr size_t capacity = (size_t) (steady ? maxSteadyChunk : maxChunk);
    alignas (32) float inputs[4 * capacity];
    const float* x0 = numChannels > 0 ? channels[0] + offset : nullptr;
    const float* x1 = numChannels > 1 ? channels[1] + offset : x0;
    bool finite;
#if ZERI_HAS_AVX2_PATH
    if (cpuHasAvx2())
        finite = gatherInputsAvx2<numChannels> (x0, x1, n, inputs);
    else
#endif
        finite = gatherInputs<numChannels> (x0, x1, n, inputs);
    if (refuseNonFinite && ! finite)
        return -1.0f;

    // Four or eight samples at a time below: stretches are padded to a
    // multiple of eight with copies of their last sample's values.
    const int padded = (n + 7) & ~7;

    // Each smoother's value per sample; while none ramps, its target stands for all.
    constexpr int length = steady ? 1 : maxChunk;
    alignas (16) float v[numSmoothers][(size_t) length];
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

        // The eight continuous parameters, then Power and Listen Removed,
        // which mostly stand still.
        const auto advance = [&] (int from, int to) {
            if (std::any_of (moving + from, moving + to, [] (bool m) { return m; }))
                for (int j = 0; j < n; ++j)
                    for (int i = from; i < to; ++i)
                        v[i][j] = current[i] += step[i];
        };
        advance (0, mixS + 1);
        advance (powerS, numSmoothers);

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
            std::fill (v[i] + n, v[i] + padded, v[i][n - 1]);
        }
    }

    const auto value = [&v] (int smoother, int j) noexcept { return v[smoother][steady ? 0 : j]; };

    // Coefficients: per sample while their inputs ramp, otherwise from a
    // cache refreshed only when the inputs moved.
    const Coefficients& fixed = steadyCoefficients (value (frequencyS, 0), value (focusS, 0), value (attackS, 0),
                                                    value (releaseS, 0), value (amountS, 0), numChannels);
    static_assert (maxStretch == maxChunk);
    // Per-sample coefficients only exist while something ramps.
    std::conditional_t<steady, std::nullptr_t, Ramping> rampingStorage;
    Ramping* rampingPointer = nullptr;
    if constexpr (! steady)
    {
        rampingPointer = &rampingStorage;
        Ramping& ramping = rampingStorage;
        const auto fill = [padded] (float* values, float constant) { std::fill (values, values + padded, constant); };
        const RampInputs rampInputs { v[frequencyS], v[focusS], v[attackS], v[releaseS], v[amountS],
                                  moving[frequencyS] || moving[focusS], moving[attackS], moving[releaseS],
                                  moving[amountS] };
#if ZERI_HAS_AVX2_PATH
        if (cpuHasAvx2())
            fillRampingAvx2<numChannels> (ramping, rampInputs, padded, fs);
        else
#endif
            fillRamping<vecmath::Double2, Float4, numChannels> (ramping, rampInputs, padded, fs);

        if (! (moving[frequencyS] || moving[focusS]))
        {
            fill (ramping.hpA, fixed.hp[0]);
            fill (ramping.hpB, fixed.hp[2]);
            fill (ramping.lpA, fixed.lp[0]);
            fill (ramping.lpB, fixed.lp[2]);
        }
        if (! moving[attackS])
        {
            fill (ramping.ca, fixed.ca);
            fill (ramping.oneMinusCa, fixed.oneMinusCa);
        }
        if (! moving[releaseS])
        {
            fill (ramping.cr, fixed.cr);
            fill (ramping.oneMinusCr, fixed.oneMinusCr);
        }
        if (! moving[amountS])
        {
            fill (ramping.detectorGain, fixed.detectorGain);
            fill (ramping.weightB, fixed.detectorWeights[2]);
        }
    }

    // The serial part.
    alignas (16) float bandA[2 * capacity], env[capacity], gain[capacity];
#if ZERI_HAS_AVX2_PATH
    if (cpuHasAvx2())
        runFiltersAvx2<numChannels, steady> (inputs, x0, x1, n, fixed, rampingPointer, memory, envelope, bandA, env);
    else
#endif
        runFilters<numChannels, steady> (inputs, x0, x1, n, fixed, rampingPointer, memory, envelope, bandA, env);
    std::fill (env + n, env + padded, env[n - 1]);

    // Gain computer. Below the threshold level the reduction is exactly 0
    // (env / t <= 1), and far enough above it the curve certainly exceeds
    // Range, so the reduction is Range itself: the power functions only run
    // in between. The bounds hold for the whole stretch: a ramp runs one
    // way, so its extremes are its ends, give or take the rounding of its
    // steps, which the margins cover.
    const auto ends = [&] (Smoother s) noexcept { return std::minmax (v[s][0], v[s][steady ? 0 : n - 1]); };
    const auto [thresholdLow, thresholdHigh] = ends (thresholdS);
    const float amountLow = ends (amountS).first, rangeHigh = ends (rangeS).second;

    GainBounds fresh;
    const GainBounds* bounds = &gainBounds;
    if (! steady || ! (gainBounds.threshold == thresholdLow && gainBounds.amount == amountLow
                       && gainBounds.range == rangeHigh))
    {
        auto& b = steady ? gainBounds : fresh;
        b.threshold = thresholdLow;
        b.amount = amountLow;
        b.range = rangeHigh;
        b.levelLow = thresholdToLevel (thresholdLow);
        b.tFloor = moving[thresholdS] ? b.levelLow * 0.999f : b.levelLow;

        const float slopeLow = 2.8f + 57.2f * (0.01f * amountLow);
        const float capMargin = moving[rangeS] || moving[amountS] ? 1.001f : 1.0001f;
        b.overCap = slopeLow > 0.0f && rangeHigh > 0.0f ? std::pow (rangeHigh / slopeLow, 1.0f / 0.52f) * capMargin
                                                        : INFINITY;
        b.envelopeCap = thresholdToLevel (thresholdHigh) * (moving[thresholdS] ? 1.001f : 1.0f)
                        * (1.0f + b.overCap) * 1.00001f;
        b.rangeGain = gainFor (value (rangeS, 0));
        bounds = &b;
    }

    const bool plain = steady && v[monitorS][0] == 0.0f && v[mixS][0] == 100.0f && v[powerS][0] == 1.0f;
    // Samples from 'done' on still hold their input.
    int done = 0;
    float donePeak = 0.0f;
#if ZERI_HAS_AVX2_PATH
    if (plain && numChannels > 0 && cpuHasAvx2())
    {
        float* out[2] = { channels[0] + offset, numChannels > 1 ? channels[1] + offset : nullptr };
        bool anyAbove = false;
        done = plainOutputAvx2<numChannels> (env, bandA, out, n, bounds->tFloor, bounds->envelopeCap,
                                             bounds->rangeGain, anyAbove);
        donePeak = anyAbove ? v[rangeS][0] : 0.0f;
        if (done == n)
        {
            clearNonFiniteState();
            return donePeak;
        }
    }
#endif

    const GainInputs gainInputs { env,           v[rangeS],       v[thresholdS],    v[amountS],
                                  steady,        moving[thresholdS], bounds->tFloor, bounds->envelopeCap,
                                  bounds->overCap, bounds->levelLow, bounds->rangeGain };
    float peak;
#if ZERI_HAS_AVX2_PATH
    if (cpuHasAvx2())
        peak = computeGainsAvx2 (gainInputs, done, padded, gain);
    else
#endif
        peak = computeGains<vecmath::Double2, Float4> (gainInputs, done, padded, gain);
    peak = std::max (peak, donePeak);

    // Band A turned down, Listen Removed, Mix and Power.
    for (int c = 0; c < numChannels; ++c)
    {
        float* out = channels[c] + offset;
        const float* A = bandA + (numChannels == 2 ? c : 0);
        constexpr int stride = numChannels == 2 ? 2 : 1;

        if (plain)
        {
            // With Listen Removed off and Mix and Power full, the blends
            // below reduce exactly to the processed signal.
            int j = done;
            for (; j + 4 <= n; j += 4)
            {
                const Float4 a = bandAOf<numChannels> (bandA, c, j), x = vecmath::load (out + j);
                vecmath::store (out + j, x - a + vecmath::load (gain + j) * a);
            }
            for (; j < n; ++j)
                out[j] = out[j] - A[stride * j] + gain[j] * A[stride * j];
            continue;
        }

        // Written once for one sample or four: the same operations.
        const auto blend = [] (auto x, auto a, auto g, auto L, auto m, auto p) noexcept {
            const auto processed = x - a + g * a;
            const auto removed = 2.4f * (1.0f - g) * a;
            const auto wet = processed * (1.0f - L) + removed * L;
            const auto mixed = x * (1.0f - m) + wet * m;
            return x * (1.0f - p) + mixed * p;
        };
        const auto four = [&v] (int smoother, int j) noexcept {
            if constexpr (steady)
                return vecmath::splat (v[smoother][0]);
            else
                return vecmath::load (v[smoother] + j);
        };

        int j = done;
        for (; j + 4 <= n; j += 4)
        {
            const Float4 a = bandAOf<numChannels> (bandA, c, j);
            vecmath::store (out + j, blend (vecmath::load (out + j), a, vecmath::load (gain + j), four (monitorS, j),
                                            0.01f * four (mixS, j), four (powerS, j)));
        }
        for (; j < n; ++j)
            out[j] = blend (out[j], A[stride * j], gain[j], value (monitorS, j), 0.01f * value (mixS, j),
                            value (powerS, j));
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
