#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>

/** A linear parameter ramp with the semantics of juce::SmoothedValue<float>
    (Linear): a new target starts a ramp of a fixed number of samples from the
    present value, each sample adds the same step, and the last one lands
    exactly on the target. A target equal to the present one within float
    tolerance is ignored.

    Unlike SmoothedValue it lets the caller run a stretch of the ramp itself
    (value += step, rampedSamples() times), so that several ramps can advance
    side by side, and tells whether it stands still, so that work depending
    only on its value can be skipped. */
class LinearSmoother
{
public:
    /** Ramp length in samples (0 or less: targets are taken at once). Ends any ramp. */
    void setRampLength (int numSamples) noexcept
    {
        rampLength = numSamples;
        snapTo (target);
    }

    /** Jumps to a value with no ramp. */
    void snapTo (float value) noexcept
    {
        current = target = value;
        countdown = 0;
    }

    void setTarget (float value) noexcept
    {
        const float diff = std::abs (value - target);
        if (diff <= FLT_MIN || diff <= FLT_EPSILON * std::max (std::abs (value), std::abs (target)))
            return;

        if (rampLength <= 0)
        {
            snapTo (value);
            return;
        }

        target = value;
        countdown = rampLength;
        step = (target - current) / (float) countdown;
    }

    float getTarget() const noexcept { return target; }
    float getCurrentValue() const noexcept { return current; }
    float getStep() const noexcept { return step; }

    /** How many of the next numSamples samples are still on the ramp. */
    int rampedSamples (int numSamples) const noexcept { return std::max (0, std::min (numSamples, countdown)); }

    /** Moves on by rampedSamples (numSamples) samples whose last value,
        computed by the caller as advance() would, was lastValue. */
    void skip (int numSamples, float lastValue) noexcept
    {
        const int ramped = rampedSamples (numSamples);
        countdown -= ramped;
        current = countdown == 0 ? target : (ramped > 0 ? lastValue : current);
    }
    bool isRamping() const noexcept { return countdown > 0; }

private:
    float current = 0.0f, target = 0.0f, step = 0.0f;
    int rampLength = 0, countdown = 0;
};
