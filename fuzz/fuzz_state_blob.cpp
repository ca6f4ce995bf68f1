#include "fuzz/FuzzChecks.h"
#include "plugin/StateXml.h"

// What a host may hand to setStateInformation: anything.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzchecks;

    ZeriZaRirodAudioProcessor processor;
    prepareDistinct (processor);
    const auto before = ExactSnapshot::of (processor);

    // The blob is accepted exactly when it carries the header and readable XML.
    const bool wellFormed = stateXml::fromBlob (data, (int) size) != nullptr;

    processor.setStateInformation (data, (int) size);

    if (! wellFormed)
    {
        require (ExactSnapshot::of (processor) == before, "a rejected blob changed the processor");
        return 0;
    }

    require (! processor.undoManager.canUndo() && ! processor.undoManager.canRedo(),
             "an accepted blob left undo history behind");
    requireUsable (processor);
    return 0;
}
