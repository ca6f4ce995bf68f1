#pragma once

#include <juce_graphics/juce_graphics.h>

/** The default typeface at a pixel height in a named style ("Medium", "Bold").

    Where the installed default family has no face of that style, the nearest
    one it does have is used: a regular face for "Medium", a semi-bold or the
    synthesised bold for "Bold". */
juce::Font vellFont (float heightInPixels, const juce::String& style);
