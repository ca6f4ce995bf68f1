#pragma once

#include "plugin/PluginProcessor.h"

#include <vector>

/** Everything a restore, a preset or a history step may touch, for before/after
    comparisons. */
struct Snapshot
{
    std::vector<float> values;
    juce::String preset;
    bool isUser, modified, sizeSet;
    float width, height;
    bool canUndo;
    juce::String undoName;

    static Snapshot of (ZeriZaRirodAudioProcessor& p)
    {
        Snapshot s;
        for (auto id : params::all())
            s.values.push_back (p.parameters.getRawParameterValue (params::id (id))->load());
        s.preset = p.getCurrentPresetName();
        s.isUser = p.isCurrentPresetUser();
        s.modified = p.currentPresetModified;
        s.sizeSet = p.savedWindowSizeSet;
        s.width = p.savedWindowWidth;
        s.height = p.savedWindowHeight;
        s.canUndo = p.undoManager.canUndo();
        s.undoName = p.undoManager.getUndoDescription();
        return s;
    }

    bool operator== (const Snapshot& o) const
    {
        return values == o.values && preset == o.preset && isUser == o.isUser && modified == o.modified
               && sizeSet == o.sizeSet && width == o.width && height == o.height && canUndo == o.canUndo
               && undoName == o.undoName;
    }
};

/** What bad input must leave exactly as it was: besides the snapshot, the whole
    history and anything else the full state carries (a host may have stored
    more than we write). */
struct ExactSnapshot
{
    Snapshot basic;
    juce::StringArray undoSteps, redoSteps;
    juce::ValueTree fullState;

    static ExactSnapshot of (ZeriZaRirodAudioProcessor& p)
    {
        return { Snapshot::of (p), p.undoManager.getUndoDescriptions(), p.undoManager.getRedoDescriptions(),
                 p.createFullState() };
    }

    bool operator== (const ExactSnapshot& o) const
    {
        return basic == o.basic && undoSteps == o.undoSteps && redoSteps == o.redoSteps
               && fullState.isEquivalentTo (o.fullState);
    }
};

/** True when every parameter holds a finite value inside its range, the way
    the signal path and the editor expect them. */
inline bool parametersInRange (ZeriZaRirodAudioProcessor& p)
{
    for (auto id : params::all())
    {
        const auto& s = params::info (id);
        const float v = p.parameters.getRawParameterValue (params::id (id))->load();

        if (! std::isfinite (v) || v < s.min || v > s.max)
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
         { std::pair { Param::threshold, 0.2f }, { Param::frequency, 0.7f }, { Param::monitor, 1.0f } })
        p.parameters.getParameter (params::id (id))->setValueNotifyingHost (value);
    p.commitUndoTransactionIfNeeded();

    p.setCurrentPresetInfo ("Heavy Ess", true, true);
    p.savedWindowWidth = 1111.0f;
    p.savedWindowHeight = 700.0f;
    p.savedWindowSizeSet = true;
}
