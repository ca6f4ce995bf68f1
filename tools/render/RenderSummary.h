#pragma once

#include "plugin/Parameters.h"

#include <vector>

/** The figures one render reports, as text for people and JSON for scripts. */
struct RenderSummary
{
    juce::String inputName, outputName;
    double seconds = 0, sampleRate = 0;
    int channels = 0, blockSize = 0;
    juce::String outputFormat; // e.g. "24-bit FLAC"
    std::vector<std::pair<Param, float>> settings;

    float peakReductionDb = 0, meanReductionDb = 0;
    float bandLowHz = 0, bandHighHz = 0;
    double bandBeforeDb = 0, bandAfterDb = 0; // minus infinity for silence
    double belowBeforeDb = 0, belowAfterDb = 0;
    juce::int64 clippedSamples = 0;
    double speed = 0; // seconds of audio per second of rendering

    juce::String toText() const;
    juce::String toJson() const;

    /** The settings in one line, e.g. "threshold -30 dB, range 8 dB". */
    juce::String settingsText (const std::vector<Param>& which) const;
};
