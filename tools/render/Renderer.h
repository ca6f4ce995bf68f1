#pragma once

#include "tools/render/RenderOptions.h"
#include "tools/render/RenderSummary.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>

class ZeriZaRirodAudioProcessor;

/** Runs the real processor over an audio file the way a host renders a track,
    and writes OUT (and the plot and JSON when asked) only once each is complete. */
class Renderer
{
public:
    explicit Renderer (const RenderOptions& options);
    ~Renderer();

    /** Checks the input, the preset and every output before anything is written. */
    juce::Result open();

    /** Renders into temporary files beside the outputs, then moves them into
        place. `progress` is called with 0..1 and returns false to abandon the
        render, which leaves every earlier output untouched. */
    juce::Result render (const std::function<bool (double)>& progress);

    const RenderSummary& getSummary() const { return summary; }

    /** Notes for the user, e.g. a bit depth the output format cannot hold. */
    const juce::StringArray& getNotes() const { return notes; }

private:
    std::unique_ptr<ZeriZaRirodAudioProcessor> createProcessor() const;
    juce::Result checkOutputs() const;

    RenderOptions options;
    juce::AudioFormatManager formats;
    std::unique_ptr<juce::AudioFormatReader> reader;
    juce::AudioFormat* outputFormat = nullptr;
    int outputBits = 0;
    juce::ValueTree presetState;
    RenderSummary summary;
    juce::StringArray notes;
};
