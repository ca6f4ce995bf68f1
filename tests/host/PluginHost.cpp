#include "PluginHost.h"

#include <gtest/gtest.h>

namespace
{
PluginHost* current = nullptr;

juce::PluginDescription findOne (juce::AudioPluginFormat& format, const juce::String& fileOrIdentifier)
{
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, fileOrIdentifier);
    return found.isEmpty() ? juce::PluginDescription() : *found.getFirst();
}
} // namespace

PluginHost::PluginHost()
{
    auto* vst3Format = new juce::VST3PluginFormat();
    auto* lv2Format = new juce::LV2PluginFormat();
    formats.addFormat (vst3Format);
    formats.addFormat (lv2Format);

    // The build leaves the VST3 binary in Contents/<arch> inside the bundle.
    const auto vst3Bundle = juce::File (ZERI_VST3_BINARY_DIR).getParentDirectory().getParentDirectory();
    vst3 = findOne (*vst3Format, vst3Bundle.getFullPathName());
    lv2 = findOne (*lv2Format, ZERI_LV2_URI);
}

std::unique_ptr<juce::AudioPluginInstance> PluginHost::create (HostedFormat format, double sampleRate, int maxBlock)
{
    const auto& desc = description (format);
    juce::String error;
    auto instance = formats.createPluginInstance (desc, sampleRate, maxBlock, error);

    if (instance == nullptr)
    {
        ADD_FAILURE() << "cannot load " << toString (format) << ": " << error;
        return nullptr;
    }

    instance->enableAllBuses();
    instance->setRateAndBufferSizeDetails (sampleRate, maxBlock);
    instance->prepareToPlay (sampleRate, maxBlock);
    return instance;
}

const juce::PluginDescription& PluginHost::description (HostedFormat format) const
{
    return format == HostedFormat::vst3 ? vst3 : lv2;
}

PluginHost& PluginHost::get()
{
    jassert (current != nullptr);
    return *current;
}

void PluginHost::setCurrent (PluginHost* host) { current = host; }

juce::String toString (HostedFormat format) { return format == HostedFormat::vst3 ? "VST3" : "LV2"; }
