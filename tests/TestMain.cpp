#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <cstdlib>

int main (int argc, char** argv)
{
    // Keep every test away from the real home: presets and preferences land in a
    // throw-away folder.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("zeri-test-home", "", false);
    home.getChildFile (".config").createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);

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
