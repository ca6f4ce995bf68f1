#include "face/ValueText.h"
#include "fuzz/FuzzChecks.h"

// Whatever a user types into a value label: arbitrary UTF-8.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzchecks;

    // Typed text reaches us as a juce::String, which always holds valid UTF-8.
    const auto* text = reinterpret_cast<const char*> (data);
    const auto length = (int) strnlen (text, size);

    if (! juce::CharPointer_UTF8::isValidString (text, length))
        return 0;

    const auto typed = juce::String::fromUTF8 (text, length);

    for (const auto value : { valueText::parseDigits (typed), valueText::parseFrequency (typed) })
    {
        // The knobs clamp any finite number into range; nothing else may come out.
        require (std::isfinite (value), "typed text gave a non-finite value");

        // What a knob then shows: the clamped value, in any of the formats.
        for (auto id : params::all())
        {
            const auto& info = params::info (id);
            const auto shown = juce::jlimit ((double) info.min, (double) info.max, value);

            for (auto format : { valueText::Format::percent, valueText::Format::decibels,
                                 valueText::Format::milliseconds, valueText::Format::kilohertz })
                require (valueText::format (format, shown).isNotEmpty(), "a value has no text");
        }
    }
    return 0;
}
