#include "face/ZeriZaRirodGUI.h"

#include "face/FaceLayout.h"
#include "face/PixelRounding.h"
#include "face/PowerState.h"
#include "face/ValueText.h"
#include "face/VellLogo.h"
#include "looks/VellFont.h"

namespace
{
const juce::Colour lightText{ 0xffecedef };
const juce::Colour accentBlue{ 0xff7bdcff };
const juce::Colour editingBackground{ 0xf0121418 };

struct KnobText
{
    const char* title;
    valueText::Format format;
    bool frequencyParser;
};

// In the face's knob order.
constexpr std::array<KnobText, ZeriZaRirodGUI::numKnobs> knobTexts{ {
    { "Amount", valueText::Format::percent, false },
    { "Threshold", valueText::Format::decibels, false },
    { "Attack", valueText::Format::milliseconds, false },
    { "Release", valueText::Format::milliseconds, false },
    { "Frequency", valueText::Format::kilohertz, true },
    { "Focus", valueText::Format::percent, false },
    { "Range", valueText::Format::decibels, false },
    { "Mix", valueText::Format::percent, false },
} };

constexpr int rangeIndex = 6;

void fillVertical (juce::Graphics& g, float x, float top, float bottom, juce::uint32 from, juce::uint32 to)
{
    g.setGradientFill ({ juce::Colour (from), x, top, juce::Colour (to), x, bottom, false });
}
} // namespace

ZeriZaRirodGUI::ZeriZaRirodGUI (ZeriZaRirodAudioProcessor& p) : processor (p)
{
    knobLook = std::make_unique<VellKnobLookAndFeel> (processor);
    meter = std::make_unique<VellReductionMeter> (processor);

    if (auto xml = juce::XmlDocument::parse (vellLogoSvg))
        logo = juce::Drawable::createFromSVG (*xml);

    for (auto& knob : knobs)
    {
        configureSlider (knob);
        if (&knob == &knobs[0])
            knob.setComponentID ("hero");
    }

    for (size_t i = 0; i < titleLabels.size(); ++i)
    {
        auto& title = titleLabels[i];
        title.setText (knobTexts[i].title, juce::dontSendNotification);
        title.setJustificationType (juce::Justification::centred);
        title.setColour (juce::Label::textColourId, lightText);
        title.setInterceptsMouseClicks (false, false);
        addAndMakeVisible (title);
    }

    for (auto& value : valueLabels)
    {
        value.setJustificationType (juce::Justification::centred);
        value.setColour (juce::Label::textColourId, accentBlue);
        addAndMakeVisible (value);
    }

    powerToggle.setComponentID ("power");
    powerToggle.setLookAndFeel (knobLook.get());
    addAndMakeVisible (powerToggle);

    monitorToggle.setComponentID ("monitor");
    monitorToggle.setLookAndFeel (knobLook.get());
    addAndMakeVisible (monitorToggle);
    monitorToggle.setButtonText ("Monitor");

    addAndMakeVisible (*meter);

    for (size_t i = 0; i < knobs.size(); ++i)
        knobAttachments[i] = std::make_unique<juce::AudioProcessorValueTreeState::SliderAttachment> (
            processor.parameters, params::id (knobParams[i]), knobs[i]);

    powerAttachment = std::make_unique<juce::AudioProcessorValueTreeState::ButtonAttachment> (
        processor.parameters, params::id (Param::power), powerToggle);
    monitorAttachment = std::make_unique<juce::AudioProcessorValueTreeState::ButtonAttachment> (
        processor.parameters, params::id (Param::monitor), monitorToggle);

    // The attachments install the host's texts; the face's own formats replace them.
    for (size_t i = 0; i < knobs.size(); ++i)
    {
        const auto format = knobTexts[i].format;
        knobs[i].textFromValueFunction = [format] (double v) { return valueText::format (format, v); };
        knobs[i].valueFromTextFunction =
            knobTexts[i].frequencyParser ? valueText::parseFrequency : valueText::parseDigits;
    }

    // Double-click resets and wheel steps also arrive as a drag start and end.
    for (auto& knob : knobs)
    {
        knob.onValueChange = [this] { updateValueLabels(); };
        knob.onDragStart = [this] { processor.beginUndoTransaction ("Edit Vell"); };
        knob.onDragEnd = [this] { processor.commitUndoTransactionIfNeeded(); };
    }

    for (auto& value : valueLabels)
        setupEditableValueLabel (value);

    updateValueLabels();
    updateValueLabelVisibility();

    startTimer (41);
}

ZeriZaRirodGUI::~ZeriZaRirodGUI()
{
    stopTimer();

    for (auto& knob : knobs)
        knob.setLookAndFeel (nullptr);

    powerToggle.setLookAndFeel (nullptr);
    monitorToggle.setLookAndFeel (nullptr);
}

size_t ZeriZaRirodGUI::indexOf (Param p)
{
    for (size_t i = 0; i < knobParams.size(); ++i)
        if (knobParams[i] == p)
            return i;

    jassertfalse; // Power and Monitor have no knob
    return 0;
}

