#pragma once

#include "plugin/AppInfo.h"

#include <juce_core/juce_core.h>

/** The per-user application-data directory: $XDG_CONFIG_HOME (or ~/.config when
    it is unset or not an absolute path) on Linux, ~/Library/Application Support
    on macOS. Nothing is created. */
juce::File getUserApplicationDataDirectory();

/** This product's folder below it, one per version:
    <company folder>/<product name>/version_<version>. Nothing is created. */
juce::File getProductDataDirectory (const AppInfo& info);
