#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>

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

    /** Processes numChannels (0, 1 or 2) channels in place.
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

    struct ChannelMemory
    {
        float hpAOut = 0, hpAIn = 0, lpA = 0;
        float hpBOut = 0, hpBIn = 0, lpB = 0;
    };

    void setTargets (const Targets& t) noexcept;

    float fs = 44100.0f;
    std::array<juce::SmoothedValue<float>, numSmoothers> smoothers;
    std::array<ChannelMemory, 2> memory {};
    float envelope = 0.0f;
};
