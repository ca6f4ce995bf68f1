#include "tests/TemporaryHome.h"

#include <juce_events/juce_events.h>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize (int*, char***);

// libFuzzer supplies main(); this runs once before the first input.
extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    static const auto home = useTemporaryHome ("zeri-fuzz-home");
    std::atexit ([] { home.deleteRecursively(); });

    // Parameter objects and the undo manager expect a message manager to exist.
    // Never destroyed: libFuzzer leaves through exit() from any point.
    static auto* juceRuntime = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (juceRuntime);
    return 0;
}
