#include "looks/VellFont.h"

#include <map>

namespace
{
juce::StringArray candidatesFor (const juce::String& style)
{
    if (style == "Bold")
        return { "Bold", "Semibold", "SemiBold", "Demibold", "DemiBold" };

    return { style, "Regular", "Book", "Normal", "Roman" };
}

/** The default family never changes while the process runs, so the style it
    offers closest to each request is worked out once. */
juce::String resolvedStyle (const juce::String& style)
{
    static juce::CriticalSection lock;
    static std::map<juce::String, juce::String> cache;

    const juce::ScopedLock sl (lock);

    if (auto it = cache.find (style); it != cache.end())
        return it->second;

    const auto typeface = juce::Font().getTypefacePtr();
    const auto available =
        typeface != nullptr ? juce::Font::findAllTypefaceStyles (typeface->getName()) : juce::StringArray();

    juce::String chosen;
    for (const auto& candidate : candidatesFor (style))
    {
        if (available.contains (candidate))
        {
            chosen = candidate;
            break;
        }
    }

    cache[style] = chosen;
    return chosen;
}
} // namespace

juce::Font vellFont (float heightInPixels, const juce::String& style)
{
    juce::Font font (juce::jmax (0.0f, heightInPixels), juce::Font::plain);
    const auto chosen = resolvedStyle (style);

    if (chosen.isNotEmpty())
        font.setTypefaceStyle (chosen);
    else if (style == "Bold")
        font.setBold (true);

    return font;
}
