#pragma once

#include "plugin/LinearSmoother.h"

#include <array>
#include <cmath>

/** Split-band de-esser with linked stereo detection.

    Two one-pole band-pass signals are formed per channel: band A around the
    chosen frequency (the band that gets turned down) and the narrower band B
    in its upper half (detection only). Their magnitudes drive an attack/release
    envelope; a power-law curve turns the envelope's excess over the threshold
    into dB of reduction, which is applied to band A alone.

    Plain real-time class: no allocation, no locks, no GUI. The caller must not
    run reset() and process() concurrently. */
class DeEsser
{
public:
    /** Parameter values in their own units, as the smoothers' targets. */
    struct Targets
    {
        float amount = 50.0f;     // percent
        float threshold = -30.0f; // dB
        float attack = 0.32f;     // ms
        float release = 48.0f;    // ms
        float frequency = 6500.0f; // Hz
        float focus = 50.0f;      // percent
        float range = 8.0f;       // dB
        float mix = 100.0f;       // percent
        float power = 1.0f;       // 1 on, 0 off
        float monitor = 0.0f;     // 1 = output what is removed
    };

    /** Sets the ramp lengths for this rate (0.02 s; 0.12 s for power) and
        snaps every smoother to its target. Does not clear the memories. */
    void prepare (double sampleRate);

    /** Clean start at these values: memories cleared, smoothers jumped, and
        power fading in from 0 over its ramp. */
    void reset (const Targets& targets);

    /** Edges in Hz of band A (low..high, the band that is turned down) and of
        band B (mid..top, detection only). */
    struct Bands
    {
        float low, high, mid, top;
    };

    /** The bands for a Frequency in Hz and a Focus of 0..1. */
    static Bands bandEdges (float frequency, float focus) noexcept;

    /** On x86-64 machines with AVX2 the work runs in AVX2 code, elsewhere in
        plain SSE2 code; both give the same output to the bit. For tests
        that compare the two: false forces the plain code for every
        instance (not while any processes). Returns whether AVX2 is used. */
    static bool useAvx2IfAvailable (bool allowed) noexcept;

    /** Processes numChannels (0, 1 or 2) channels in place.

        A non-finite input sample may spoil its own output sample, but any
        filter memory or envelope it made non-finite is cleared straight
        after, so the path recovers at once; finite input is unaffected.
        @returns the largest reduction in dB reached during the block. */
    float process (float* const* channels, int numChannels, int numSamples, const Targets& targets) noexcept;

private:
    enum Smoother
    {
        amountS,
        thresholdS,
        attackS,
        releaseS,
        frequencyS,
        focusS,
        rangeS,
        mixS,
        powerS,
        monitorS,
        numSmoothers
    };

    /** Work is done in stretches of at most this many samples, with
        per-sample values held in arrays on the stack. */
    static constexpr int maxChunk = 256;
    /** The same while nothing ramps (less stack is needed then). */
    static constexpr int maxSteadyChunk = 512;

    struct ChannelMemory
    {
        float hpAOut = 0, hpAIn = 0, lpA = 0;
        float hpBOut = 0, hpBIn = 0, lpB = 0;
    };

    /** Everything the serial part needs for one sample, laid out as it
        uses it: filter coefficients in the lane order (A0, A1, B0, B1) of the
        four band signals, the detector's per-band weights in lanes 0 and 2. */
    struct alignas (16) Coefficients
    {
        float hp[4], lp[4];
        float detectorWeights[4];
        float detectorGain;
        float ca, oneMinusCa, cr, oneMinusCr;
    };

    /** Coefficients for values that stand still, with the inputs they were made from (NaN: none yet). */
    struct CoefficientCache
    {
        float frequency = NAN, focus = NAN, attack = NAN, release = NAN, amount = NAN;
        int numChannels = -1;
        Coefficients coefficients {};
    };

    /** The gain computer's shortcuts for a stretch (see processChunk): the
        threshold level, the envelope levels below and above which the
        reduction is 0 or Range, and Range's gain. Kept while settings stand
        still, together with the values they were made from (NaN: none yet). */
    struct GainBounds
    {
        float threshold = NAN, amount = NAN, range = NAN;
        float levelLow = 0, tFloor = 0, overCap = 0, envelopeCap = 0, rangeGain = 1;
    };

    const Coefficients& steadyCoefficients (float frequency, float focus, float attack, float release, float amount,
                                            int numChannels) noexcept;

    /** Processes up to maxChunk samples (maxSteadyChunk while steady). With
        refuseNonFinite, a stretch holding an infinite or NaN sample is left
        untouched and -1 returned. */
    template <int numChannels, bool steady>
    float processChunk (float* const* channels, int offset, int numSamples, bool refuseNonFinite) noexcept;

    void clearNonFiniteState() noexcept;

    float fs = 44100.0f;
    std::array<LinearSmoother, numSmoothers> smoothers;
    std::array<ChannelMemory, 2> memory {};
    float envelope = 0.0f;

    CoefficientCache cache;
    GainBounds gainBounds;
};
