#include "face/VellReductionMeter.h"

#include "face/PixelRounding.h"
#include "face/PowerState.h"
#include "looks/VellFont.h"

#include <cmath>

VellReductionMeter::VellReductionMeter (ZeriZaRirodAudioProcessor& p) : processor (p) {}

int VellReductionMeter::litSegmentsFor (float reductionDb)
{
    const auto c = juce::jlimit (0.0f, fullScaleDb, reductionDb) / fullScaleDb;
    return (int) std::nearbyint (c * (float) numSegments);
}

void VellReductionMeter::paint (juce::Graphics& g)
{
    const auto W = (float) getWidth();
    const auto H = (float) getHeight();
    const auto bounds = getLocalBounds().toFloat();
    const auto powerOn = isPowerOn (processor);
    const auto reduction = processor.gainReductionDb.load();

    g.setGradientFill ({ juce::Colour (0xff232324), W / 2, 0, juce::Colour (0xff0e0e0f), W / 2, H, false });
    g.fillRoundedRectangle (bounds, 0.12f * H);

    g.setColour (juce::Colour (0x16ffffff));
    g.drawRoundedRectangle (bounds.reduced (1.0f), 0.12f * H, 1.0f);

    const auto titleColour = juce::Colour (powerOn ? 0xffacafb5 : 0xff6f737a);
    const auto th = juce::jmin (H, 0.32f * H);
    g.setColour (titleColour);
    g.setFont (vellFont (0.85f * th, "Medium"));
    g.drawText ("DE-ESSING REDUCTION", roundedToPixels ({ 0, 0.15f * H, W, th }), juce::Justification::centredBottom,
                false);

    auto area = bounds.withTrimmedTop (th).reduced (0.06f * W, 0.05f * H);
    area.removeFromTop (juce::jmin (area.getHeight(), 0.12f * H));
    const auto R = area;

    // Lit segments grow from the left as the band is turned down, so the gain
    // change reads 0 at the left end and -24 at the right.
    g.setColour (juce::Colour (powerOn ? 0xff6f737a : 0xff484c52));
    g.setFont (vellFont (0.14f * R.getHeight(), "Medium"));
    const char* scale[] = { "0", "-6", "-12", "-18", "-24" };
    for (int k = 0; k < 5; ++k)
    {
        const auto label = juce::Rectangle<float> (0.1f * R.getWidth(), 0.18f * R.getHeight())
                               .withCentre ({ R.getX() + (float) k / 4.0f * R.getWidth(), 0 })
                               .withY (R.getY());
        g.drawText (scale[k], roundedToPixels (label), juce::Justification::centred, false);
    }

    const auto P = 0.94f * R.getWidth();
    const auto gap = 0.01f * P;
    const auto sw = (P - 33.0f * gap) / 34.0f;
    const auto lit = powerOn ? litSegmentsFor (reduction) : 0;
    const auto low = juce::Colour (0xf253c9ff);
    const auto high = juce::Colour (0xf27bdcff);
    const auto unlit = juce::Colour (powerOn ? 0xff2a3039 : 0xff1c1f24);

    for (int i = 0; i < numSegments; ++i)
    {
        g.setColour (i < lit ? low.interpolatedWith (high, (float) i / 33.0f) : unlit);
        g.fillRoundedRectangle (R.getX() + (float) i * (sw + gap), R.getY() + 0.3f * R.getHeight(), sw,
                                0.58f * R.getHeight(), 0.18f * sw);
    }

    g.setColour (titleColour);
    g.setFont (vellFont (0.18f * R.getHeight(), "Medium"));
    g.drawText ("dB",
                roundedToPixels ({ R.getX() + P + 0.012f * R.getWidth(), R.getY() + 0.3f * R.getHeight(),
                                   0.06f * R.getWidth(), 0.58f * R.getHeight() }),
                juce::Justification::centredLeft, false);
}
