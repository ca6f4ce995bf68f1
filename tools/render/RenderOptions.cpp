#include "tools/render/RenderOptions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

juce::String unitOf (Param p)
{
    switch (p)
    {
        case Param::threshold:
        case Param::range:
            return "dB";
        case Param::attack:
        case Param::release:
            return "ms";
        case Param::frequency:
            return "Hz";
        case Param::amount:
        case Param::focus:
        case Param::mix:
            return "%";
        case Param::power:
        case Param::monitor:
            break;
    }
    return {};
}

juce::String formatNumber (double value)
{
    std::ostringstream s;
    s.precision (6);
    s << value;
    return s.str();
}

namespace
{
bool parseNumber (const juce::String& text, double& result)
{
    const auto trimmed = text.trim();
    if (trimmed.isEmpty())
        return false;

    char* end = nullptr;
    result = std::strtod (trimmed.toRawUTF8(), &end);
    return end != nullptr && *end == 0 && std::isfinite (result);
}

juce::String rangeText (Param p)
{
    const auto& s = params::info (p);
    if (s.isSwitch)
        return "0 or 1";

    return formatNumber (s.min) + " to " + formatNumber (s.max) + " " + unitOf (p);
}

juce::String checkParameterValue (Param p, const juce::String& text, float& value)
{
    const auto& s = params::info (p);
    const auto option = "--" + params::id (p);
    double v = 0;

    if (! parseNumber (text, v))
        return option + " needs a number, not '" + text + "'";

    const bool inRange = s.isSwitch ? (v == 0.0 || v == 1.0) : (v >= s.min && v <= s.max);
    if (! inRange)
        return option + " " + text + " is out of range: " + s.name + " takes " + rangeText (p);

    value = (float) v;
    return {};
}

juce::File fileFromArgument (const juce::String& path)
{
    return juce::File::getCurrentWorkingDirectory().getChildFile (path);
}
} // namespace

juce::String RenderOptions::parse (const juce::StringArray& args)
{
    juce::StringArray positional;
    bool optionsEnded = false;

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        if (optionsEnded || arg == "-" || ! arg.startsWith ("-"))
        {
            positional.add (arg);
            continue;
        }

        if (arg == "--")
        {
            optionsEnded = true; // file names that start with a dash follow
            continue;
        }

        if (arg == "-h" || arg == "--help")
        {
            helpRequested = true;
            return {};
        }

        if (! arg.startsWith ("--"))
            return "unknown option '" + arg + "' (see --help)";

        auto name = arg.substring (2);
        juce::String value;
        bool hasValue = false;

        if (name.containsChar ('='))
        {
            value = name.fromFirstOccurrenceOf ("=", false, false);
            name = name.upToFirstOccurrenceOf ("=", false, false);
            hasValue = true;
        }

        if (name == "quiet")
        {
            if (hasValue)
                return "--quiet takes no value";
            quiet = true;
            continue;
        }

        const auto takeValue = [&]() -> bool
        {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };

        const auto isParameter = [&name] (Param p) { return params::id (p) == name; };
        const auto* found = std::find_if (params::all().begin(), params::all().end(), isParameter);

        if (found != params::all().end())
        {
            if (! takeValue())
                return "--" + name + " needs a value (" + rangeText (*found) + ")";

            float v = 0;
            if (auto error = checkParameterValue (*found, value, v); error.isNotEmpty())
                return error;

            values[*found] = v;
        }
        else if (name == "preset-file" || name == "plot" || name == "json")
        {
            if (! takeValue() || value.isEmpty())
                return "--" + name + " needs a file name";

            auto& file = name == "preset-file" ? presetFile : name == "plot" ? plotFile : jsonFile;
            if (file != juce::File())
                return "--" + name + " is given twice";

            file = fileFromArgument (value);
        }
        else if (name == "block")
        {
            if (! takeValue())
                return "--block needs a number of samples";

            double n = 0;
            if (! parseNumber (value, n) || n != std::floor (n) || n < 1 || n > maxBlockSize)
                return "--block " + value + " is out of range: it takes a whole number from 1 to "
                       + juce::String (maxBlockSize);

            blockSize = (int) n;
        }
        else
        {
            juce::StringArray ids;
            for (auto p : params::all())
                ids.add (params::id (p));

            return "unknown option '--" + name + "' (parameters: " + ids.joinIntoString (", ") + "; see --help)";
        }
    }

    if (positional.size() != 2)
        return positional.size() < 2 ? "needs an input and an output file (see --help)"
                                     : "too many file names: '" + positional[2] + "' (see --help)";

    input = fileFromArgument (positional[0]);
    output = fileFromArgument (positional[1]);
    return {};
}

juce::String RenderOptions::usage()
{
    juce::String text;
    text << "usage: zeri-render IN OUT [--<parameter> VALUE]... [--preset-file FILE] [--block N]\n"
         << "                   [--plot PNG] [--json FILE] [--quiet]\n\n"
         << "De-esses IN (WAV, AIFF or FLAC, mono or stereo) into OUT, whose extension names its\n"
         << "format (.wav, .aif/.aiff, .flac); sample rate and bit depth follow IN.\n\n"
         << "Parameters, in their own units (default in brackets):\n";

    for (auto p : params::all())
    {
        const auto& s = params::info (p);
        text << "  --" << juce::String (s.id).paddedRight (' ', 11) << juce::String (s.name).paddedRight (' ', 16)
             << rangeText (p) << " [" << formatNumber (s.defaultValue) << "]\n";
    }

    text << "\nOptions:\n"
         << "  --preset-file FILE  start from a saved user preset; --<parameter> options override it\n"
         << "  --block N           host block size in samples, 1 to " << maxBlockSize << " [512]\n"
         << "  --plot PNG          draw the input waveform and the gain reduction over time\n"
         << "  --json FILE         write the summary as JSON\n"
         << "  --quiet             no progress bar and no summary\n";
    return text;
}
