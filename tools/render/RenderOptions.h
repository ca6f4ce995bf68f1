#pragma once

#include "plugin/Parameters.h"

#include <map>

/** What one zeri-render command line asks for. */
struct RenderOptions
{
    juce::File input, output;
    juce::File presetFile, plotFile, jsonFile; // empty when not given
    std::map<Param, float> values; // explicit --<id> options, real units
    int blockSize = 512;
    bool quiet = false;
    bool helpRequested = false;

    /** Reads the arguments after the program name. Relative paths are taken
        from the current folder. On failure returns a one-line message and
        leaves the options half-filled. */
    juce::String parse (const juce::StringArray& args);

    static juce::String usage();

    static constexpr int maxBlockSize = 65536;
};

/** The unit a parameter's values are given in, for messages and summaries. */
juce::String unitOf (Param p);

/** A value with as many decimals as it needs: 0.05, 12000, -36.5. */
juce::String formatNumber (double value);
