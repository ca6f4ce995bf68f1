// zeri-snapshot face OUT.png [--size WxH] [--power 0|1] [--reduction dB] [--<parameter id> value]...
//
// Renders the main face, with the classes the plug-in uses, into a PNG file.
// Parameters not given keep their defaults. Needs no window and no display.

#include "face/ZeriZaRirodGUI.h"

#include <iostream>

namespace
{
int usage()
{
    std::cerr << "usage: zeri-snapshot face OUT.png [--size WxH] [--power 0|1] [--reduction dB]"
                 " [--<parameter id> value]...\n";
    return 2;
}

bool setParameter (ZeriZaRirodAudioProcessor& processor, const juce::String& id, double value)
{
    auto* param = processor.parameters.getParameter (id);
    if (param == nullptr)
        return false;

    param->setValueNotifyingHost (param->convertTo0to1 ((float) value));
    return true;
}
} // namespace

int main (int argc, char** argv)
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    if (args.size() < 2 || args[0] != "face" || args.size() % 2 != 0)
        return usage();

    const juce::ScopedJuceInitialiser_GUI juceInit;
    ZeriZaRirodAudioProcessor processor;
    int width = 1000, height = 600;

    for (int i = 2; i < args.size(); i += 2)
    {
        const auto option = args[i];
        const auto value = args[i + 1];

        if (option == "--size")
        {
            width = value.upToFirstOccurrenceOf ("x", false, true).getIntValue();
            height = value.fromFirstOccurrenceOf ("x", false, true).getIntValue();
        }
        else if (option == "--reduction")
        {
            processor.gainReductionDb.store (value.getFloatValue());
        }
        else if (!option.startsWith ("--") || !setParameter (processor, option.substring (2), value.getDoubleValue()))
        {
            std::cerr << "unknown option " << option << "\n";
            return usage();
        }
    }

    if (width <= 0 || height <= 0)
        return usage();

    const auto image = [&]
    {
        ZeriZaRirodGUI face (processor);
        face.setSize (width, height);
        return face.createComponentSnapshot (face.getLocalBounds());
    }();

    const juce::File out (juce::File::getCurrentWorkingDirectory().getChildFile (args[1]));
    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;

    if (!stream.openedOk() || !png.writeImageToStream (image, stream))
    {
        std::cerr << "cannot write " << out.getFullPathName() << "\n";
        return 1;
    }

    std::cout << out.getFullPathName() << "\n";
    return 0;
}