void ZeriZaRirodGUI::configureSlider (juce::Slider& knob)
{
    knob.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    knob.setLookAndFeel (knobLook.get());
    addAndMakeVisible (knob);
}

void ZeriZaRirodGUI::setupEditableValueLabel (juce::Label& label)
{
    label.setJustificationType (juce::Justification::centred);
    label.setColour (juce::Label::textColourId, accentBlue);
    label.setColour (juce::Label::outlineColourId, juce::Colours::transparentBlack);
    label.setColour (juce::Label::backgroundWhenEditingColourId, editingBackground);
    label.setColour (juce::Label::textWhenEditingColourId, accentBlue);
    label.setEditable (true, true, false);
    label.addListener (this);
    addAndMakeVisible (label);
}

void ZeriZaRirodGUI::editorShown (juce::Label*, juce::TextEditor& editor)
{
    editor.selectAll();
    editor.setJustification (juce::Justification::centred);
    editor.setColour (juce::TextEditor::backgroundColourId, editingBackground);
    editor.setColour (juce::TextEditor::textColourId, accentBlue);
    editor.setColour (juce::TextEditor::highlightColourId, juce::Colour (0x4053c9ff));
    editor.setColour (juce::TextEditor::highlightedTextColourId, lightText);
    editor.setColour (juce::TextEditor::outlineColourId, juce::Colours::transparentBlack);
    // The focused outline would otherwise draw a frame around the typed value.
    editor.setColour (juce::TextEditor::focusedOutlineColourId, juce::Colours::transparentBlack);
}

void ZeriZaRirodGUI::labelTextChanged (juce::Label* label)
{
    for (size_t i = 0; i < valueLabels.size(); ++i)
        if (label == &valueLabels[i])
            applyValueLabelToSlider (valueLabels[i], knobs[i]);
}

void ZeriZaRirodGUI::applyValueLabelToSlider (juce::Label& label, juce::Slider& knob)
{
    const auto typed = knob.getValueFromText (label.getText());
    const auto value = juce::jlimit (knob.getMinimum(), knob.getMaximum(), typed);

    if (std::abs (value - knob.getValue()) > juce::jmax (0.25 * knob.getInterval(), 1e-9))
    {
        processor.beginUndoTransaction ("Edit Vell Value");
        knob.setValue (value, juce::sendNotificationSync);
        processor.commitUndoTransactionIfNeeded();
    }

    updateValueLabels();
}

void ZeriZaRirodGUI::updateValueLabels()
{
    for (size_t i = 0; i < knobs.size(); ++i)
    {
        // Automation never overwrites what the user is typing.
        if (valueLabels[i].getCurrentTextEditor() != nullptr)
            continue;

        valueLabels[i].setText (knobs[i].getTextFromValue (knobs[i].getValue()), juce::dontSendNotification);
    }
}

void ZeriZaRirodGUI::updateValueLabelVisibility()
{
    const auto on = isPowerOn (processor);

    for (auto& value : valueLabels)
        value.setVisible (on);
}

void ZeriZaRirodGUI::timerCallback()
{
    const auto on = isPowerOn (processor);

    if (on != lastPowerState)
    {
        lastPowerState = on;
        updateValueLabelVisibility();
        repaint();
    }
    else
    {
        meter->repaint();
    }
}

void ZeriZaRirodGUI::setLabelFont (juce::Label& label, float height, float factor, juce::Colour colour)
{
    label.setFont (vellFont (height * factor, "Medium"));
    label.setColour (juce::Label::textColourId, colour);
}

void ZeriZaRirodGUI::resized()
{
    const auto layout = FaceLayout::forSize ((float) getWidth(), (float) getHeight());

    powerToggle.setBounds (roundedToPixels (layout.power));
    meter->setBounds (roundedToPixels (layout.meter));
    monitorToggle.setBounds (roundedToPixels (layout.monitor));

    for (size_t i = 0; i < knobs.size(); ++i)
    {
        knobs[i].setBounds (roundedToPixels (layout.knobs[i]));
        titleLabels[i].setBounds (truncatedToPixels (layout.titles[i]));
        valueLabels[i].setBounds (truncatedToPixels (layout.values[i]));
    }

    for (size_t i = 0; i < knobs.size(); ++i)
    {
        auto& title = titleLabels[i];
        auto& value = valueLabels[i];
        setLabelFont (title, (float) title.getHeight(), 0.9f, lightText);
        setLabelFont (value, (float) value.getHeight(), i == rangeIndex ? 0.96f : 0.9f, accentBlue);
    }
}

