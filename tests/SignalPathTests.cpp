#include "ProcessorHarness.h"
#include "ReferenceDeEsser.h"
#include "TestSignals.h"

#include <juce_dsp/juce_dsp.h>

#include <gtest/gtest.h>

namespace
{
void apply (ProcessorHarness& h, const reference::Settings& s)
{
    h.set (Param::amount, s.amount);
    h.set (Param::threshold, s.threshold);
    h.set (Param::attack, s.attack);
    h.set (Param::release, s.release);
    h.set (Param::frequency, s.frequency);
    h.set (Param::focus, s.focus);
    h.set (Param::range, s.range);
    h.set (Param::mix, s.mix);
    h.set (Param::power, s.power ? 1.0f : 0.0f);
    h.set (Param::monitor, s.monitor ? 1.0f : 0.0f);
}

float maxAbsDiff (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float worst = 0;
    for (int c = 0; c < a.getNumChannels(); ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            worst = std::max (worst, std::abs (a.getSample (c, i) - b.getSample (c, i)));
    return worst;
}

struct Scenario
{
    const char* name;
    double sampleRate;
    int channels;
    int blockSize;
    reference::Settings start;
    reference::Settings later; // applied from the middle block on
};

reference::Settings with (std::function<void (reference::Settings&)> change)
{
    reference::Settings s;
    change (s);
    return s;
}

const reference::Settings defaults;

std::vector<Scenario> scenarios()
{
    return {
        { "defaults 48k", 48000, 2, 512, defaults, defaults },
        { "defaults 44.1k mono", 44100, 1, 256, defaults, defaults },
        { "strong 96k", 96000, 2, 1024, with ([] (auto& s) { s.amount = 90; s.threshold = -45; s.range = 30; }), with ([] (auto& s) { s.amount = 90; s.threshold = -45; s.range = 30; }) },
        { "listen removed", 48000, 2, 512, with ([] (auto& s) { s.monitor = true; s.threshold = -40; }), with ([] (auto& s) { s.monitor = true; s.threshold = -40; }) },
        { "half mix", 48000, 2, 480, with ([] (auto& s) { s.mix = 50; }), with ([] (auto& s) { s.mix = 50; }) },
        { "extreme band low", 44100, 2, 64, with ([] (auto& s) { s.frequency = 2500; s.focus = 100; }), with ([] (auto& s) { s.frequency = 2500; s.focus = 0; }) },
        { "extreme band high", 48000, 2, 333, with ([] (auto& s) { s.frequency = 12000; s.focus = 0; s.attack = 0.05f; s.release = 10; }), with ([] (auto& s) { s.frequency = 12000; s.focus = 100; s.attack = 20; s.release = 300; }) },
        { "automation glide", 48000, 2, 128, defaults, with ([] (auto& s) { s.frequency = 4000; s.focus = 80; s.attack = 5; s.release = 200; s.threshold = -50; s.amount = 100; s.range = 36; s.mix = 70; }) },
        { "power toggled off", 48000, 2, 512, defaults, with ([] (auto& s) { s.power = false; }) },
        { "monitor toggled on", 44100, 1, 100, defaults, with ([] (auto& s) { s.monitor = true; }) },
        { "amount zero range zero", 48000, 2, 512, with ([] (auto& s) { s.amount = 0; s.range = 0; }), with ([] (auto& s) { s.amount = 0; s.range = 36; s.threshold = -54; }) },
    };
}
} // namespace

TEST (SignalPath, MatchesLiteralFormulas)
{
    for (const auto& sc : scenarios())
    {
        SCOPED_TRACE (sc.name);
        auto input = testsignals::speechLike (sc.sampleRate, 1.5, sc.channels);
        auto viaProcessor = input;
        auto viaReference = input;

        ProcessorHarness h (sc.sampleRate, sc.channels);
        apply (h, sc.start);
        h.prepare (sc.sampleRate, sc.channels);
        reference::DeEsser ref (sc.sampleRate, sc.start);

        const int total = input.getNumSamples();
        const int numBlocks = (total + sc.blockSize - 1) / sc.blockSize;
        juce::MidiBuffer midi;
        float worstPeakError = 0;

        for (int b = 0; b < numBlocks; ++b)
        {
            const auto& s = b < numBlocks / 2 ? sc.start : sc.later;
            if (b == numBlocks / 2)
                apply (h, s);

            const int start = b * sc.blockSize;
            const int n = std::min (sc.blockSize, total - start);
            juce::AudioBuffer<float> block (viaProcessor.getArrayOfWritePointers(), sc.channels, start, n);
            h.processor->processBlock (block, midi);

            std::vector<float*> ptrs;
            for (int c = 0; c < sc.channels; ++c)
                ptrs.push_back (viaReference.getWritePointer (c, start));
            const float peak = ref.process (ptrs, n, s);
            worstPeakError = std::max (worstPeakError, std::abs (peak - h.processor->gainReductionDb.load()));
        }

        EXPECT_LT (maxAbsDiff (viaProcessor, viaReference), 1e-5f);
        EXPECT_LT (worstPeakError, 1e-3f);
    }
}

TEST (SignalPath, WorkedBandEdges)
{
    struct Case
    {
        float F, focus, low, high, mid, top;
    };
    const Case cases[] = {
        { 6500, 50, 3831.6f, 11026.8f, 7932.8f, 11026.8f },
        { 2500, 0, 1500.0f, 6155.7f, 3827.9f, 6155.7f },
        { 2500, 100, 2139.0f, 2921.9f, 2571.9f, 3071.9f },
        { 12000, 0, 4873.5f, 18000.0f, 11436.7f, 18000.0f },
    };
    for (const auto& c : cases)
    {
        const auto b = reference::bandEdges (c.F, c.focus * 0.01f);
        EXPECT_NEAR (b.low, c.low, 0.1f) << c.F << "/" << c.focus;
        EXPECT_NEAR (b.high, c.high, 0.1f) << c.F << "/" << c.focus;
        EXPECT_NEAR (b.mid, c.mid, 0.1f) << c.F << "/" << c.focus;
        EXPECT_NEAR (b.top, c.top, 0.1f) << c.F << "/" << c.focus;
    }

    const float fs = 48000;
    const auto b = reference::bandEdges (6500, 0.5f);
    EXPECT_NEAR (reference::hpCoef (b.low, fs), 0.6660f, 1e-4f);
    EXPECT_NEAR (reference::lpCoef (b.high, fs), 0.7639f, 1e-4f);
    EXPECT_NEAR (reference::hpCoef (b.mid, fs), 0.4906f, 1e-4f);
    EXPECT_NEAR (reference::lpCoef (b.top, fs), 0.7639f, 1e-4f);
    EXPECT_NEAR (reference::envelopeCoef (0.32f, 0.00005f, fs), 0.9370f, 1e-4f);
    EXPECT_NEAR (reference::envelopeCoef (48, 0.001f, fs), 0.99957f, 1e-5f);
}

TEST (SignalPath, GainCurve)
{
    struct Case
    {
        float env, thresholdDb, amount, range, expectedDb;
    };
    const Case cases[] = {
        { 0.04f, -30, 50, 36, 15.74f },
        { 0.04f, -30, 50, 8, 8.0f },
        { 0.0316f, -30, 50, 36, 0.0f },
        { 0.01f, -30, 50, 36, 0.0f },
        { 0.0632456f, -30, 0, 36, 2.8f },   // over = 1: the factor alone
        { 0.0632456f, -30, 100, 100, 60.0f },
    };
    for (const auto& c : cases)
        EXPECT_NEAR (reference::reductionDb (c.env, c.thresholdDb, c.amount * 0.01f, c.range), c.expectedDb, 0.01f)
            << c.env << " " << c.amount;

    EXPECT_NEAR (reference::gainFor (15.74f), 0.1633f, 1e-4f);
    EXPECT_EQ (reference::gainFor (0), 1.0f);
}

// Mix ramps over 0.02 s and Power over 0.12 s, made visible with Listen Removed
// on and Range 0: then the output is x * (1 - mix) * power... of a constant input.
TEST (SignalPath, RampLengths)
{
    struct Case
    {
        double sampleRate;
        bool powerRamp;
        int expectedLastRampSample;
    };
    const Case cases[] = { { 44100, false, 881 }, { 48000, false, 959 }, { 44100, true, 5291 }, { 48000, true, 5759 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.sampleRate);
        ProcessorHarness h (c.sampleRate, 1);
        h.set (Param::range, 0);
        h.set (Param::monitor, 1);
        h.prepare (c.sampleRate, 1); // power fades in from here

        juce::AudioBuffer<float> audio (1, 8000);
        if (! c.powerRamp)
        {
            juce::AudioBuffer<float> settle (1, 6000);
            settle.clear();
            h.process (settle, 512);
            h.set (Param::mix, 0); // out = x * (1 - m): ramps from 0 to x
        }

        for (int i = 0; i < audio.getNumSamples(); ++i)
            audio.setSample (0, i, 0.5f);
        h.process (audio, 8000);

        int firstSettled = -1;
        for (int i = 0; i < audio.getNumSamples(); ++i)
        {
            const float expectedEnd = c.powerRamp ? 0.0f : 0.5f;
            if (std::abs (audio.getSample (0, i) - expectedEnd) < 1e-7f)
            {
                firstSettled = i;
                break;
            }
        }
        EXPECT_EQ (firstSettled, c.expectedLastRampSample);
        // The ramp is linear: halfway through, half the change.
        EXPECT_NEAR (audio.getSample (0, (c.expectedLastRampSample + 1) / 2 - 1), 0.25f, 0.5f / 800);
    }
}

TEST (SignalPath, OutputModes)
{
    const double sr = 48000;
    const auto input = testsignals::speechLike (sr, 1.0);
    const int settled = (int) (0.2 * sr);

    struct Case
    {
        const char* name;
        std::function<void (ProcessorHarness&)> setup;
        std::function<float (float x)> expected; // per sample, after the ramps
    };
    const Case cases[] = {
        { "range 0 passes input", [] (auto& h) { h.set (Param::range, 0); }, [] (float x) { return x; } },
        { "listen removed without reduction is silent", [] (auto& h) { h.set (Param::range, 0); h.set (Param::monitor, 1); }, [] (float) { return 0.0f; } },
        { "mix 0 is dry", [] (auto& h) { h.set (Param::mix, 0); h.set (Param::threshold, -54); }, [] (float x) { return x; } },
        { "mix 0 is dry with listen removed", [] (auto& h) { h.set (Param::mix, 0); h.set (Param::monitor, 1); }, [] (float x) { return x; } },
        { "power off is dry", [] (auto& h) { h.set (Param::power, 0); h.set (Param::threshold, -54); }, [] (float x) { return x; } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ProcessorHarness h (sr, 2);
        c.setup (h);
        h.prepare (sr, 2);
        auto out = input;
        h.process (out, 512);

        float worst = 0;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = settled; i < out.getNumSamples(); ++i)
                worst = std::max (worst, std::abs (out.getSample (ch, i) - c.expected (input.getSample (ch, i))));
        EXPECT_LT (worst, 1e-6f);
    }
}

TEST (SignalPath, PowerOffStillMeters)
{
    ProcessorHarness h (48000, 2);
    h.set (Param::power, 0);
    h.set (Param::threshold, -50);
    auto audio = testsignals::speechLike (48000, 1.0);
    const auto dry = audio;

    float peak = 0;
    juce::MidiBuffer midi;
    for (int start = 0; start < audio.getNumSamples(); start += 512)
    {
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), 2, start, std::min (512, audio.getNumSamples() - start));
        h.processor->processBlock (block, midi);
        peak = std::max (peak, h.processor->gainReductionDb.load());
    }
    EXPECT_EQ (maxAbsDiff (audio, dry), 0.0f);
    EXPECT_NEAR (peak, 8.0f, 1e-4f); // Range caps it
}

