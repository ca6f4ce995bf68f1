#include "fuzz/FuzzChecks.h"
#include "presets/PresetManager.h"

// What a user may drop into the preset folder: any bytes at all in a preset file.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzchecks;
    static const juce::String name { "Dropped" };

    ZeriZaRirodAudioProcessor processor;
    prepareDistinct (processor);

    const auto file = PresetManager (AppInfo()).getPresetFile (name);
    require (file.getParentDirectory().createDirectory() && file.replaceWithData (data, size),
             "cannot write the preset file");

    const auto before = ExactSnapshot::of (processor);

    if (! processor.loadUserPreset (name))
    {
        require (ExactSnapshot::of (processor) == before, "a rejected preset file changed the processor");
        return 0;
    }

    requireUsable (processor);
    require (processor.getCurrentPresetName() == name && processor.isCurrentPresetUser()
                 && ! processor.currentPresetModified,
             "the record does not name the loaded preset");

    // One undo puts back everything the load replaced.
    if (processor.undoManager.getUndoDescriptions().size() > before.undoSteps.size())
    {
        processor.performUndo();
        require (processor.createFullState().isEquivalentTo (before.fullState),
                 "undoing the load left a different state");
    }
    return 0;
}
