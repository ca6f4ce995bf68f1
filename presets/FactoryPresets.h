#pragma once

#include "plugin/Parameters.h"

/** One built-in preset: values for the eight continuous parameters, in their own
    units. Every preset also switches the effect on and Listen Removed off. */
struct FactoryPreset
{
    const char* name;
    float amount, threshold, attack, release, frequency, focus, range, mix;

    /** The real value this preset gives `p`. */
    float valueOf (Param p) const;
};

namespace factoryPresets
{
/** The names in menu order. */
juce::StringArray names();

/** The preset named exactly `name` (letter case included); any other name gets
    the first preset's values. */
const FactoryPreset& find (const juce::String& name);
} // namespace factoryPresets
