#pragma once

#include <juce_core/juce_core.h>

/** How a knob's value reads in its value label, and how typed text becomes a value. */
namespace valueText
{
enum class Format
{
    percent,
    decibels,
    milliseconds,
    kilohertz
};

juce::String format (Format format, double value);

/** Keeps digits, '.' and '-' in their order and reads a number from them;
    nothing readable gives 0 ("1,5" reads 15). */
double parseDigits (const juce::String& text);

/** Hertz from text; anything with a 'k' is kilohertz ("6.5k", "6.5 kHz"). */
double parseFrequency (const juce::String& text);
} // namespace valueText
