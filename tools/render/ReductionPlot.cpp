#include "tools/render/ReductionPlot.h"

#include <cmath>

namespace
{
// Plot area inside the picture; everything else is axes, labels and title.
constexpr int left = 78, right = 24, top = 44, gap = 26, bottom = 56;
constexpr int waveHeight = 290;
constexpr int columns = ReductionPlot::width - left - right;

const juce::Colour background{ 0xffffffff }, frame{ 0xff9aa0a8 }, grid{ 0xffe6e8eb }, text{ 0xff24272b };
const juce::Colour inputColour{ 0xffb9bec6 }, outputColour{ 0xff1f6fb4 }, reductionColour{ 0xffd9480f };

/** A step of 1, 2 or 5 times a power of ten giving at most maxTicks ticks. */
double niceStep (double span, int maxTicks)
{
    const auto raw = span / maxTicks;
    const auto magnitude = std::pow (10.0, std::floor (std::log10 (raw)));
    for (auto m : { 1.0, 2.0, 5.0, 10.0 })
        if (m * magnitude >= raw * 0.999)
            return m * magnitude;
    return 10.0 * magnitude;
}

juce::String tickLabel (double value, double step)
{
    const int decimals = step >= 1.0 ? 0 : juce::jmin (3, (int) std::ceil (-std::log10 (step) - 1e-9));
    return juce::String (std::abs (value) < step * 1e-6 ? 0.0 : value, decimals);
}

void drawVerticalLabel (juce::Graphics& g, const juce::String& label, juce::Rectangle<int> area)
{
    juce::Graphics::ScopedSaveState state (g);
    const auto c = area.getCentre().toFloat();
    g.addTransform (juce::AffineTransform::rotation (-juce::MathConstants<float>::halfPi, c.x, c.y));
    g.drawText (label, juce::Rectangle<float> ((float) area.getHeight(), (float) area.getWidth()).withCentre (c),
                juce::Justification::centred);
}
} // namespace

ReductionPlot::ReductionPlot (juce::int64 total, double rate)
    : totalSamples (juce::jmax<juce::int64> (1, total))
    , sampleRate (rate)
    , input ((size_t) columns)
    , output ((size_t) columns)
    , reduction ((size_t) columns, 0.0f)
{
}

int ReductionPlot::columnOf (juce::int64 sample) const
{
    return (int) juce::jlimit<juce::int64> (0, columns - 1, sample * columns / totalSamples);
}

void ReductionPlot::add (std::vector<Column>& target, const juce::AudioBuffer<float>& audio, int numSamples,
                         juce::int64 startSample)
{
    for (int ch = 0; ch < audio.getNumChannels(); ++ch)
    {
        const auto* x = audio.getReadPointer (ch);
        for (int i = 0; i < numSamples; ++i)
        {
            auto& c = target[(size_t) columnOf (startSample + i)];
            c.min = juce::jmin (c.min, x[i]);
            c.max = juce::jmax (c.max, x[i]);
        }
    }
}

void ReductionPlot::addInput (const juce::AudioBuffer<float>& audio, int numSamples, juce::int64 startSample)
{
    add (input, audio, numSamples, startSample);
}

void ReductionPlot::addOutput (const juce::AudioBuffer<float>& audio, int numSamples, juce::int64 startSample)
{
    add (output, audio, numSamples, startSample);
}

void ReductionPlot::addReduction (float db, juce::int64 startSample, int numSamples)
{
    for (int c = columnOf (startSample); c <= columnOf (startSample + numSamples - 1); ++c)
        reduction[(size_t) c] = juce::jmax (reduction[(size_t) c], db);
}

