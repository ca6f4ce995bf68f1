#include "plugin/Parameters.h"

namespace
{
// clang-format off
constexpr std::array<ParamSpec, numParams> table {{
    // id           name              switch  min     max      interval skew  default
    { "power",     "Power",          true,   0.0f,   1.0f,    1.0f,    1.0f,  1.0f    },
    { "amount",    "Amount",         false,  0.0f,   100.0f,  0.1f,    1.0f,  50.0f   },
    { "threshold", "Threshold",      false,  -54.0f, 0.0f,    0.1f,    1.0f,  -30.0f  },
    { "attack",    "Attack",         false,  0.05f,  20.0f,   0.01f,   0.3f,  0.32f   },
    { "release",   "Release",        false,  10.0f,  300.0f,  0.1f,    0.35f, 48.0f   },
    { "frequency", "Frequency",      false,  2500.0f,12000.0f,1.0f,    0.35f, 6500.0f },
    { "focus",     "Focus",          false,  0.0f,   100.0f,  0.1f,    1.0f,  50.0f   },
    { "range",     "Range",          false,  0.0f,   36.0f,   0.1f,    1.0f,  8.0f    },
    { "mix",       "Mix",            false,  0.0f,   100.0f,  0.1f,    1.0f,  100.0f  },
    { "monitor",   "Listen Removed", true,   0.0f,   1.0f,    1.0f,    1.0f,  0.0f    },
}};
// clang-format on

constexpr std::array<Param, numParams> order { Param::power,  Param::amount,    Param::threshold, Param::attack,
                                               Param::release, Param::frequency, Param::focus,     Param::range,
                                               Param::mix,    Param::monitor };
} // namespace

namespace params
{
const ParamSpec& info (Param p) { return table[(size_t) p]; }

juce::String id (Param p) { return info (p).id; }

Param fromIndex (int hostIndex) { return order[(size_t) hostIndex]; }

const std::array<Param, numParams>& all() { return order; }

juce::NormalisableRange<float> range (Param p)
{
    const auto& s = info (p);
    return { s.min, s.max, s.interval, s.skew };
}

juce::AudioProcessorValueTreeState::ParameterLayout createLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    for (auto p : order)
    {
        const auto& s = info (p);
        const juce::ParameterID pid { s.id, 1 };

        if (s.isSwitch)
            layout.add (std::make_unique<juce::AudioParameterBool> (pid, s.name, s.defaultValue >= 0.5f));
        else
            layout.add (std::make_unique<juce::AudioParameterFloat> (pid, s.name, range (p), s.defaultValue));
    }

    return layout;
}
} // namespace params