TEST (SignalPath, StereoLinksDetectionAndMonoMatchesIdenticalStereo)
{
    auto mono = testsignals::speechLike (48000, 1.0, 1);
    juce::AudioBuffer<float> stereo (2, mono.getNumSamples());
    stereo.copyFrom (0, 0, mono, 0, 0, mono.getNumSamples());
    stereo.copyFrom (1, 0, mono, 0, 0, mono.getNumSamples());

    ProcessorHarness m (48000, 1), s (48000, 2);
    m.process (mono, 512);
    s.process (stereo, 512);

    for (int i = 0; i < mono.getNumSamples(); ++i)
    {
        ASSERT_EQ (stereo.getSample (0, i), mono.getSample (0, i)) << i;
        ASSERT_EQ (stereo.getSample (1, i), mono.getSample (0, i)) << i;
    }

    // Linked detection: sibilance on one side only is detected at half its
    // level, so it is reduced less than the same channel on its own.
    auto oneSided = testsignals::speechLike (48000, 1.0);
    oneSided.clear (1, 0, oneSided.getNumSamples());
    auto alone = testsignals::speechLike (48000, 1.0, 1);
    ProcessorHarness linked (48000, 2), single (48000, 1);
    for (auto* h : { &linked, &single })
    {
        h->set (Param::range, 36);
        h->set (Param::threshold, -12);
        h->set (Param::amount, 0);
    }
    float linkedPeak = 0, singlePeak = 0;
    juce::MidiBuffer midi;
    for (int start = 0; start < alone.getNumSamples(); start += 512)
    {
        const int n = std::min (512, alone.getNumSamples() - start);
        juce::AudioBuffer<float> l (oneSided.getArrayOfWritePointers(), 2, start, n);
        juce::AudioBuffer<float> s1 (alone.getArrayOfWritePointers(), 1, start, n);
        linked.processor->processBlock (l, midi);
        single.processor->processBlock (s1, midi);
        linkedPeak = std::max (linkedPeak, linked.processor->gainReductionDb.load());
        singlePeak = std::max (singlePeak, single.processor->gainReductionDb.load());
    }
    EXPECT_GT (linkedPeak, 0.0f);
    EXPECT_LT (linkedPeak, singlePeak);
    EXPECT_EQ (oneSided.getMagnitude (1, 0, oneSided.getNumSamples()), 0.0f);
}

