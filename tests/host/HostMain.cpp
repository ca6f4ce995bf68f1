#include "PluginHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

int main (int argc, char** argv)
{
    // JUCE's LV2 hosting only searches ~/.lv2 and the system folders, so HOME
    // becomes a throw-away folder whose .lv2 links to the bundle just built.
    // The real home is never touched.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("zeri-host-home", "", false);
    home.getChildFile (".config").createDirectory();
    home.getChildFile (".lv2").createDirectory();
    const juce::File bundle (ZERI_LV2_BUNDLE);
    bundle.createSymbolicLink (home.getChildFile (".lv2").getChildFile (bundle.getFileName()), false);
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        ::testing::InitGoogleTest (&argc, argv);

        // Test discovery only lists the tests: it need not load any plug-in.
        std::unique_ptr<PluginHost> host;
        if (!::testing::GTEST_FLAG (list_tests))
            host = std::make_unique<PluginHost>();

        PluginHost::setCurrent (host.get());
        result = RUN_ALL_TESTS();
        PluginHost::setCurrent (nullptr);
    }
    home.deleteRecursively();
    return result;
}
