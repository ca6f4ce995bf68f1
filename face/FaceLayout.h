#pragma once

#include <juce_graphics/juce_graphics.h>

#include <array>

/** Where everything on the main face sits for a face of W x H pixels, in
    unrounded pixels. Knob-shaped arrays are in the face's knob order (Amount,
    Threshold, Attack, Release, Frequency, Focus, Range, Mix). */
struct FaceLayout
{
    static FaceLayout forSize (float W, float H);

    juce::Rectangle<float> plate, inner, body;
    juce::Rectangle<float> power, meter, monitor;
    std::array<juce::Rectangle<float>, 8> knobs, titles, values;
};
