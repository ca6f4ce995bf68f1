#include "plugin/PluginProcessor.h"

#include "presets/FactoryPresets.h"
#include "presets/FullStateUndoAction.h"

namespace
{
const juce::Identifier presetNameKey { "uiCurrentPresetName" };
const juce::Identifier presetIsUserKey { "uiCurrentPresetIsUser" };
const juce::Identifier presetModifiedKey { "uiCurrentPresetModified" };
const juce::Identifier windowWidthKey { "uiSavedWindowWidth" };
const juce::Identifier windowHeightKey { "uiSavedWindowHeight" };
const juce::Identifier windowSizeSetKey { "uiSavedWindowSizeSet" };
const juce::String noPresetName { "Presets" };
} // namespace

ZeriZaRirodAudioProcessor::ZeriZaRirodAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      parameters (*this, nullptr, "PARAMETERS", params::createLayout()),
      // appInfo is built after this member; every AppInfo holds the same identity.
      presetManager (AppInfo())
{
    for (auto p : params::all())
        rawValues[(size_t) p] = parameters.getRawParameterValue (params::id (p));

    for (auto p : params::all())
        parameters.addParameterListener (params::id (p), this);
}

ZeriZaRirodAudioProcessor::~ZeriZaRirodAudioProcessor()
{
    for (auto p : params::all())
        parameters.removeParameterListener (params::id (p), this);
}

//==============================================================================
const juce::String ZeriZaRirodAudioProcessor::getName() const { return "Zeri Za-Rirod"; }

double ZeriZaRirodAudioProcessor::getTailLengthSeconds() const { return 0.05; }
bool ZeriZaRirodAudioProcessor::acceptsMidi() const { return false; }
bool ZeriZaRirodAudioProcessor::producesMidi() const { return false; }
bool ZeriZaRirodAudioProcessor::isMidiEffect() const { return false; }

// Hosts show their generic controls until the editor exists.
bool ZeriZaRirodAudioProcessor::hasEditor() const { return false; }
juce::AudioProcessorEditor* ZeriZaRirodAudioProcessor::createEditor() { return nullptr; }

int ZeriZaRirodAudioProcessor::getNumPrograms() { return 1; }
int ZeriZaRirodAudioProcessor::getCurrentProgram() { return 0; }
void ZeriZaRirodAudioProcessor::setCurrentProgram (int) {}
const juce::String ZeriZaRirodAudioProcessor::getProgramName (int) { return {}; }
void ZeriZaRirodAudioProcessor::changeProgramName (int, const juce::String&) {}

bool ZeriZaRirodAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto out = layouts.getMainOutputChannelSet();

    if (out != juce::AudioChannelSet::mono() && out != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == out;
}

//==============================================================================
DeEsser::Targets ZeriZaRirodAudioProcessor::readTargets() const noexcept
{
    const auto value = [this] (Param p) {
        const auto* raw = rawValues[(size_t) p];
        return raw != nullptr ? raw->load (std::memory_order_relaxed) : 0.0f;
    };
    const auto onOff = [&] (Param p) { return value (p) >= 0.5f ? 1.0f : 0.0f; };

    DeEsser::Targets t;
    t.amount = value (Param::amount);
    t.threshold = value (Param::threshold);
    t.attack = value (Param::attack);
    t.release = value (Param::release);
    t.frequency = value (Param::frequency);
    t.focus = value (Param::focus);
    t.range = value (Param::range);
    t.mix = value (Param::mix);
    t.power = onOff (Param::power);
    t.monitor = onOff (Param::monitor);
    return t;
}

void ZeriZaRirodAudioProcessor::prepareToPlay (double sampleRate, int)
{
    currentSampleRate = sampleRate;
    deEsser.prepare (sampleRate);
    resetDSP();
}

void ZeriZaRirodAudioProcessor::releaseResources() {}

void ZeriZaRirodAudioProcessor::resetDSP()
{
    deEsser.reset (readTargets());
    gainReductionDb.store (0.0f);
}

void ZeriZaRirodAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int numIn = getTotalNumInputChannels();
    const int numOut = getTotalNumOutputChannels();
    const int numSamples = buffer.getNumSamples();

    for (int ch = numIn; ch < numOut; ++ch)
        buffer.clear (ch, 0, numSamples);

    const int processed = juce::jmin (numIn, 2, buffer.getNumChannels());
    const float reduction = deEsser.process (buffer.getArrayOfWritePointers(), processed, numSamples, readTargets());
    gainReductionDb.store (reduction);
}

//==============================================================================
juce::ValueTree ZeriZaRirodAudioProcessor::createFullState()
{
    auto tree = parameters.copyState();

    {
        const juce::ScopedLock sl (stateLock);
        tree.setProperty (presetNameKey, currentPresetName, nullptr);
        tree.setProperty (presetIsUserKey, currentPresetIsUser, nullptr);
    }

    tree.setProperty (presetModifiedKey, currentPresetModified.load(), nullptr);
    tree.setProperty (windowWidthKey, (double) savedWindowWidth.load(), nullptr);
    tree.setProperty (windowHeightKey, (double) savedWindowHeight.load(), nullptr);
    tree.setProperty (windowSizeSetKey, savedWindowSizeSet.load(), nullptr);
    return tree;
}

void ZeriZaRirodAudioProcessor::restoreFullState (const juce::ValueTree& tree, bool restorePresetRecord)
{
    if (! tree.isValid())
        return;

    const juce::ScopedLock audioLock (getCallbackLock());

    const auto name = tree.getProperty (presetNameKey, noPresetName).toString();
    const bool isUser = tree.getProperty (presetIsUserKey, false);
    const bool modified = tree.getProperty (presetModifiedKey, false);
    const bool sizeSet = tree.getProperty (windowSizeSetKey, false);
    const double width = tree.getProperty (windowWidthKey, (double) savedWindowWidth.load());
    const double height = tree.getProperty (windowHeightKey, (double) savedWindowHeight.load());

    suppressModified = true;
    parameters.replaceState (tree.createCopy());
    suppressModified = false;

    if (restorePresetRecord)
        setCurrentPresetInfo (name, isUser, modified);

    if (sizeSet)
    {
        savedWindowWidth = (float) width;
        savedWindowHeight = (float) height;
        savedWindowSizeSet = true;
    }
    else
    {
        savedWindowSizeSet = false;
    }

    resetDSP();
}

void ZeriZaRirodAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto tree = createFullState();

    if (! tree.isValid())
        return;

    if (auto xml = tree.createXml())
        copyXmlToBinary (*xml, destData);
}

void ZeriZaRirodAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr)
        return;

    restoreFullState (juce::ValueTree::fromXml (*xml), true);

    pendingBeforeState = {};
    transactionOpen = false;
    undoManager.clearUndoHistory();
}

//==============================================================================
void ZeriZaRirodAudioProcessor::setCurrentPresetInfo (const juce::String& name, bool isUser, bool modified)
{
    {
        const juce::ScopedLock sl (stateLock);
        currentPresetName = name.isEmpty() ? noPresetName : name;
        currentPresetIsUser = isUser;
    }
    currentPresetModified = modified;
}

juce::String ZeriZaRirodAudioProcessor::getCurrentPresetName() const
{
    const juce::ScopedLock sl (stateLock);
    return currentPresetName;
}

bool ZeriZaRirodAudioProcessor::isCurrentPresetUser() const
{
    const juce::ScopedLock sl (stateLock);
    return currentPresetIsUser;
}

juce::String ZeriZaRirodAudioProcessor::getCurrentPresetDisplayName() const
{
    const bool modified = currentPresetModified.load();
    juce::String name;
    {
        const juce::ScopedLock sl (stateLock);
        name = currentPresetName;
    }

    if (name.isEmpty())
        name = noPresetName;

    return modified ? name + " *" : name;
}

//==============================================================================
juce::StringArray ZeriZaRirodAudioProcessor::getFactoryPresetNames() const { return factoryPresets::names(); }