namespace
{
struct AnyLayoutProcessor : ZeriZaRirodAudioProcessor
{
    bool isBusesLayoutSupported (const BusesLayout&) const override { return true; }
};
} // namespace

TEST (SignalPath, ExtraOutputChannelsAreSilent)
{
    AnyLayoutProcessor proc;
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::mono());
    layout.outputBuses.add (juce::AudioChannelSet::stereo());
    ASSERT_TRUE (proc.setBusesLayout (layout));
    proc.prepareToPlay (48000, 512);

    auto audio = testsignals::speechLike (48000, 0.1);
    juce::MidiBuffer midi;
    proc.processBlock (audio, midi);
    EXPECT_EQ (audio.getMagnitude (1, 0, audio.getNumSamples()), 0.0f);
    EXPECT_GT (audio.getMagnitude (0, 0, audio.getNumSamples()), 0.0f);
}

TEST (SignalPath, EmptyBlockPublishesZeroAndKeepsMemories)
{
    auto a = testsignals::speechLike (48000, 1.0);
    auto b = a;
    ProcessorHarness withEmpty (48000, 2), without (48000, 2);
    for (auto* h : { &withEmpty, &without })
        h->set (Param::threshold, -50);

    juce::MidiBuffer midi;
    const int half = 24000;
    juce::AudioBuffer<float> firstA (a.getArrayOfWritePointers(), 2, 0, half);
    juce::AudioBuffer<float> firstB (b.getArrayOfWritePointers(), 2, 0, half);
    withEmpty.processor->processBlock (firstA, midi);
    without.processor->processBlock (firstB, midi);
    ASSERT_GT (withEmpty.processor->gainReductionDb.load(), 0.0f);

    juce::AudioBuffer<float> empty (2, 0);
    withEmpty.processor->processBlock (empty, midi);
    EXPECT_EQ (withEmpty.processor->gainReductionDb.load(), 0.0f);

    juce::AudioBuffer<float> restA (a.getArrayOfWritePointers(), 2, half, a.getNumSamples() - half);
    juce::AudioBuffer<float> restB (b.getArrayOfWritePointers(), 2, half, b.getNumSamples() - half);
    withEmpty.processor->processBlock (restA, midi);
    without.processor->processBlock (restB, midi);
    EXPECT_EQ (maxAbsDiff (a, b), 0.0f);
}