juce::Path ZeriZaRirodGUI::createMainFacePath (juce::Rectangle<float> r) const
{
    const auto x = r.getX();
    const auto y = r.getY();
    const auto w = r.getWidth();
    const auto h = r.getHeight();
    const auto e = 0.013f * w;

    juce::Path path;
    path.startNewSubPath (x + e, y);
    path.lineTo (x + 0.35f * w, y);
    path.quadraticTo (x + 0.38f * w, y, x + 0.41f * w, y - 0.04f * h);
    path.lineTo (x + 0.59f * w, y - 0.04f * h);
    path.quadraticTo (x + 0.62f * w, y, x + 0.65f * w, y);
    path.lineTo (x + w - e, y);
    path.quadraticTo (x + w, y, x + w, y + e);
    path.lineTo (x + w, y + h - e);
    path.quadraticTo (x + w, y + h, x + w - e, y + h);
    path.lineTo (x + e, y + h);
    path.quadraticTo (x, y + h, x, y + h - e);
    path.lineTo (x, y + e);
    path.quadraticTo (x, y, x + e, y);
    path.closeSubPath();
    return path;
}

void ZeriZaRirodGUI::paint (juce::Graphics& g)
{
    const auto W = (float) getWidth();
    const auto H = (float) getHeight();
    const auto layout = FaceLayout::forSize (W, H);
    const auto& F = layout.plate;
    const auto& B = layout.body;

    fillVertical (g, 0, 0, H, 0xff080809, 0xff030304);
    g.fillAll();

    juce::DropShadow (juce::Colour (0x94000000), (int) std::lround (0.028f * W), { 0, (int) std::lround (0.01f * H) })
        .drawForRectangle (g, roundedToPixels (F));

    fillVertical (g, W / 2, F.getY(), F.getBottom(), 0xff2f2f31, 0xff121213);
    g.fillRoundedRectangle (F, 0.018f * W);

    g.setColour (juce::Colour (0x26ffffff));
    g.drawRoundedRectangle (F.reduced (1.1f), 0.018f * W, 1.2f);
    g.setColour (juce::Colour (0x91000000));
    g.drawRoundedRectangle (F.reduced (3.0f), 0.016f * W, 1.0f);

    const auto screw = 0.016f * F.getWidth();
    for (auto cy : { F.getY() + 0.02f * F.getHeight(), F.getBottom() - 0.02f * F.getHeight() })
    {
        for (auto cx : { F.getX() + 0.016f * F.getWidth(), F.getRight() - 0.016f * F.getWidth() })
        {
            const auto disc = juce::Rectangle<float> (screw, screw).withCentre ({ cx, cy });
            g.setColour (juce::Colour (0xbf000000));
            g.fillEllipse (disc);
            g.setColour (juce::Colour (0x2affffff));
            g.drawEllipse (disc, 1.0f);
            g.setColour (juce::Colour (0xd1000000));
            g.fillEllipse (disc.withSizeKeepingCentre (0.28f * screw, 0.28f * screw));
        }
    }

    const auto panel = createMainFacePath (B);
    fillVertical (g, W / 2, B.getY(), B.getBottom(), 0xff232324, 0xff0e0e0f);
    g.fillPath (panel);
    g.setColour (juce::Colour (0x16ffffff));
    g.strokePath (panel, { 1.1f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt });

    g.setColour (juce::Colour (0x69000000));
    g.strokePath (createMainFacePath (B.reduced (0.012f * B.getWidth(), 0.012f * B.getHeight())),
                  { 1.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt });

    const auto s = 0.088f * H;
    const auto logoSquare = juce::Rectangle<float> (0.05f * W + 0.1f * s, 0.061f * H, s, s);

    if (logo == nullptr)
    {
        // A plain two-tone mark stands in when the logo could not be built.
        g.setColour (juce::Colour (0xd2d7dade));
        g.fillEllipse (logoSquare);
        g.setColour (juce::Colour (0xd28c9096));
        g.fillEllipse (logoSquare.reduced (0.3f * s));
    }
    else if (const auto bounds = logo->getDrawableBounds(); bounds.getWidth() > 0 && bounds.getHeight() > 0)
    {
        const auto scale = juce::jmin (s / bounds.getWidth(), s / bounds.getHeight());
        const auto scaled = bounds.withSize (bounds.getWidth() * scale, bounds.getHeight() * scale);
        const auto placed = scaled.withCentre (logoSquare.getCentre());
        logo->draw (g, 0.86f,
                    juce::AffineTransform::translation (-bounds.getX(), -bounds.getY())
                        .scaled (scale)
                        .translated (placed.getX(), placed.getY()));
    }

    g.setColour (juce::Colour (0xc2acafb5));
    g.setFont (vellFont (0.45f * s, "Medium"));
    g.drawFittedText ("VODODI RAREZ", roundedToPixels ({ 0.05f * W + 1.12f * s, 0.061f * H, 0.3f * W, s }),
                      juce::Justification::centredLeft, 2);

    g.setColour (juce::Colour (0xb2ecedef));
    g.setFont (vellFont (0.08f * H, "Bold"));
    g.drawText ("Vell", roundedToPixels ({ 0.35f * W, 0.022f * H, 0.3f * W, 0.1f * H }), juce::Justification::centred,
                false);

    g.setColour (juce::Colour (0x8053c9ff));
    g.setFont (vellFont (0.028f * H, "Medium"));
    g.drawText ("- DE-ESSER -", roundedToPixels ({ 0.35f * W, 0.102f * H, 0.3f * W, 0.035f * H }),
                juce::Justification::centred, false);
}
