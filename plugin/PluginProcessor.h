#pragma once

#include "plugin/AppInfo.h"
#include "plugin/DeEsser.h"
#include "plugin/Parameters.h"
#include "plugin/PresettableProcessor.h"
#include "presets/PresetManager.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>

class ZeriZaRirodAudioProcessor : public juce::AudioProcessor,
                                  public PresettableProcessor,
                                  public juce::AudioProcessorValueTreeState::Listener
{
public:
    ZeriZaRirodAudioProcessor();
    ~ZeriZaRirodAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    bool hasEditor() const override;
    juce::AudioProcessorEditor* createEditor() override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int) override;
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    juce::StringArray getFactoryPresetNames() const override;
    juce::StringArray getUserPresetNames() const override;
    void applyFactoryPreset (const juce::String& name) override;
    bool saveUserPreset (const juce::String& name) override;
    bool loadUserPreset (const juce::String& name) override;
    bool deleteUserPreset (const juce::String& name) override;
    bool renameUserPreset (const juce::String& oldName, const juce::String& newName) override;
    juce::String getCurrentPresetName() const override;
    juce::String getCurrentPresetDisplayName() const override;
    bool isCurrentPresetUser() const override;
    bool canUndo() const override;
    bool canRedo() const override;
    void performUndo() override;
    void performRedo() override;

    void parameterChanged (const juce::String& parameterID, float newValue) override;

    //==============================================================================
    /** Clears filter and envelope memories and restarts the smoothers at the
        present parameter values; with Power on the effect fades in from dry. */
    void resetDSP();

    /** Parameters plus the current preset and the saved window size. */
    juce::ValueTree createFullState();

    /** Applies a full-state tree atomically with respect to audio processing. */
    void restoreFullState (const juce::ValueTree& tree, bool restorePresetRecord);

    void setCurrentPresetInfo (const juce::String& name, bool isUser, bool modified);

    void beginUndoTransaction (const juce::String& name);
    void commitUndoTransactionIfNeeded();

    juce::AudioProcessorValueTreeState parameters;
    double currentSampleRate = 44100.0;
    std::atomic<float> gainReductionDb { 0.0f };
    std::atomic<bool> savedWindowSizeSet { false };
    std::atomic<float> savedWindowWidth { 980.0f };
    std::atomic<float> savedWindowHeight { 620.0f };

    /** Odd while a whole state is being replaced, even otherwise; changes only
        under the callback lock. Whoever holds that lock can tell which state a
        block is processed with, and that none is half applied. */
    std::atomic<uint32_t> stateGeneration { 0 };

private:
    DeEsser::Targets readTargets() const noexcept;

    /** True when the current preset is a user preset stored in the file of `name`. */
    bool isCurrentUserPreset (const juce::String& name) const;

    /** Undo or redo one step as a whole: any half-made transaction is dropped and
        the restored record decides the modified mark. */
    void stepThroughHistory (bool (juce::UndoManager::*step)());

    DeEsser deEsser;
    std::array<std::atomic<float>*, numParams> rawValues {};

    PresetManager presetManager;

public:
    juce::UndoManager undoManager;

private:
    juce::CriticalSection stateLock;
    juce::String currentPresetName { "Presets" };
    bool currentPresetIsUser = false;

public:
    std::atomic<bool> currentPresetModified { false };
    std::atomic<bool> suppressModified { false };
    std::atomic<bool> undoRedoInProgress { false };

private:
    bool transactionOpen = false;
    juce::ValueTree pendingBeforeState;

public:
    const AppInfo appInfo;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZeriZaRirodAudioProcessor)
};
