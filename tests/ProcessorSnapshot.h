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
