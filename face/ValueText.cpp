#include "face/ValueText.h"

#include <cmath>

namespace valueText
{
juce::String format (Format format, double value)
{
    const auto v = (float) value;

    switch (format)
    {
        case Format::percent:
            return juce::String ((int) std::nearbyint (v)) + "%";
        case Format::decibels:
            return juce::String (value, 1) + " dB";
        case Format::milliseconds:
            return juce::String (v, v < 1.0f ? 2 : 1) + " ms";
        case Format::kilohertz:
            return juce::String (v / 1000.0f, 1) + " kHz";
    }

    return {};
}

double parseDigits (const juce::String& text)
{
    // The framework reads "nan" and "inf" as numbers; a NaN would pass the
    // slider's clamp and reach the parameter. Not a number means unreadable.
    const auto value = text.retainCharacters ("0123456789.-").getDoubleValue();
    return std::isfinite (value) ? value : 0.0;
}

double parseFrequency (const juce::String& text)
{
    const auto t = text.trim().toLowerCase();

    if (t.containsChar ('k'))
    {
        const auto hz = t.upToFirstOccurrenceOf ("k", false, false).getDoubleValue() * 1000.0;
        return std::isfinite (hz) ? hz : 0.0;
    }

    return parseDigits (t);
}
} // namespace valueText
