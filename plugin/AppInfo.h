#pragma once

#include <juce_core/juce_core.h>

/** Product identity and the window proportions the editor sizes itself from.
    Every instance holds the same values. */
struct AppInfo
{
    AppInfo();

    juce::String productName;
    juce::String version;
    juce::String folderName;

    float windowHeightFraction; // of the display's user-area height
    float windowAspectRatio;    // width / height
    float topBarHeightFraction; // of the window height
    float minWindowWidth;       // px
    float maxWindowWidth;       // px
};
