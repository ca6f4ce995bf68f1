#pragma once

#include <juce_core/juce_core.h>

/** An output written to a hidden file beside its target and moved over the
    target only by commit(); dropped unfinished, it leaves the target alone. */
struct PendingFile
{
    explicit PendingFile (const juce::File& target) : temp (target, juce::TemporaryFile::useHiddenFile) {}

    juce::File file() const { return temp.getFile(); }

    juce::Result commit()
    {
        if (temp.overwriteTargetFileWithTemporary())
            return juce::Result::ok();
        return juce::Result::fail ("cannot move the finished file to '" + temp.getTargetFile().getFullPathName() + "'");
    }

    juce::TemporaryFile temp;
};
