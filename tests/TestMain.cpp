#include "TemporaryHome.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

int main (int argc, char** argv)
{
    const auto home = useTemporaryHome ("zeri-test-home");

    int result = 0;
    {
        // Parameter objects and the undo manager expect a message manager to exist.
        juce::ScopedJuceInitialiser_GUI juce;
        ::testing::InitGoogleTest (&argc, argv);
        result = RUN_ALL_TESTS();
    }
    home.deleteRecursively();
    return result;
}
