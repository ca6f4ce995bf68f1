#pragma once

#include <juce_graphics/juce_graphics.h>

#include <cmath>

/** Each of x, y, width and height to the nearest whole pixel, halves away from zero. */
inline juce::Rectangle<int> roundedToPixels (juce::Rectangle<float> r)
{
    return { (int) std::lround (r.getX()), (int) std::lround (r.getY()), (int) std::lround (r.getWidth()),
             (int) std::lround (r.getHeight()) };
}

/** Each of x, y, width and height truncated toward zero. */
inline juce::Rectangle<int> truncatedToPixels (juce::Rectangle<float> r)
{
    return { (int) r.getX(), (int) r.getY(), (int) r.getWidth(), (int) r.getHeight() };
}
