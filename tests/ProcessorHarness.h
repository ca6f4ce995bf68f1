#pragma once

#include "plugin/PluginProcessor.h"

#include <map>
#include <memory>
#include <vector>

/** Drives a real processor the way a host does, without a host. */
struct ProcessorHarness
{
    explicit ProcessorHarness (double sampleRate = 48000.0, int numChannels = 2, int maxBlock = 4096)
        : processor (std::make_unique<ZeriZaRirodAudioProcessor>())
    {
        prepare (sampleRate, numChannels, maxBlock);
    }

    void prepare (double sampleRate, int numChannels, int maxBlock = 4096)
    {
        const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        processor->setBusesLayout (layout);
        processor->setRateAndBufferSizeDetails (sampleRate, maxBlock);
        processor->prepareToPlay (sampleRate, maxBlock);
    }

    /** Sets a parameter from its real value, the way a host would. */
    void set (Param p, float value)
    {
        auto* param = processor->parameters.getParameter (params::id (p));
        param->setValueNotifyingHost (param->convertTo0to1 (value));
    }

    float get (Param p) const { return processor->parameters.getRawParameterValue (params::id (p))->load(); }

    /** Processes `audio` in place in consecutive blocks of `blockSize`. */
    void process (juce::AudioBuffer<float>& audio, int blockSize)
    {
        juce::MidiBuffer midi;
        for (int start = 0; start < audio.getNumSamples(); start += blockSize)
        {
            const int n = juce::jmin (blockSize, audio.getNumSamples() - start);
            juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), start, n);
            processor->processBlock (block, midi);
        }
    }

    std::unique_ptr<ZeriZaRirodAudioProcessor> processor;
};
