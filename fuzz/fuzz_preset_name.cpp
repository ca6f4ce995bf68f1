#include "fuzz/FuzzChecks.h"
#include "presets/PresetManager.h"

// Whatever a user types as a preset name: arbitrary UTF-8.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzchecks;

    const auto input = typedText (data, size);

    if (! input)
        return 0;

    const auto& name = *input;
    const PresetManager store { AppInfo() };
    const auto dir = store.getPresetDirectory();
    const auto file = store.getPresetFile (name);
    const auto stem = file.getFileNameWithoutExtension();

    require (file.getParentDirectory() == dir, "a preset file lies outside the preset directory");
    require (file.getFileName() == stem + ".xml", "a preset file does not end in .xml");
    require (stem.isNotEmpty() && stem == stem.trim(), "a preset file name is empty or padded");
    require (stem.containsOnly ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-"),
             "a preset file name holds an unsafe character");
    require (store.getPresetFile (stem) == file, "the listed name does not lead back to its file");
    require (store.isSamePreset (name, stem), "a name and its file name are not the same preset");

    // Through the processor: save, list, load by either name, delete.
    ZeriZaRirodAudioProcessor processor;
    prepareDistinct (processor);
    const auto before = ExactSnapshot::of (processor);

    if (! processor.saveUserPreset (name))
    {
        require (ExactSnapshot::of (processor) == before, "a failed save changed the processor");
    }
    else
    {
        require (processor.getCurrentPresetName() == (name.isEmpty() ? juce::String ("Presets") : name),
                 "the record does not hold the name as typed");
        require (processor.getUserPresetNames().contains (stem), "a saved preset is not listed");
        require (processor.loadUserPreset (stem) && processor.loadUserPreset (name), "a saved preset does not load");
        require (processor.deleteUserPreset (name), "a saved preset cannot be deleted");
    }

    require (dir.findChildFiles (juce::File::findFilesAndDirectories, false, "*").isEmpty(),
             "a save left files behind in the preset directory");
    return 0;
}
