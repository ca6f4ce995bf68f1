#include "tools/render/RenderSummary.h"

#include "tools/render/RenderOptions.h"

#include <cmath>

namespace
{
juce::String db (double value, int decimals = 1)
{
    return std::isfinite (value) ? juce::String (value, decimals) + " dB" : juce::String ("silent");
}

juce::String change (double before, double after)
{
    if (! std::isfinite (before) || ! std::isfinite (after))
        return {};

    const auto d = after - before;
    return " (" + juce::String (d >= 0 ? "+" : "") + juce::String (d, 1) + " dB)";
}

juce::var jsonNumber (double value, int decimals)
{
    if (! std::isfinite (value))
        return {}; // JSON has no infinity: silence is null

    const auto scale = std::pow (10.0, decimals);
    return std::round (value * scale) / scale;
}

juce::var object (std::initializer_list<std::pair<const char*, juce::var>> properties)
{
    auto* o = new juce::DynamicObject();
    for (const auto& [key, value] : properties)
        o->setProperty (key, value);
    return juce::var (o);
}
} // namespace

juce::String RenderSummary::settingsText (const std::vector<Param>& which) const
{
    juce::StringArray parts;
    for (const auto& [p, value] : settings)
        if (std::find (which.begin(), which.end(), p) != which.end())
            parts.add ((params::id (p) + " " + formatNumber (value) + " " + unitOf (p)).trimEnd());
    return parts.joinIntoString (", ");
}

juce::String RenderSummary::toText() const
{
    std::vector<Param> all (params::all().begin(), params::all().end());
    const auto band =
        juce::String (juce::roundToInt (bandLowHz)) + "-" + juce::String (juce::roundToInt (bandHighHz)) + " Hz";
    const auto below = "0-" + juce::String (juce::roundToInt (bandLowHz)) + " Hz";
    const auto row = [] (const juce::String& label) { return label.paddedRight (' ', 22); };

    juce::String t;
    t << inputName << " -> " << outputName << "\n"
      << row ("  audio") << juce::String (seconds, 2) << " s, " << channels
      << (channels == 1 ? " channel, " : " channels, ") << juce::roundToInt (sampleRate) << " Hz, written as "
      << outputFormat << "\n"
      << row ("  settings") << settingsText (all) << "\n"
      << row ("  gain reduction") << "peak " << db (peakReductionDb) << ", mean " << db (meanReductionDb, 2) << "\n"
      << row ("  sibilance band") << band << ": " << db (bandBeforeDb) << " before, " << db (bandAfterDb) << " after"
      << change (bandBeforeDb, bandAfterDb) << "\n"
      << row ("  below the band") << below << ": " << db (belowBeforeDb) << " before, " << db (belowAfterDb) << " after"
      << change (belowBeforeDb, belowAfterDb) << "\n";

    if (clippedSamples > 0)
        t << row ("  clipped") << clippedSamples << " samples went past full scale\n";

    t << row ("  speed") << juce::String (speed, 1) << " x real time (block " << blockSize << ")\n";
    return t;
}

juce::String RenderSummary::toJson() const
{
    auto* settingsObject = new juce::DynamicObject();
    for (const auto& [p, value] : settings)
        settingsObject->setProperty (params::id (p), jsonNumber (value, 4));

    const auto root = object ({
        { "input", inputName },
        { "output", outputName },
        { "durationSeconds", jsonNumber (seconds, 6) },
        { "channels", channels },
        { "sampleRate", sampleRate },
        { "outputFormat", outputFormat },
        { "blockSize", blockSize },
        { "parameters", juce::var (settingsObject) },
        { "gainReductionDb",
          object ({ { "peak", jsonNumber (peakReductionDb, 3) }, { "mean", jsonNumber (meanReductionDb, 3) } }) },
        { "sibilanceBand", object ({ { "lowHz", jsonNumber (bandLowHz, 1) },
                                     { "highHz", jsonNumber (bandHighHz, 1) },
                                     { "beforeDb", jsonNumber (bandBeforeDb, 3) },
                                     { "afterDb", jsonNumber (bandAfterDb, 3) } }) },
        { "belowBand", object ({ { "highHz", jsonNumber (bandLowHz, 1) },
                                 { "beforeDb", jsonNumber (belowBeforeDb, 3) },
                                 { "afterDb", jsonNumber (belowAfterDb, 3) } }) },
        { "clippedSamples", clippedSamples },
        { "speedTimesRealTime", jsonNumber (speed, 1) },
    });

    return juce::JSON::toString (root) + "\n";
}
