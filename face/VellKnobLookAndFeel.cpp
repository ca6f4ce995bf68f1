#include "face/VellKnobLookAndFeel.h"

#include "face/PixelRounding.h"
#include "face/PowerState.h"
#include "looks/VellFont.h"

namespace
{
struct KnobStyle
{
    float margin;
    juce::uint32 rimColour;
    float ringInset, capInset, arcRadius;
    juce::uint32 trackColour;
    float trackThickness;
    juce::uint32 glowColour;
    float glowThickness, coreThickness;
    int steps;
    float tickInner, tickOuter, majorTick, minorTick;
};

// The Amount knob has its own proportions, a finer scale and brighter details.
constexpr KnobStyle heroStyle{ 0.025f, 0x3affffff, 0.085f, 0.1f,   0.4f,   0x22ffffff, 0.0105f, 0x2953c9ff,
                               0.04f,  0.01f,      48,     0.468f, 0.525f, 1.5f,       1.0f };
constexpr KnobStyle plainStyle{ 0.035f, 0x28ffffff, 0.1f, 0.12f,  0.36f,  0x18ffffff, 0.018f, 0x2153c9ff,
                                0.038f, 0.014f,     36,   0.455f, 0.505f, 1.1f,       0.8f };

const juce::PathStrokeType::JointStyle curved = juce::PathStrokeType::curved;
const juce::PathStrokeType::EndCapStyle rounded = juce::PathStrokeType::rounded;

void strokeArc (juce::Graphics& g, juce::Point<float> centre, float radius, float from, float to, juce::Colour colour,
                float thickness)
{
    juce::Path arc;
    arc.addCentredArc (centre.x, centre.y, radius, radius, 0.0f, from, to, true);
    g.setColour (colour);
    g.strokePath (arc, { thickness, curved, rounded });
}

void fillVertical (juce::Graphics& g, juce::Rectangle<float> area, juce::uint32 top, juce::uint32 bottom)
{
    g.setGradientFill ({ juce::Colour (top), area.getCentreX(), area.getY(), juce::Colour (bottom), area.getCentreX(),
                         area.getBottom(), false });
}
} // namespace

VellKnobLookAndFeel::VellKnobLookAndFeel (ZeriZaRirodAudioProcessor& p) : processor (p) {}

void VellKnobLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float pos,
                                            float start, float end, juce::Slider& slider)
{
    const auto& s = slider.getComponentID() == "hero" ? heroStyle : plainStyle;
    const auto bounds = juce::Rectangle<int> (x, y, width, height).toFloat();

    const auto dial = bounds.reduced (s.margin * bounds.getWidth(), s.margin * bounds.getHeight());
    const auto d = dial.getWidth();
    const auto c = dial.getCentre();

    fillVertical (g, dial, 0xff6e7074, 0xff242528);
    g.fillEllipse (dial);

    g.setColour (juce::Colour (s.rimColour));
    g.drawEllipse (dial.reduced (0.01f * d), 1.0f);

    const auto ring = dial.reduced (s.ringInset * d);
    g.setColour (juce::Colour (0xaa000000));
    g.drawEllipse (ring, 1.0f);

    const auto cap = ring.reduced (s.capInset * ring.getWidth());
    const auto q = cap.getWidth();
    fillVertical (g, cap, 0xff2c2d31, 0xff07080a);
    g.fillEllipse (cap);
    fillVertical (g, cap, 0x05ffffff, 0x01ffffff);
    g.fillEllipse (cap);

    const auto radius = s.arcRadius * d;
    const auto valueAngle = start + pos * (end - start);
    strokeArc (g, c, radius, start, end, juce::Colour (s.trackColour), s.trackThickness * d);

    if (isPowerOn (processor))
    {
        strokeArc (g, c, radius, start, valueAngle, juce::Colour (s.glowColour), s.glowThickness * d);
        strokeArc (g, c, radius, start, valueAngle, juce::Colour (0xff7bdcff), s.coreThickness * d);
    }

    for (int i = 0; i <= s.steps; ++i)
    {
        const auto angle = start + ((float) i / (float) s.steps) * (end - start);
        const auto major = i % 6 == 0;
        g.setColour (juce::Colour (major ? 0x9bffffffu : 0x4effffffu));
        g.drawLine (
            { c.getPointOnCircumference (s.tickInner * d, angle), c.getPointOnCircumference (s.tickOuter * d, angle) },
            major ? s.majorTick : s.minorTick);
    }

    juce::Path pointer;
    pointer.addRoundedRectangle (-0.016f * d, -0.39f * q, 0.032f * d, 0.39f * q, 0.01f * d);
    const auto rotation = juce::AffineTransform::rotation (valueAngle);

    g.setColour (juce::Colour (0x94000000));
    g.fillPath (pointer, rotation.translated (c.x + 1.2f, c.y + 1.5f));
    g.setColour (juce::Colour (0xfff1f4f8));
    g.fillPath (pointer, rotation.translated (c.x, c.y));

    g.setColour (juce::Colour (0xa0050607));
    g.fillEllipse (cap.reduced (0.44f * q));
}

