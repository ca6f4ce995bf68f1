#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

/** The ten host parameters, in host order. Each is described once in the table
    behind `info()`; code names a parameter by this enum and never retypes its ID. */
enum class Param
{
    power,
    amount,
    threshold,
    attack,
    release,
    frequency,
    focus,
    range,
    mix,
    monitor
};

inline constexpr int numParams = 10;

struct ParamSpec
{
    const char* id;
    const char* name;
    bool isSwitch;
    float min, max, interval, skew; // unused for switches
    float defaultValue;             // real units; 0 or 1 for switches
};

namespace params
{
const ParamSpec& info (Param p);
juce::String id (Param p);
Param fromIndex (int hostIndex);
const std::array<Param, numParams>& all();

/** The flat host layout: the ten parameter objects in host order. */
juce::AudioProcessorValueTreeState::ParameterLayout createLayout();

/** The range a float parameter's knob and host text use. */
juce::NormalisableRange<float> range (Param p);
} // namespace params
