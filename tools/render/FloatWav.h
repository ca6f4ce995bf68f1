#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** Writes float samples. JUCE 7's WAV writer labels 32-bit data as float but
    converts floats to integers on the way in, so for a 32-bit WAV the samples
    are handed over untouched. */
inline bool writeFloatSamples (juce::AudioFormatWriter& writer, const juce::AudioBuffer<float>& audio, int numSamples)
{
    if (writer.getBitsPerSample() == 32 && writer.getFormatName() == "WAV file")
        return writer.write (reinterpret_cast<const int**> (const_cast<const float**> (audio.getArrayOfReadPointers())),
                             numSamples);

    return writer.writeFromAudioSampleBuffer (audio, 0, numSamples);
}
