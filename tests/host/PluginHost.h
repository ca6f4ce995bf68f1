#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** The two shipped plug-in formats a host on this platform loads. */
enum class HostedFormat
{
    vst3,
    lv2
};

/** Loads the bundles this build produced through JUCE's own hosting classes,
    the way a DAW built on them would. Lives on the message thread for the whole
    test run: hosted modules stay loaded until it goes. */
class PluginHost
{
public:
    PluginHost();

    /** A new, prepared, stereo instance; fails the calling test if loading fails. */
    std::unique_ptr<juce::AudioPluginInstance> create (HostedFormat format, double sampleRate = 48000.0,
                                                       int maxBlock = 4096);

    const juce::PluginDescription& description (HostedFormat format) const;

    /** The one host for the run, made by main() once HOME points at the test folder. */
    static PluginHost& get();
    static void setCurrent (PluginHost*);

private:
    juce::AudioPluginFormatManager formats;
    juce::PluginDescription vst3, lv2;

    JUCE_DECLARE_NON_COPYABLE (PluginHost)
};

juce::String toString (HostedFormat);