namespace
{
/** Energy in dB of [loHz, hiHz) summed over Hann-windowed 4096-point frames. */
double bandEnergyDb (const juce::AudioBuffer<float>& audio, double sr, double loHz, double hiHz)
{
    constexpr int order = 12, size = 1 << order;
    juce::dsp::FFT fft (order);
    juce::dsp::WindowingFunction<float> window (size, juce::dsp::WindowingFunction<float>::hann, false);
    std::vector<float> frame (2 * size);
    double energy = 0;

    for (int ch = 0; ch < audio.getNumChannels(); ++ch)
        for (int start = 0; start + size <= audio.getNumSamples(); start += size / 2)
        {
            std::fill (frame.begin(), frame.end(), 0.0f);
            std::copy_n (audio.getReadPointer (ch, start), size, frame.begin());
            window.multiplyWithWindowingTable (frame.data(), size);
            fft.performFrequencyOnlyForwardTransform (frame.data());
            for (int k = 0; k < size / 2; ++k)
            {
                const double hz = k * sr / size;
                if (hz >= loHz && hz < hiHz)
                    energy += (double) frame[(size_t) k] * frame[(size_t) k];
            }
        }
    return 10.0 * std::log10 (energy + 1e-30);
}
} // namespace

TEST (SignalPath, VoiceLosesSibilanceAndKeepsItsBody)
{
    const double sr = 48000;
    const auto input = testsignals::speechLike (sr, 4.0);
    auto output = input;
    ProcessorHarness h (sr, 2);
    h.process (output, 512);

    const double sibilanceDrop = bandEnergyDb (input, sr, 3831.6, 11026.8) - bandEnergyDb (output, sr, 3831.6, 11026.8);
    const double bodyChange = bandEnergyDb (output, sr, 20, 2000) - bandEnergyDb (input, sr, 20, 2000);
    EXPECT_GT (sibilanceDrop, 2.0);
    EXPECT_LT (std::abs (bodyChange), 0.1);
}

