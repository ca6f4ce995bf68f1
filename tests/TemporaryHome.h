#pragma once

#include <juce_core/juce_core.h>

#include <cstdlib>

/** Points HOME and XDG_CONFIG_HOME at a fresh folder under the temp directory,
    so that presets and preferences never land in the real home. Returns the
    folder, for the caller to delete when done. */
inline juce::File useTemporaryHome (const juce::String& prefix)
{
    const auto home =
        juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile (prefix, "", false);
    home.getChildFile (".config").createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    return home;
}
