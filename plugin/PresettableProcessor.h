#pragma once

#include <juce_core/juce_core.h>

/** What the top bar needs from the processor: presets, the current preset and
    history, without knowing the processor class. Called on the message thread. */
class PresettableProcessor
{
public:
    virtual ~PresettableProcessor() = default;

    virtual juce::StringArray getFactoryPresetNames() const = 0;
    virtual juce::StringArray getUserPresetNames() const = 0;
    virtual void applyFactoryPreset (const juce::String& name) = 0;
    virtual bool saveUserPreset (const juce::String& name) = 0;
    virtual bool loadUserPreset (const juce::String& name) = 0;
    virtual bool deleteUserPreset (const juce::String& name) = 0;
    virtual bool renameUserPreset (const juce::String& oldName, const juce::String& newName) = 0;
    virtual juce::String getCurrentPresetName() const = 0;
    virtual juce::String getCurrentPresetDisplayName() const = 0;
    virtual bool isCurrentPresetUser() const = 0;
    virtual bool canUndo() const = 0;
    virtual bool canRedo() const = 0;
    virtual void performUndo() = 0;
    virtual void performRedo() = 0;
};
