#pragma once

#include "PluginHost.h"
#include "ProcessorHarness.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

inline void PrintTo (HostedFormat format, std::ostream* os) { *os << toString (format); }

/** What the host tests share: driving a hosted instance and the in-process
    processor side by side, block for block. */
namespace hosted
{
inline const auto formats = ::testing::Values (HostedFormat::vst3, HostedFormat::lv2);

inline std::string formatName (const ::testing::TestParamInfo<HostedFormat>& info)
{
    return toString (info.param).toStdString();
}

/** The identity a host stores for one of our parameters: the VST3 wrapper
    hashes the ID (top bit clear, as some hosts need); JUCE's LV2 hosting names
    the patch parameter by its URI. */
inline juce::String hostId (HostedFormat format, Param p)
{
    if (format == HostedFormat::vst3)
        return juce::String ((juce::uint32) params::id (p).hashCode() & 0x7fffffffu);

    return "des:" ZERI_LV2_URI ":" + params::id (p);
}

inline HostedFormat formatOf (const juce::AudioPluginInstance& instance)
{
    return instance.getPluginDescription().pluginFormatName == "VST3" ? HostedFormat::vst3 : HostedFormat::lv2;
}

/** The hosted object of one of our parameters, found by the identity hosts
    store (JUCE's LV2 hosting does not keep the plug-in's order). */
inline juce::AudioProcessorParameter& param (juce::AudioPluginInstance& instance, Param p)
{
    const auto wanted = hostId (formatOf (instance), p);

    for (auto* candidate : instance.getParameters())
        if (auto* hp = dynamic_cast<juce::HostedAudioProcessorParameter*> (candidate))
            if (hp->getParameterID() == wanted)
                return *candidate;

    throw std::runtime_error ("no hosted parameter " + wanted.toStdString());
}

/** A value as a user types it into a host's generic controls. */
inline juce::String typedText (Param p, float real)
{
    if (params::info (p).isSwitch)
        return real >= 0.5f ? "On" : "Off";

    return juce::String (real);
}

/** Sets a hosted parameter through the host's own text-to-value mapping: VST3
    asks the plug-in, LV2 maps linearly over the port's declared range. */
inline void setHosted (juce::AudioPluginInstance& instance, Param p, float real)
{
    auto& hp = param (instance, p);
    hp.setValueNotifyingHost (hp.getValueForText (typedText (p, real)));
}

/** A random value on the parameter's own grid, so every path lands on it exactly. */
inline float gridValue (Param p, juce::Random& rng)
{
    const auto& s = params::info (p);

    if (s.isSwitch)
        return rng.nextFloat() < (p == Param::power ? 0.8f : 0.3f) ? 1.0f : 0.0f;

    const int steps = juce::roundToInt ((s.max - s.min) / s.interval);
    return s.min + s.interval * (float) rng.nextInt (steps + 1);
}

/** Block sizes covering `numSamples`: all `fixed`, or a new size on every call
    when `fixed` is 0. */
inline std::vector<int> blockPlan (int numSamples, int fixed)
{
    std::vector<int> plan;
    juce::Random rng (7);

    for (int done = 0; done < numSamples;)
    {
        const int wanted = fixed > 0 ? fixed : 1 + rng.nextInt (rng.nextBool() ? 64 : 4096);
        plan.push_back (juce::jmin (wanted, numSamples - done));
        done += plan.back();
    }
    return plan;
}

/** Processes `audio` in place through both processors in the same blocks;
    `beforeBlock (start)` runs ahead of each block, where a host automates. */
inline std::pair<juce::AudioBuffer<float>, juce::AudioBuffer<float>>
runSideBySide (juce::AudioProcessor& hostedProc, juce::AudioProcessor& reference, const juce::AudioBuffer<float>& input,
               const std::vector<int>& plan, const std::function<void (int)>& beforeBlock = {})
{
    juce::AudioBuffer<float> a (input), b (input);
    juce::MidiBuffer midi;
    int start = 0;

    for (const int n : plan)
    {
        if (beforeBlock)
            beforeBlock (start);

        juce::AudioBuffer<float> blockA (a.getArrayOfWritePointers(), a.getNumChannels(), start, n);
        juce::AudioBuffer<float> blockB (b.getArrayOfWritePointers(), b.getNumChannels(), start, n);
        hostedProc.processBlock (blockA, midi);
        reference.processBlock (blockB, midi);
        start += n;
    }
    return { std::move (a), std::move (b) };
}

/** One block of silence, as a running host's audio engine would process. LV2
    carries parameter changes both ways as messages inside the processing call,
    so only after it has run do the plug-in and the host's parameter objects
    agree (VST3 hosting does not need this). */
inline void settle (juce::AudioProcessor& p)
{
    juce::AudioBuffer<float> silence (2, 64);
    silence.clear();
    juce::MidiBuffer midi;
    p.processBlock (silence, midi);
}

inline float maxDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float worst = 0.0f;
    for (int c = 0; c < a.getNumChannels(); ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
        {
            const float d = std::abs (a.getSample (c, i) - b.getSample (c, i));
            if (!(d <= worst)) // a NaN must not slip through
                worst = d;
        }
    return worst;
}
} // namespace hosted
