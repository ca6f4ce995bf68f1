#include "HostedTestSupport.h"

#include <atomic>
#include <thread>

namespace
{
class HostedLifecycle : public ::testing::TestWithParam<HostedFormat>
{
};

TEST_P (HostedLifecycle, PrepareReleaseAndPrepareAtAnotherRate)
{
    auto instance = PluginHost::get().create (GetParam(), 44100.0, 512);
    ASSERT_NE (instance, nullptr);
    ProcessorHarness reference (44100.0, 2, 512);

    for (const double rate : { 44100.0, 96000.0, 48000.0 })
    {
        SCOPED_TRACE (rate);
        instance->releaseResources();
        instance->setRateAndBufferSizeDetails (rate, 512);
        instance->prepareToPlay (rate, 512);
        reference.processor->releaseResources();
        reference.prepare (rate, 2, 512);

        const auto input = testsignals::speechLike (rate, 0.5);
        const auto [out, expected] = hosted::runSideBySide (*instance, *reference.processor, input,
                                                            hosted::blockPlan (input.getNumSamples(), 512));
        EXPECT_EQ (hosted::maxDifference (out, expected), 0.0f);
    }
}

// Instances share one loaded binary; any state leaking between them would
// show as one instance's output depending on another's settings.
TEST_P (HostedLifecycle, ThirtyTwoInstancesProcessSideBySide)
{
    constexpr int count = 32;
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances;
    std::vector<std::unique_ptr<ProcessorHarness>> references;

    for (int i = 0; i < count; ++i)
    {
        instances.push_back (PluginHost::get().create (GetParam(), 48000.0, 512));
        ASSERT_NE (instances.back(), nullptr);
        references.push_back (std::make_unique<ProcessorHarness> (48000.0, 2, 512));

        const float threshold = -50.0f + 1.5f * (float) i;
        hosted::setHosted (*instances.back(), Param::threshold, threshold);
        references.back()->set (Param::threshold, threshold);
    }

    const auto input = testsignals::speechLike (48000.0, 0.5);
    std::vector<juce::AudioBuffer<float>> outs (count, input), expected (count, input);
    juce::MidiBuffer midi;

    for (int start = 0; start < input.getNumSamples(); start += 512)
    {
        const int n = juce::jmin (512, input.getNumSamples() - start);
        for (int i = 0; i < count; ++i)
        {
            juce::AudioBuffer<float> a (outs[(size_t) i].getArrayOfWritePointers(), 2, start, n);
            juce::AudioBuffer<float> b (expected[(size_t) i].getArrayOfWritePointers(), 2, start, n);
            instances[(size_t) i]->processBlock (a, midi);
            references[(size_t) i]->processor->processBlock (b, midi);
        }
    }

    for (int i = 0; i < count; ++i)
        EXPECT_EQ (hosted::maxDifference (outs[(size_t) i], expected[(size_t) i]), 0.0f) << "instance " << i;

    EXPECT_GT (hosted::maxDifference (outs.front(), outs.back()), 0.001f) << "settings did not reach the instances";
}

// Each cycle loads, processes and unloads an instance while the host's message
// loop runs between cycles, as in a DAW. Leaks are looked for under valgrind by
// the host_memcheck entry.
TEST_P (HostedLifecycle, CreateAndDestroyAHundredTimes)
{
    const auto input = testsignals::speechLike (48000.0, 0.05);

    for (int i = 0; i < 100; ++i)
    {
        auto instance = PluginHost::get().create (GetParam(), 48000.0, 512);
        ASSERT_NE (instance, nullptr) << "cycle " << i;
        hosted::setHosted (*instance, Param::amount, (float) i);

        ProcessorHarness reference (48000.0, 2, 512);
        reference.set (Param::amount, (float) i);
        const auto [out, expected] = hosted::runSideBySide (*instance, *reference.processor, input,
                                                            hosted::blockPlan (input.getNumSamples(), 512));
        ASSERT_EQ (hosted::maxDifference (out, expected), 0.0f) << "cycle " << i;

        instance.reset();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
    }
}

// A DAW processes on its audio thread while the user recalls states and moves
// parameters on the message thread. The audio thread holds the instance's
// callback lock around each block, as JUCE's own player does.
TEST_P (HostedLifecycle, StateAndAutomationWhileAudioRuns)
{
    auto instance = PluginHost::get().create (GetParam(), 48000.0, 256);
    ASSERT_NE (instance, nullptr);

    std::vector<juce::MemoryBlock> states;
    for (const float threshold : { -50.0f, -10.0f })
    {
        hosted::setHosted (*instance, Param::threshold, threshold);
        hosted::setHosted (*instance, Param::monitor, threshold < -30.0f ? 1.0f : 0.0f);
        hosted::settle (*instance);
        states.emplace_back();
        instance->getStateInformation (states.back());
    }

    const auto input = testsignals::speechLike (48000.0, 0.5);
    std::atomic<bool> stop{ false };
    std::atomic<int> blocks{ 0 }, badSamples{ 0 };

    std::thread audio (
        [&]
        {
            juce::AudioBuffer<float> block (2, 256);
            juce::MidiBuffer midi;
            for (int start = 0; !stop; start = (start + 256) % (input.getNumSamples() - 256))
            {
                for (int c = 0; c < 2; ++c)
                    block.copyFrom (c, 0, input, c, start, 256);
                {
                    const juce::ScopedLock sl (instance->getCallbackLock());
                    instance->processBlock (block, midi);
                }
                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < 256; ++i)
                        if (!(std::abs (block.getSample (c, i)) < 4.0f))
                            ++badSamples;
                ++blocks;
            }
        });

    juce::Random rng (5);
    for (int i = 0; i < 200; ++i)
    {
        const auto& state = states[(size_t) (i % 2)];
        instance->setStateInformation (state.getData(), (int) state.getSize());
        const auto p = params::fromIndex (1 + rng.nextInt (numParams - 1));
        hosted::setHosted (*instance, p, hosted::gridValue (p, rng));
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
    }

    stop = true;
    audio.join();
    EXPECT_GT (blocks.load(), 0);
    EXPECT_EQ (badSamples.load(), 0);
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedLifecycle, hosted::formats, hosted::formatName);
} // namespace
