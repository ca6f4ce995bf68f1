#include "presets/FactoryPresets.h"

namespace
{
// clang-format off
constexpr std::array<FactoryPreset, 7> table {{
    // name                 amount threshold attack release frequency focus range mix
    { "Natural Vocal",      48.0f, -28.0f,   0.45f, 82.0f,  6200.0f,  46.0f, 6.5f,  100.0f },
    { "Bright Pop",         64.0f, -31.5f,   0.2f,  58.0f,  7600.0f,  68.0f, 9.0f,  100.0f },
    { "Dialogue Clean",     54.0f, -26.0f,   0.55f, 105.0f, 5200.0f,  38.0f, 7.0f,  100.0f },
    { "Air Keeper",         38.0f, -23.0f,   0.8f,  110.0f, 8000.0f,  86.0f, 4.5f,  90.0f  },
    { "Heavy Ess",          78.0f, -36.0f,   0.12f, 48.0f,  6800.0f,  62.0f, 15.0f, 100.0f },
    { "Smooth Bus",         32.0f, -21.0f,   0.7f,  130.0f, 5900.0f,  35.0f, 3.5f,  72.0f  },
    { "Acoustic Control",   44.0f, -25.0f,   0.45f, 95.0f,  5000.0f,  32.0f, 5.5f,  95.0f  },
}};
// clang-format on
} // namespace

float FactoryPreset::valueOf (Param p) const
{
    switch (p)
    {
        case Param::power: return 1.0f;
        case Param::amount: return amount;
        case Param::threshold: return threshold;
        case Param::attack: return attack;
        case Param::release: return release;
        case Param::frequency: return frequency;
        case Param::focus: return focus;
        case Param::range: return range;
        case Param::mix: return mix;
        case Param::monitor: return 0.0f;
    }

    return 0.0f;
}

namespace factoryPresets
{
juce::StringArray names()
{
    juce::StringArray result;

    for (const auto& preset : table)
        result.add (preset.name);

    return result;
}

const FactoryPreset& find (const juce::String& name)
{
    for (const auto& preset : table)
        if (name == preset.name)
            return preset;

    return table.front();
}
} // namespace factoryPresets
