#pragma once

#include "plugin/PluginProcessor.h"

/** Everything a failed restore or load must leave alone: the full-state tree
    (parameters, preset record, saved window size, anything a host stored with
    them) and the whole undo history. */
struct ProcessorSnapshot
{
    juce::ValueTree state;
    juce::StringArray undoSteps, redoSteps;

    static ProcessorSnapshot of (ZeriZaRirodAudioProcessor& p)
    {
        return { p.createFullState(), p.undoManager.getUndoDescriptions(), p.undoManager.getRedoDescriptions() };
    }

    bool operator== (const ProcessorSnapshot& o) const
    {
        return state.isEquivalentTo (o.state) && undoSteps == o.undoSteps && redoSteps == o.redoSteps;
    }
};

/** True when every parameter holds a finite value inside its range, the way
    the signal path and the editor expect them. */
inline bool parametersInRange (ZeriZaRirodAudioProcessor& p)
{
    for (auto id : params::all())
    {
        const auto& s = params::spec (id);
        const float v = p.parameters.getRawParameterValue (params::id (id))->load();

        if (!std::isfinite (v) || v < s.min || v > s.max)
            return false;

        if (s.isSwitch && v != 0.0f && v != 1.0f)
            return false;
    }
    return true;
}

/** A prepared processor away from every default, with one undo step, so that
    any change a rejected input makes shows in its snapshot. */
inline void prepareDistinct (ZeriZaRirodAudioProcessor& p)
{
    p.prepareToPlay (48000.0, 512);

    p.beginUndoTransaction ("Edit Vell");
    for (auto [id, value] :
         { std::pair{ Param::threshold, 0.2f }, { Param::frequency, 0.7f }, { Param::monitor, 1.0f } })
        p.parameters.getParameter (params::id (id))->setValueNotifyingHost (value);
    p.commitUndoTransactionIfNeeded();

    p.setCurrentPresetInfo ("Heavy Ess", true, true);
    p.savedWindowWidth = 1111.0f;
    p.savedWindowHeight = 700.0f;
    p.savedWindowSizeSet = true;
}