namespace
{
/** The reference's view of the processor's present parameter values. */
reference::Settings settingsOf (const ProcessorHarness& h)
{
    reference::Settings s;
    s.amount = h.get (Param::amount);
    s.threshold = h.get (Param::threshold);
    s.attack = h.get (Param::attack);
    s.release = h.get (Param::release);
    s.frequency = h.get (Param::frequency);
    s.focus = h.get (Param::focus);
    s.range = h.get (Param::range);
    s.mix = h.get (Param::mix);
    s.power = h.get (Param::power) >= 0.5f;
    s.monitor = h.get (Param::monitor) >= 0.5f;
    return s;
}
} // namespace

// A minute of stereo with every parameter automated at random and blocks of
// random length: long enough for rare branches (the gain computer's
// below-threshold shortcut under a moving threshold, ramps ending inside a
// stretch) to be hit many times.
TEST (SignalPath, MatchesLiteralFormulasUnderRandomAutomation)
{
    const double sr = 48000;
    auto input = testsignals::speechLike (sr, 60.0, 2, 7);
    auto viaProcessor = input;
    auto viaReference = input;

    ProcessorHarness h (sr, 2);
    reference::DeEsser ref (sr, settingsOf (h));
    juce::Random rng (42);
    juce::MidiBuffer midi;
    float worstPeakError = 0;

    for (int start = 0; start < input.getNumSamples();)
    {
        for (auto p : params::all())
        {
            const bool isSwitch = params::info (p).isSwitch;
            if (rng.nextFloat() < (isSwitch ? 0.02f : 0.3f))
            {
                auto* param = h.processor->parameters.getParameter (params::id (p));
                param->setValueNotifyingHost (rng.nextFloat());
            }
        }

        const int n = std::min (1 + rng.nextInt (1024), input.getNumSamples() - start);
        juce::AudioBuffer<float> block (viaProcessor.getArrayOfWritePointers(), 2, start, n);
        h.processor->processBlock (block, midi);

        const float peak = ref.process ({ viaReference.getWritePointer (0, start), viaReference.getWritePointer (1, start) },
                                        n, settingsOf (h));
        worstPeakError = std::max (worstPeakError, std::abs (peak - h.processor->gainReductionDb.load()));
        start += n;
    }

    const float worst = maxAbsDiff (viaProcessor, viaReference);
    RecordProperty ("maxAbsDeviation", juce::String (worst, 10).toStdString());
    EXPECT_LE (worst, 1e-6f);
    EXPECT_LE (worstPeakError, 1e-4f);
}