void VellKnobLookAndFeel::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button, bool highlighted, bool)
{
    if (button.getComponentID() == "power")
        drawPowerToggle (g, button, highlighted);
    else if (button.getComponentID() == "monitor")
        drawMonitorToggle (g, button, highlighted);
}

void VellKnobLookAndFeel::drawPowerToggle (juce::Graphics& g, juce::ToggleButton& button, bool highlighted)
{
    const auto bounds = button.getLocalBounds().toFloat();
    const auto W = bounds.getWidth();
    const auto on = button.getToggleState();

    fillVertical (g, bounds, 0xff2f2f31, 0xff08090b);
    g.fillEllipse (bounds);

    const auto inner = bounds.reduced (0.16f * W);
    const auto iw = inner.getWidth();
    const auto ih = inner.getHeight();
    fillVertical (g, inner, 0xff202327, 0xff08090b);
    g.fillEllipse (inner);

    if (button.isMouseButtonDown())
    {
        g.setColour (juce::Colour (0x0fffffff));
        g.fillEllipse (bounds);
    }
    else if (button.isMouseOver())
    {
        g.setColour (juce::Colour (0x0affffff));
        g.fillEllipse (bounds);
    }

    g.setColour (juce::Colour (0x2affffff));
    g.drawEllipse (bounds.reduced (1.0f), 1.0f);

    const auto c = inner.getCentre();
    const auto rgb = on ? 0x53c9ffu : 0x6f737au;
    const auto core = juce::Colour ((highlighted ? 0xfa000000u : 0xe0000000u) | rgb);

    strokeArc (g, c, 0.27f * iw, 0.6911504f, 5.592035f, juce::Colour (0x29000000u | rgb), 0.18f * iw);
    strokeArc (g, c, 0.27f * iw, 0.6911504f, 5.592035f, core, 0.06f * iw);

    g.setColour (core);
    g.drawLine (c.x, inner.getY() + 0.1f * ih, c.x, c.y - 0.02f * ih, 0.06f * iw);
}

void VellKnobLookAndFeel::drawMonitorToggle (juce::Graphics& g, juce::ToggleButton& button, bool highlighted)
{
    const auto bounds = button.getLocalBounds().toFloat();
    const auto W = bounds.getWidth();
    const auto H = bounds.getHeight();
    const auto active = button.getToggleState() && isPowerOn (processor);

    fillVertical (g, bounds, 0xff232324, 0xff0e0e0f);
    g.fillRoundedRectangle (bounds, 0.26f * H);

    g.setColour (juce::Colour (0x73000000));
    g.drawRoundedRectangle (bounds.reduced (1.0f), 0.26f * H, 1.2f);
    g.setColour (juce::Colour (highlighted ? 0x76b4bac2 : 0x56b4bac2));
    g.drawRoundedRectangle (bounds.reduced (2.0f), 0.24f * H, 1.0f);

    const auto iconArea = bounds.withWidth (juce::jmin (W, 1.1f * H));
    const auto icon = iconArea.reduced (0.2f * H);
    const auto ix = icon.getCentreX();
    const auto iy = icon.getCentreY();
    const auto p = 0.24f * icon.getWidth();

    g.setColour (juce::Colour (active ? 0xff7bdcff : 0xffacafb5));
    g.drawEllipse (ix - 1.7f * p, iy - p, 1.25f * p, 1.6f * p, 1.25f);
    g.drawEllipse (ix + 0.4f * p, iy - p, 1.25f * p, 1.6f * p, 1.25f);
    g.drawLine (ix - 0.4f * p, iy + 0.66f * p, ix + p, iy + 0.66f * p, 1.25f);

    const auto rest = bounds.withLeft (iconArea.getRight());
    const auto captionWidth = 0.72f * rest.getWidth();
    g.setColour (juce::Colour (0xffacafb5));
    g.setFont (vellFont (0.42f * H, "Medium"));
    g.drawText ("Monitor", roundedToPixels (rest.withWidth (captionWidth)), juce::Justification::centredLeft, false);

    const auto lightArea = rest.withTrimmedLeft (captionWidth).reduced (0.24f * H);
    const auto side = juce::jmax (0.0f, juce::jmin (lightArea.getWidth(), lightArea.getHeight()));
    const auto light = juce::Rectangle<float> (side, side).withCentre (lightArea.getCentre());

    if (active)
    {
        g.setColour (juce::Colour (0x297bdcff));
        g.fillEllipse (light.expanded (0.55f * side));
        g.setColour (juce::Colour (0xff7bdcff));
    }
    else
    {
        g.setColour (juce::Colour (0xff4e5258));
    }

    g.fillEllipse (light);
}
