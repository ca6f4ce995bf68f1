#include "HostedTestSupport.h"

namespace
{
class HostedProcessing : public ::testing::TestWithParam<HostedFormat>
{
protected:
    /** Every rate and block plan a host may use; with `automate`, the host moves
        one parameter through its parameter objects every 10 ms of audio. */
    void compareWithInProcess (bool automate)
    {
        for (const double rate : { 44100.0, 48000.0, 96000.0 })
        {
            for (const int block : { 1, 32, 512, 4096, 0 })
            {
                SCOPED_TRACE (juce::String (rate) + " Hz, block " + (block > 0 ? juce::String (block) : "varying"));

                auto instance = PluginHost::get().create (GetParam(), rate, 4096);
                ASSERT_NE (instance, nullptr);
                ProcessorHarness reference (rate, 2, 4096);

                const auto input = testsignals::speechLike (rate, 0.75);
                const auto slot = (int) (rate * 0.01);
                juce::Random rng (42);
                int eventIndex = 0, lastSlot = -1;

                const auto automation = [&] (int start)
                {
                    if (!automate || start / slot == lastSlot)
                        return;

                    lastSlot = start / slot;
                    const auto p = params::fromIndex (eventIndex++ % numParams);
                    const auto value = hosted::gridValue (p, rng);
                    hosted::setHosted (*instance, p, value);
                    reference.set (p, value);
                };

                const auto [out, expected] =
                    hosted::runSideBySide (*instance, *reference.processor, input,
                                           hosted::blockPlan (input.getNumSamples(), block), automation);

                EXPECT_EQ (hosted::maxDifference (out, expected), 0.0f);
                EXPECT_GT (hosted::maxDifference (out, input), 0.01f) << "the signal went through unprocessed";
            }
        }
    }
};

TEST_P (HostedProcessing, OutputEqualsInProcessAtEveryRateAndBlockSize) { compareWithInProcess (false); }

TEST_P (HostedProcessing, AutomationThroughHostParametersEqualsInProcess) { compareWithInProcess (true); }

INSTANTIATE_TEST_SUITE_P (Formats, HostedProcessing, hosted::formats, hosted::formatName);
} // namespace