// The output may not depend on how the host cuts the audio into blocks, also
// while ramps (here all of them, Power's over 0.12 s) run across block edges.
TEST (SignalPath, OutputIndependentOfBlockSize)
{
    const double sr = 44100;
    const auto input = testsignals::speechLike (sr, 0.5);
    juce::AudioBuffer<float> first;

    for (int blockSize : { 4096, 1, 7, 63, 64, 65, 512 })
    {
        SCOPED_TRACE (blockSize);
        ProcessorHarness h (sr, 2);
        h.set (Param::threshold, -45);
        h.set (Param::frequency, 4000);
        h.set (Param::focus, 90);
        h.set (Param::attack, 3);
        h.set (Param::release, 150);
        h.set (Param::mix, 80);
        auto out = input;
        h.process (out, blockSize);

        if (first.getNumSamples() == 0)
            first = out;
        else
            EXPECT_EQ (maxAbsDiff (out, first), 0.0f);
    }
}

TEST (SignalPath, RecoversFromNonFiniteInput)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        const char* name;
        int channels;
        std::vector<std::pair<int, float>> bad; // (channel, value) at the same sample
    };
    const Case cases[] = {
        { "NaN left", 2, { { 0, nan } } },
        { "+inf right", 2, { { 1, inf } } },
        { "-inf both", 2, { { 0, -inf }, { 1, -inf } } },
        { "NaN and inf", 2, { { 0, nan }, { 1, inf } } },
        { "NaN mono", 1, { { 0, nan } } },
    };

    const double sr = 48000;
    const int badAt = 15013; // inside a sibilance burst, mid-block
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto clean = testsignals::speechLike (sr, 2.0, c.channels);
        auto hit = clean, unhit = clean;
        for (auto [ch, value] : c.bad)
            hit.setSample (ch, badAt, value);

        ProcessorHarness h (sr, c.channels), g (sr, c.channels);
        for (auto* p : { &h, &g })
            p->set (Param::threshold, -40);
        h.process (hit, 512);
        g.process (unhit, 512);

        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = 0; i < clean.getNumSamples(); ++i)
            {
                if (i < badAt)
                {
                    ASSERT_EQ (hit.getSample (ch, i), unhit.getSample (ch, i)) << ch << " " << i;
                }
                else if (i > badAt)
                {
                    ASSERT_TRUE (std::isfinite (hit.getSample (ch, i))) << ch << " " << i;
                }
            }

        // The cleared memories settle back onto the undisturbed path.
        float lateDiff = 0;
        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = badAt + (int) sr; i < clean.getNumSamples(); ++i)
                lateDiff = std::max (lateDiff, std::abs (hit.getSample (ch, i) - unhit.getSample (ch, i)));
        EXPECT_LT (lateDiff, 1e-4f);
        EXPECT_GT (h.processor->gainReductionDb.load(), 0.0f);
    }
}

