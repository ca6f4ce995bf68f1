#pragma once

#include "plugin/PluginProcessor.h"

/** Power counts as on from half its raw value up; everything drawn differently
    with Power off asks this. */
inline bool isPowerOn (const ZeriZaRirodAudioProcessor& processor)
{
    return processor.parameters.getRawParameterValue (params::id (Param::power))->load() >= 0.5f;
}
