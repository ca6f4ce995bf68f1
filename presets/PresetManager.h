#pragma once

#include "plugin/AppInfo.h"

#include <juce_data_structures/juce_data_structures.h>

/** The user presets on disk: one XML file per preset in a per-user, per-version
    directory, named after the preset. Holds nothing in memory; every call works
    on the directory as it is now. Message thread only. */
class PresetManager
{
public:
    explicit PresetManager (const AppInfo& productIdentity);

    /** The product's per-version data directory (not created). */
    juce::File getBaseDirectory() const;

    juce::File getPresetDirectory() const;

    /** The file a preset name is stored in (not created). Names that differ only
        in characters unsafe in file names share one file. */
    juce::File getPresetFile (const juce::String& name) const;

    /** True when both names are stored in the same file, letter case ignored. */
    bool isSamePreset (const juce::String& name, const juce::String& otherName) const;

    /** Writes the state under the name, replacing any earlier preset of that name
        only once the new file is complete. */
    bool savePreset (const juce::String& name, const juce::ValueTree& state);

    /** The stored state, or an invalid tree when the file is missing or not XML. */
    juce::ValueTree loadPreset (const juce::String& name) const;

    bool deletePreset (const juce::String& name);

    /** Names found on disk, sorted ignoring case. */
    juce::StringArray getUserPresetNames() const;

    /** Moves a preset to a new name; never replaces another preset. */
    bool renamePreset (const juce::String& oldName, const juce::String& newName);

private:
    AppInfo identity;
};
