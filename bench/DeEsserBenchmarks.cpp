#include "plugin/PluginProcessor.h"
#include "tests/TestSignals.h"

#include <benchmark/benchmark.h>

// Cost of the processor's processBlock on a voice-like signal, per frame.
// "steady": settings stand still (the smoothers idle). "automated": all eight
// continuous parameters move every block, so every smoother ramps all the time.
namespace
{
constexpr double sampleRate = 48000.0;

void setParameter (ZeriZaRirodAudioProcessor& p, Param id, float normalised)
{
    p.parameters.getParameter (params::id (id))->setValueNotifyingHost (normalised);
}

void processor (benchmark::State& state, int channels, int blockSize, bool automated)
{
    ZeriZaRirodAudioProcessor proc;
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    proc.setBusesLayout ({ { set }, { set } });
    proc.setRateAndBufferSizeDetails (sampleRate, blockSize);
    setParameter (proc, Param::threshold, 0.55f); // about -40 dB: active during the bursts
    proc.prepareToPlay (sampleRate, blockSize);

    const auto source = testsignals::speechLike (sampleRate, 2.0, channels);
    auto work = source;
    const int usable = source.getNumSamples() / blockSize * blockSize;
    juce::MidiBuffer midi;
    const Param continuous[] = { Param::amount, Param::threshold, Param::attack, Param::release,
                                 Param::frequency, Param::focus, Param::range, Param::mix };
    int position = 0, framesSinceChange = 0;
    bool phase = false;

    for (auto _ : state)
    {
        if (position == usable)
        {
            state.PauseTiming();
            work.makeCopyOf (source, true);
            position = 0;
            state.ResumeTiming();
        }

        // New targets every 512 frames, well inside the 960-frame ramps, so
        // every smoother is always ramping.
        if (automated && (framesSinceChange += blockSize) >= 512)
        {
            framesSinceChange = 0;
            phase = ! phase;
            for (auto p : continuous)
                setParameter (proc, p, p == Param::threshold ? (phase ? 0.45f : 0.65f) : (phase ? 0.3f : 0.7f));
        }

        juce::AudioBuffer<float> block (work.getArrayOfWritePointers(), channels, position, blockSize);
        proc.processBlock (block, midi);
        benchmark::DoNotOptimize (block.getReadPointer (0));
        position += blockSize;
    }

    const double frames = (double) state.iterations() * blockSize;
    state.counters["ns/frame"] = benchmark::Counter (frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x realtime"] = benchmark::Counter (frames / sampleRate, benchmark::Counter::kIsRate);
}
} // namespace

BENCHMARK_CAPTURE (processor, stereo_steady_512, 2, 512, false);
BENCHMARK_CAPTURE (processor, stereo_steady_32, 2, 32, false);
BENCHMARK_CAPTURE (processor, stereo_automated_512, 2, 512, true);
BENCHMARK_CAPTURE (processor, stereo_automated_32, 2, 32, true);
BENCHMARK_CAPTURE (processor, mono_steady_512, 1, 512, false);
BENCHMARK_CAPTURE (processor, mono_steady_32, 1, 32, false);
BENCHMARK_CAPTURE (processor, mono_automated_512, 1, 512, true);
BENCHMARK_CAPTURE (processor, mono_automated_32, 1, 32, true);
