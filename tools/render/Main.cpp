#include "tools/render/ProgressBar.h"
#include "tools/render/Renderer.h"

#include <juce_events/juce_events.h>

#include <csignal>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace
{
volatile std::sig_atomic_t interrupted = 0;

void onSignal (int) { interrupted = 1; }

int run (const juce::StringArray& args)
{
    RenderOptions options;

    if (const auto error = options.parse (args); error.isNotEmpty())
    {
        std::cerr << "zeri-render: " << error << std::endl;
        return 2;
    }

    if (options.helpRequested)
    {
        std::cout << RenderOptions::usage();
        return 0;
    }

    Renderer renderer (options);

    if (const auto result = renderer.open(); result.failed())
    {
        std::cerr << "zeri-render: " << result.getErrorMessage() << std::endl;
        return 1;
    }

    if (! options.quiet)
        for (const auto& note : renderer.getNotes())
            std::cerr << "zeri-render: " << note << std::endl;

    // Short files finish before a bar could tell anything.
    std::optional<ProgressBar> bar;
    if (! options.quiet && isatty (STDERR_FILENO) && renderer.getSummary().seconds > 5.0)
        bar.emplace();

    const auto result = renderer.render (
        [&] (double fraction)
        {
            if (bar.has_value())
                bar->update (fraction);
            return interrupted == 0;
        });
    bar.reset();

    if (result.failed())
    {
        std::cerr << "zeri-render: " << result.getErrorMessage() << std::endl;
        return interrupted != 0 ? 130 : 1;
    }

    if (! options.quiet)
        std::cout << renderer.getSummary().toText();

    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    std::signal (SIGINT, onSignal);
    std::signal (SIGTERM, onSignal);

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    // Parameter objects and images expect JUCE's message manager and fonts.
    juce::ScopedJuceInitialiser_GUI juce;
    return run (args);
}
