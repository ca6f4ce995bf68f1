#pragma once

#include "tests/ProcessorSnapshot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

// libFuzzer's entry point, declared once for every target.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

namespace fuzzchecks
{
/** A broken invariant is a crash to libFuzzer: it saves the input and stops. */
inline void require (bool condition, const char* what)
{
    if (! condition)
    {
        std::fprintf (stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

/** The input as text someone typed: a juce::String always holds valid UTF-8,
    so other bytes never reach the code under test and are skipped. */
inline std::optional<juce::String> typedText (const uint8_t* data, size_t size)
{
    const auto* text = reinterpret_cast<const char*> (data);
    const auto length = (int) strnlen (text, size);

    if (! juce::CharPointer_UTF8::isValidString (text, length))
        return std::nullopt;

    return juce::String::fromUTF8 (text, length);
}

/** After an accepted input: every parameter in range, a usable saved size,
    and audio that comes out finite. */
inline void requireUsable (ZeriZaRirodAudioProcessor& p)
{
    require (parametersInRange (p), "a parameter is outside its range");
    require (std::isfinite (p.savedWindowWidth.load()) && std::isfinite (p.savedWindowHeight.load()),
             "the saved window size is not finite");
    require (p.getCurrentPresetName().isNotEmpty(), "the preset name is empty");

    juce::AudioBuffer<float> buffer (2, 256);
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        for (int c = 0; c < 2; ++c)
            buffer.setSample (c, i, 0.5f * std::sin (0.9f * (float) i) + ((i * 7919) % 13 - 6) * 0.03f);

    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            require (std::isfinite (buffer.getSample (c, i)), "the output is not finite");
}
} // namespace fuzzchecks
