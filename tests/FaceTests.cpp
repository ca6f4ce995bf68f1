#include "FaceFixture.h"
#include "looks/VellFont.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using Rect = juce::Rectangle<int>;

bool isBlue (juce::Colour c) { return c.getBlue() > 150 && c.getBlue() > c.getRed() + 60; }
} // namespace

TEST (FaceFont, NamedStylesFallBackToFacesTheFamilyHas)
{
    for (auto style : { "Medium", "Bold" })
    {
        const auto font = vellFont (17.0f, style);
        const auto family = font.getTypefacePtr()->getName();
        EXPECT_FLOAT_EQ (font.getHeight(), 17.0f);
        EXPECT_TRUE (juce::Font::findAllTypefaceStyles (family).contains (font.getTypefaceStyle()))
            << family << " has no " << font.getTypefaceStyle();
    }

    EXPECT_TRUE (vellFont (17.0f, "Bold").getTypefaceStyle().containsIgnoreCase ("bold"));
    EXPECT_FALSE (vellFont (17.0f, "Medium").getTypefaceStyle().containsIgnoreCase ("bold"));
}

//==============================================================================
TEST (FaceLayout, ChildrenLandOnTheirPixelsAt1000x600)
{
    FaceFixture f;
    auto& face = f.face;

    EXPECT_EQ (face.getPowerToggle().getBounds(), Rect (878, 41, 55, 55));
    EXPECT_EQ (face.getMeter().getBounds(), Rect (306, 454, 389, 45));
    EXPECT_EQ (face.getMonitorToggle().getBounds(), Rect (417, 511, 167, 27));

    const Rect knobs[] = { { 423, 131, 155, 155 }, { 316, 339, 91, 91 },   { 455, 339, 91, 91 },
                           { 593, 339, 91, 91 },   { 129, 160, 132, 132 }, { 129, 360, 132, 132 },
                           { 739, 160, 132, 132 }, { 739, 360, 132, 132 } };
    for (size_t i = 0; i < ZeriZaRirodGUI::knobParams.size(); ++i)
        EXPECT_EQ (face.getKnob (ZeriZaRirodGUI::knobParams[i]).getBounds(), knobs[i]) << "knob " << i;

    EXPECT_EQ (face.getTitleLabel (Param::amount).getBounds(), Rect (435, 93, 129, 26));
    EXPECT_EQ (face.getValueLabel (Param::amount).getBounds(), Rect (453, 287, 92, 26));
    EXPECT_EQ (face.getTitleLabel (Param::frequency).getBounds(), Rect (91, 140, 205, 22));
    EXPECT_EQ (face.getValueLabel (Param::frequency).getBounds(), Rect (102, 294, 184, 22));
    EXPECT_EQ (face.getTitleLabel (Param::threshold).getBounds(), Rect (290, 324, 141, 15));
    EXPECT_EQ (face.getValueLabel (Param::threshold).getBounds(), Rect (297, 431, 127, 15));

    for (auto i : { Param::focus, Param::range, Param::mix })
    {
        EXPECT_EQ (face.getTitleLabel (i).getBounds().getWidth(), 205);
        EXPECT_EQ (face.getTitleLabel (i).getBounds().getHeight(), 22);
        EXPECT_EQ (face.getValueLabel (i).getBounds().getWidth(), 184);
    }
    for (auto i : { Param::attack, Param::release })
    {
        EXPECT_EQ (face.getTitleLabel (i).getBounds().getWidth(), 141);
        EXPECT_EQ (face.getValueLabel (i).getBounds().getWidth(), 127);
        EXPECT_EQ (face.getValueLabel (i).getBounds().getHeight(), 15);
    }
}

TEST (FaceLayout, ScalesWithHeightAndSpreadsWithWidth)
{
    FaceFixture big (2000, 1200);
    EXPECT_EQ (big.face.getKnob (Param::amount).getBounds(), Rect (845, 261, 309, 309));
    EXPECT_EQ (big.face.getMeter().getBounds(), Rect (611, 907, 777, 91));

    FaceFixture wide (2000, 600);
    const auto hero = wide.face.getKnob (Param::amount).getBounds();
    EXPECT_EQ (hero.getWidth(), 155);
    EXPECT_EQ (hero.getCentreX(), 1000);
    EXPECT_EQ (wide.face.getKnob (Param::mix).getWidth(), 132);
}

TEST (FaceLayout, TinyFaceGivesEmptyNotNegativeRectangles)
{
    for (auto size : { juce::Point<int> (0, 0), { 3, 2 }, { 1, 40 }, { 40, 1 } })
    {
        FaceFixture f (size.x, size.y);
        for (auto* child : f.face.getChildren())
        {
            EXPECT_GE (child->getWidth(), 0);
            EXPECT_GE (child->getHeight(), 0);
        }
        EXPECT_NO_FATAL_FAILURE (f.render());
    }
}

