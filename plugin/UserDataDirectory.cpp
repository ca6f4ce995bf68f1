#include "plugin/UserDataDirectory.h"

juce::File getUserApplicationDataDirectory()
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);

#if JUCE_MAC
    return home.getChildFile ("Library").getChildFile ("Application Support");
#elif JUCE_WINDOWS
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
#else
    // JUCE's own lookup ignores the environment variable, so it is read here.
    const auto configHome = juce::SystemStats::getEnvironmentVariable ("XDG_CONFIG_HOME", {});

    if (juce::File::isAbsolutePath (configHome))
        return juce::File (configHome);

    return home.getChildFile (".config");
#endif
}

juce::File getProductDataDirectory (const AppInfo& info)
{
    return getUserApplicationDataDirectory()
        .getChildFile (info.folderName)
        .getChildFile (info.productName)
        .getChildFile ("version_" + info.version);
}