void ZeriZaRirodAudioProcessor::applyFactoryPreset (const juce::String& name)
{
    beginUndoTransaction ("Factory Preset");

    {
        // Audio waits until all ten values, the record and the reset are in place,
        // so no block runs with half of a preset.
        const juce::ScopedLock audioLock (getCallbackLock());
        const auto& preset = factoryPresets::find (name);

        suppressModified = true;

        for (auto p : params::all())
        {
            if (auto* param = parameters.getParameter (params::id (p)))
            {
                const auto normalised = param->convertTo0to1 (preset.valueOf (p));
                param->setValue (normalised);
                param->sendValueChangedMessageToListeners (normalised);
            }
        }

        suppressModified = false;
        setCurrentPresetInfo (name, false, false);
        resetDSP();
    }

    commitUndoTransactionIfNeeded();
}

//==============================================================================
juce::StringArray ZeriZaRirodAudioProcessor::getUserPresetNames() const { return presetManager.getUserPresetNames(); }

bool ZeriZaRirodAudioProcessor::saveUserPreset (const juce::String& name)
{
    if (! presetManager.savePreset (name, createFullState()))
        return false;

    setCurrentPresetInfo (name, true, false);
    return true;
}

bool ZeriZaRirodAudioProcessor::loadUserPreset (const juce::String& name)
{
    const auto tree = presetManager.loadPreset (name);

    if (! tree.isValid())
        return false;

    beginUndoTransaction ("Load User Preset");
    restoreFullState (tree, false);
    setCurrentPresetInfo (name, true, false);
    commitUndoTransactionIfNeeded();
    return true;
}

bool ZeriZaRirodAudioProcessor::deleteUserPreset (const juce::String& name)
{
    if (! presetManager.deletePreset (name))
        return false;

    if (isCurrentUserPreset (name))
        setCurrentPresetInfo (noPresetName, false, false);

    return true;
}

bool ZeriZaRirodAudioProcessor::renameUserPreset (const juce::String& oldName, const juce::String& newName)
{
    if (! presetManager.renamePreset (oldName, newName))
        return false;

    // The settings are untouched by a rename, so an unsaved edit stays marked.
    if (isCurrentUserPreset (oldName))
        setCurrentPresetInfo (newName, true, currentPresetModified.load());

    return true;
}

bool ZeriZaRirodAudioProcessor::isCurrentUserPreset (const juce::String& name) const
{
    juce::String current;
    {
        const juce::ScopedLock sl (stateLock);

        if (! currentPresetIsUser)
            return false;

        current = currentPresetName;
    }

    return presetManager.isSamePreset (current, name);
}

//==============================================================================
void ZeriZaRirodAudioProcessor::beginUndoTransaction (const juce::String& name)
{
    // Transactions do not nest: the first one keeps its name and its starting state.
    if (undoRedoInProgress || transactionOpen)
        return;

    undoManager.beginNewTransaction (name);
    pendingBeforeState = createFullState();
    transactionOpen = true;
}

void ZeriZaRirodAudioProcessor::commitUndoTransactionIfNeeded()
{
    if (! transactionOpen)
        return;

    const auto before = std::exchange (pendingBeforeState, {});
    transactionOpen = false;

    if (! before.isValid())
        return;

    const auto after = createFullState();

    if (after.isEquivalentTo (before))
        return;

    undoManager.perform (new FullStateUndoAction (*this, before, after));
}

bool ZeriZaRirodAudioProcessor::canUndo() const { return undoManager.canUndo(); }
bool ZeriZaRirodAudioProcessor::canRedo() const { return undoManager.canRedo(); }

void ZeriZaRirodAudioProcessor::performUndo()
{
    if (canUndo())
        stepThroughHistory (&juce::UndoManager::undo);
}

void ZeriZaRirodAudioProcessor::performRedo()
{
    if (canRedo())
        stepThroughHistory (&juce::UndoManager::redo);
}

void ZeriZaRirodAudioProcessor::stepThroughHistory (bool (juce::UndoManager::*step)())
{
    if (undoRedoInProgress.exchange (true))
        return;

    pendingBeforeState = {};
    transactionOpen = false;

    suppressModified = true;
    (undoManager.*step)();
    suppressModified = false;

    undoRedoInProgress = false;
}

void ZeriZaRirodAudioProcessor::parameterChanged (const juce::String&, float)
{
    // May run on the audio thread during automation: atomics only.
    if (! suppressModified.load())
        currentPresetModified.store (true);
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new ZeriZaRirodAudioProcessor(); }