//==============================================================================
TEST (FaceText, LabelsAtDefaultsAndFormatEdges)
{
    FaceFixture f;
    const char* defaults[] = { "50%", "-30.0 dB", "0.32 ms", "48.0 ms", "6.5 kHz", "50%", "8.0 dB", "100%" };
    const char* titles[] = { "Amount", "Threshold", "Attack", "Release", "Frequency", "Focus", "Range", "Mix" };

    for (size_t i = 0; i < ZeriZaRirodGUI::knobParams.size(); ++i)
    {
        const auto p = ZeriZaRirodGUI::knobParams[i];
        EXPECT_EQ (f.face.getValueLabel (p).getText(), defaults[i]);
        EXPECT_EQ (f.face.getTitleLabel (p).getText(), titles[i]);
        // What accessibility clients read is the same text, the unit written once.
        auto& knob = f.face.getKnob (p);
        EXPECT_EQ (knob.getTextFromValue (knob.getValue()), defaults[i]);
    }

    struct Case
    {
        Param param;
        float value;
        const char* text;
    };
    const Case cases[] = {
        { Param::attack, 0.99f, "0.99 ms" },   { Param::attack, 1.0f, "1.0 ms" },
        { Param::frequency, 2500, "2.5 kHz" }, { Param::frequency, 12000, "12.0 kHz" },
        { Param::amount, 12.5f, "12%" },       { Param::amount, 13.5f, "14%" },
        { Param::threshold, -54, "-54.0 dB" }, { Param::release, 300, "300.0 ms" },
    };
    for (const auto& c : cases)
    {
        f.set (c.param, c.value);
        EXPECT_EQ (f.face.getValueLabel (c.param).getText(), c.text) << c.value;
    }
}

TEST (FaceText, TypedValues)
{
    struct Case
    {
        Param param;
        const char* typed;
        float expected;
        const char* shown;
    };
    const Case cases[] = {
        { Param::frequency, "6.5k", 6500, "6.5 kHz" },   { Param::frequency, "6.5 kHz", 6500, "6.5 kHz" },
        { Param::frequency, " 8K", 8000, "8.0 kHz" },    { Param::frequency, "6500", 6500, "6.5 kHz" },
        { Param::frequency, "6.5", 2500, "2.5 kHz" }, // 6.5 Hz, clamped to the range
        { Param::threshold, "-12 dB", -12, "-12.0 dB" }, { Param::threshold, "letters", 0, "0.0 dB" },
        { Param::attack, "fast", 0.05f, "0.05 ms" },     { Param::amount, "1,5", 15, "15%" },
        { Param::amount, "250", 100, "100%" },           { Param::release, "120.04", 120, "120.0 ms" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.typed);
        FaceFixture f;
        auto& label = f.face.getValueLabel (c.param);

        label.showEditor();
        auto* editor = label.getCurrentTextEditor();
        ASSERT_NE (editor, nullptr);
        EXPECT_EQ (editor->getHighlightedText(), label.getText());
        editor->setText (c.typed);
        label.hideEditor (false);

        EXPECT_NEAR (f.get (c.param), c.expected, 1e-3);
        EXPECT_EQ (label.getText(), c.shown);
    }
}

TEST (FaceText, AutomationLeavesTypingAlone)
{
    FaceFixture f;
    auto& label = f.face.getValueLabel (Param::threshold);
    label.showEditor();
    label.getCurrentTextEditor()->setText ("-2");

    f.set (Param::threshold, -40);
    EXPECT_DOUBLE_EQ (f.face.getKnob (Param::threshold).getValue(), -40.0);
    EXPECT_EQ (label.getCurrentTextEditor()->getText(), "-2");

    label.hideEditor (true);
    f.set (Param::threshold, -41);
    EXPECT_EQ (label.getText(), "-41.0 dB");
}

//==============================================================================
namespace
{
/** A point on a knob's value arc, at the given fraction of its travel. */
juce::Point<int> onArc (juce::Slider& knob, float fraction, float dialMargin, float radius)
{
    const auto bounds = knob.getBoundsInParent().toFloat();
    const auto d = bounds.getWidth() * (1.0f - 2.0f * dialMargin);
    const auto params = knob.getRotaryParameters();
    const auto angle = params.startAngleRadians + fraction * (params.endAngleRadians - params.startAngleRadians);
    return bounds.getCentre().getPointOnCircumference (radius * d, angle).roundToInt();
}

int litSegments (VellReductionMeter& meter)
{
    const auto image = meter.createComponentSnapshot (meter.getLocalBounds());
    const auto W = (float) meter.getWidth();
    const auto H = (float) meter.getHeight();
    const auto th = 0.32f * H;
    const auto rx = 0.06f * W, rw = W - 0.12f * W;
    const auto ry = th + 0.05f * H + 0.12f * H;
    const auto rh = H - th - 0.1f * H - 0.12f * H;
    const auto bar = 0.94f * rw, gap = 0.01f * bar;
    const auto segment = (bar - 33.0f * gap) / 34.0f;

    int lit = 0;
    for (int i = 0; i < 34; ++i)
    {
        const auto x = rx + (float) i * (segment + gap) + segment / 2;
        if (isBlue (image.getPixelAt ((int) x, (int) (ry + 0.59f * rh))))
            ++lit;
    }
    return lit;
}
} // namespace