// The recovery may not touch finite audio, however extreme: bit for bit the
// formulas' result, with huge, tiny and denormal samples included.
TEST (SignalPath, FiniteExtremesPassBitForBit)
{
    const double sr = 48000;
    auto input = testsignals::speechLike (sr, 1.0);
    const float extremes[] = { 1e20f, -1e20f, 1e-40f, -1e-42f, 0.0f, -0.0f, 3e4f, 1e-30f };
    for (int i = 0; i < (int) std::size (extremes); ++i)
        for (int ch = 0; ch < 2; ++ch)
            input.setSample (ch, 9000 + 37 * i + ch, extremes[i]);

    auto viaProcessor = input, viaReference = input;
    ProcessorHarness h (sr, 2);
    h.set (Param::threshold, -50);
    h.prepare (sr, 2);
    reference::DeEsser ref (sr, settingsOf (h));

    juce::MidiBuffer midi;
    juce::ScopedNoDenormals sameFloatModeAsTheProcessor;
    for (int start = 0; start < input.getNumSamples(); start += 256)
    {
        const int n = std::min (256, input.getNumSamples() - start);
        juce::AudioBuffer<float> block (viaProcessor.getArrayOfWritePointers(), 2, start, n);
        h.processor->processBlock (block, midi);
        ref.process ({ viaReference.getWritePointer (0, start), viaReference.getWritePointer (1, start) }, n,
                     settingsOf (h));
    }
    EXPECT_EQ (maxAbsDiff (viaProcessor, viaReference), 0.0f);
}

// Machines with AVX2 run wider code than the rest; both must give the same
// output to the bit, in every scenario above and while ramps run.
TEST (SignalPath, SameOutputWithAndWithoutAvx2)
{
    const auto render = [] (const Scenario& s) {
        ProcessorHarness h (s.sampleRate, s.channels);
        apply (h, s.start);
        auto audio = testsignals::speechLike (s.sampleRate, 0.6, s.channels, 3);
        const int half = audio.getNumSamples() / 2;
        juce::AudioBuffer<float> first (audio.getArrayOfWritePointers(), s.channels, 0, half);
        juce::AudioBuffer<float> second (audio.getArrayOfWritePointers(), s.channels, half, audio.getNumSamples() - half);
        h.process (first, s.blockSize);
        apply (h, s.later);
        h.process (second, s.blockSize);
        return audio;
    };

    for (const auto& s : scenarios())
    {
        SCOPED_TRACE (s.name);
        DeEsser::useAvx2IfAvailable (true);
        const auto wide = render (s);
        DeEsser::useAvx2IfAvailable (false);
        const auto plain = render (s);
        DeEsser::useAvx2IfAvailable (true);

        for (int c = 0; c < s.channels; ++c)
            EXPECT_EQ (std::memcmp (wide.getReadPointer (c), plain.getReadPointer (c),
                                    sizeof (float) * (size_t) wide.getNumSamples()),
                       0);
    }
}