juce::Image ReductionPlot::draw (const juce::String& title, float fullScaleDb) const
{
    juce::Image image (juce::Image::RGB, width, height, true);
    juce::Graphics g (image);
    g.fillAll (background);
    g.setFont (juce::Font (15.0f));

    const juce::Rectangle<int> wave (left, top, columns, waveHeight);
    const juce::Rectangle<int> gr (left, wave.getBottom() + gap, columns, height - bottom - wave.getBottom() - gap);

    g.setColour (text);
    g.setFont (juce::Font (17.0f, juce::Font::bold));
    g.drawText (title, juce::Rectangle<int> (left, 8, columns, 26), juce::Justification::centredLeft);
    g.setFont (juce::Font (15.0f));

    // Time axis, shared by both panels.
    const double seconds = (double) totalSamples / sampleRate;
    const double timeStep = niceStep (seconds, 12);
    for (double t = 0; t <= seconds + 1e-9; t += timeStep)
    {
        const auto x = (float) left + (float) (t / seconds * columns);
        g.setColour (grid);
        g.drawVerticalLine ((int) x, (float) wave.getY(), (float) wave.getBottom());
        g.drawVerticalLine ((int) x, (float) gr.getY(), (float) gr.getBottom());
        g.setColour (text);
        g.drawText (tickLabel (t, timeStep), juce::Rectangle<float> (x - 40, (float) gr.getBottom() + 4, 80, 18),
                    juce::Justification::centred);
    }
    g.drawText ("Time (s)", juce::Rectangle<int> (left, height - 28, columns, 22), juce::Justification::centred);

    // Waveforms: the vertical scale follows the loudest input sample.
    float peak = 0.0f;
    for (const auto& c : input)
        peak = juce::jmax (peak, -c.min, c.max);
    const double ampStep = niceStep (juce::jmax (0.01f, peak), 3);
    const double ampTop = ampStep * std::ceil (juce::jmax (0.01f, peak) * 1.02 / ampStep);
    const auto yOfAmp = [&] (double a)
    { return (float) wave.getCentreY() - (float) (a / ampTop) * (float) wave.getHeight() * 0.5f; };

    for (double a = -ampTop; a <= ampTop + 1e-9; a += ampStep)
    {
        g.setColour (grid);
        g.drawHorizontalLine ((int) yOfAmp (a), (float) wave.getX(), (float) wave.getRight());
        g.setColour (text);
        g.drawText (tickLabel (a, ampStep), juce::Rectangle<float> ((float) left - 50, yOfAmp (a) - 9, 44, 18),
                    juce::Justification::centredRight);
    }

    const auto drawWave = [&] (const std::vector<Column>& cols, juce::Colour colour)
    {
        g.setColour (colour);
        for (int i = 0; i < columns; ++i)
        {
            const auto y1 = yOfAmp (cols[(size_t) i].max), y2 = yOfAmp (cols[(size_t) i].min);
            g.fillRect (juce::Rectangle<float> ((float) (left + i), y1, 1.0f, juce::jmax (1.0f, y2 - y1)));
        }
    };
    drawWave (input, inputColour);
    drawWave (output, outputColour);

    g.setColour (text);
    drawVerticalLabel (g, "Amplitude", { 4, wave.getY(), 22, wave.getHeight() });

    // Legend, top right of the waveform panel.
    const auto legend = [&] (int x, juce::Colour colour, const juce::String& label)
    {
        g.setColour (colour);
        g.fillRect (x, wave.getY() + 8, 14, 14);
        g.setColour (text);
        g.drawText (label, x + 20, wave.getY() + 6, 60, 18, juce::Justification::centredLeft);
    };
    legend (wave.getRight() - 170, inputColour, "input");
    legend (wave.getRight() - 90, outputColour, "output");

    // Gain reduction, 0 dB at the top, growing downwards to the Range setting.
    const double depth = juce::jmax (1.0f, fullScaleDb);
    const double dbStep = niceStep (depth, 4);
    const auto yOfDb = [&] (double d) { return (float) gr.getY() + (float) (d / depth) * (float) gr.getHeight(); };

    for (double d = 0; d <= depth + 1e-9; d += dbStep)
    {
        g.setColour (grid);
        g.drawHorizontalLine ((int) yOfDb (d), (float) gr.getX(), (float) gr.getRight());
        g.setColour (text);
        g.drawText (tickLabel (-d, dbStep), juce::Rectangle<float> ((float) left - 50, yOfDb (d) - 9, 44, 18),
                    juce::Justification::centredRight);
    }

    juce::Path area;
    area.startNewSubPath ((float) left, (float) gr.getY());
    for (int i = 0; i < columns; ++i)
        area.lineTo ((float) (left + i) + 0.5f, yOfDb (juce::jmin ((double) reduction[(size_t) i], depth)));
    area.lineTo ((float) gr.getRight(), (float) gr.getY());
    area.closeSubPath();
    g.setColour (reductionColour.withAlpha (0.35f));
    g.fillPath (area);
    g.setColour (reductionColour);
    g.strokePath (area, juce::PathStrokeType (1.2f));

    g.setColour (text);
    drawVerticalLabel (g, "Reduction (dB)", { 4, gr.getY() - 10, 22, gr.getHeight() + 20 });

    g.setColour (frame);
    g.drawRect (wave.expanded (1));
    g.drawRect (gr.expanded (1));
    return image;
}