TEST (FacePaint, ValueArcFollowsPower)
{
    FaceFixture f;
    auto& hero = f.face.getKnob (Param::amount);
    auto& mix = f.face.getKnob (Param::mix);
    const auto heroArc = onArc (hero, 0.25f, 0.025f, 0.4f);
    const auto mixArc = onArc (mix, 0.5f, 0.035f, 0.36f);

    auto image = f.render();
    EXPECT_TRUE (isBlue (image.getPixelAt (heroArc.x, heroArc.y)));
    EXPECT_TRUE (isBlue (image.getPixelAt (mixArc.x, mixArc.y)));

    // Beyond the value the track stays grey.
    const auto pastValue = onArc (hero, 0.75f, 0.025f, 0.4f);
    EXPECT_FALSE (isBlue (image.getPixelAt (pastValue.x, pastValue.y)));

    f.set (Param::power, 0);
    image = f.render();
    EXPECT_FALSE (isBlue (image.getPixelAt (heroArc.x, heroArc.y)));
    EXPECT_FALSE (isBlue (image.getPixelAt (mixArc.x, mixArc.y)));
}

TEST (FacePaint, MeterLightsSegmentsForTheReduction)
{
    FaceFixture f;
    auto& meter = f.face.getMeter();

    const std::pair<float, int> cases[] = { { -3, 0 }, { 0, 0 }, { 0.36f, 1 }, { 12, 17 }, { 24, 34 }, { 40, 34 } };
    for (auto [db, lit] : cases)
    {
        f.processor.gainReductionDb = db;
        EXPECT_EQ (litSegments (meter), lit) << db << " dB";
        EXPECT_EQ (VellReductionMeter::litSegmentsFor (db), lit);
    }

    f.set (Param::power, 0);
    f.processor.gainReductionDb = 24;
    EXPECT_EQ (litSegments (meter), 0);
}

TEST (FacePaint, MonitorLightAndPowerSymbolFollowTheirStates)
{
    FaceFixture f;
    const auto m = f.face.getMonitorToggle().getBoundsInParent().toFloat();
    const auto iconWidth = juce::jmin (m.getWidth(), 1.1f * m.getHeight());
    const auto light = juce::Point<float> (m.getX() + iconWidth + 0.86f * (m.getWidth() - iconWidth), m.getCentreY());

    // The bottom of the power symbol's ring.
    const auto p = f.face.getPowerToggle().getBoundsInParent().toFloat();
    const auto symbol = p.getCentre().translated (0, 0.27f * 0.68f * p.getWidth());

    for (auto [monitor, power] : { std::pair (0, 0), { 0, 1 }, { 1, 0 }, { 1, 1 } })
    {
        SCOPED_TRACE ("monitor " + std::to_string (monitor) + ", power " + std::to_string (power));
        f.set (Param::monitor, (float) monitor);
        f.set (Param::power, (float) power);
        const auto image = f.render();
        EXPECT_EQ (isBlue (image.getPixelAt ((int) light.x, (int) light.y)), monitor && power);
        EXPECT_EQ (isBlue (image.getPixelAt ((int) symbol.x, (int) symbol.y)), power == 1);
    }
}

TEST (FacePaint, ValueLabelsHideWithPowerOff)
{
    FaceFixture f;
    EXPECT_EQ (f.face.getTimerInterval(), 41);
    f.face.timerCallback();

    f.set (Param::power, 0);
    f.face.timerCallback();
    for (auto p : ZeriZaRirodGUI::knobParams)
    {
        EXPECT_FALSE (f.face.getValueLabel (p).isVisible());
        EXPECT_TRUE (f.face.getTitleLabel (p).isVisible());
    }

    const auto label = f.face.getValueLabel (Param::amount).getBounds();
    const auto image = f.render();
    for (int x = label.getX(); x < label.getRight(); ++x)
        for (int y = label.getY(); y < label.getBottom(); ++y)
            ASSERT_FALSE (isBlue (image.getPixelAt (x, y)));

    f.set (Param::power, 1);
    f.face.timerCallback();
    EXPECT_TRUE (f.face.getValueLabel (Param::amount).isVisible());
}
