#include "face/ValueText.h"
#include "fuzz/FuzzChecks.h"

// Whatever a user types into a value label: arbitrary UTF-8.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using namespace fuzzchecks;

    const auto input = typedText (data, size);

    if (! input)
        return 0;

    const auto& typed = *input;

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
