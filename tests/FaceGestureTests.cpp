// Gestures arrive as real mouse events through a window's peer, so they run
// under an X server (CTest starts these under Xvfb).

#include "FaceFixture.h"
#include "XServerAtoms.h"

#include <gtest/gtest.h>

namespace juce
{
// Undo histories read as their step names in failure messages.
inline void PrintTo (const StringArray& names, std::ostream* os) { *os << "{" << names.joinIntoString (", ") << "}"; }
} // namespace juce

namespace
{
struct XServer
{
    XServer()
    {
        if (!createWindowManagerAtoms())
            throw std::runtime_error ("no X display: these tests need one");
    }
};

struct ScreenFace : XServer, FaceFixture
{
    ScreenFace()
    {
        face.setVisible (true);
        face.addToDesktop (0);
    }

    ~ScreenFace() { face.removeFromDesktop(); }

    juce::ComponentPeer& peer()
    {
        auto* p = face.getPeer();
        if (p == nullptr)
            throw std::runtime_error ("the face has no window");
        return *p;
    }

    void send (juce::Point<int> at, bool buttonDown)
    {
        const auto mods =
            buttonDown ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier) : juce::ModifierKeys();
        peer().handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at.toFloat(), mods,
                                 juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                 time += 20);
    }

    void press (juce::Point<int> at)
    {
        send (at, false);
        send (at, true);
    }

    void click (juce::Point<int> at)
    {
        time += 1000; // far enough from the last click not to make a double click
        press (at);
        send (at, false);
    }

    void doubleClick (juce::Point<int> at)
    {
        click (at);
        send (at, true);
        send (at, false);
    }

    void wheel (juce::Point<int> at, float delta)
    {
        send (at, false);
        peer().handleMouseWheel (juce::MouseInputSource::InputSourceType::mouse, at.toFloat(), time += 20,
                                 { 0.0f, delta, false, false, false });
    }

    void type (Param knob, const juce::String& text)
    {
        auto& label = face.getValueLabel (knob);
        label.showEditor();
        label.getCurrentTextEditor()->setText (text);
        label.hideEditor (false);
    }

    juce::Point<int> centreOf (juce::Component& c) { return c.getBoundsInParent().getCentre(); }

    juce::StringArray steps() { return processor.undoManager.getUndoDescriptions(); }

    juce::int64 time = juce::Time::currentTimeMillis();
};
} // namespace

TEST (FaceGestures, KnobDragIsOneStepThatUndoAndRedoMove)
{
    ScreenFace f;
    auto& knob = f.face.getKnob (Param::threshold);
    const auto from = f.centreOf (knob);

    f.press (from);
    for (int dy = 5; dy <= 60; dy += 5)
        f.send (from.translated (0, -dy), true);
    f.send (from.translated (0, -60), false);

    const auto dragged = knob.getValue();
    EXPECT_GT (dragged, -30.0 + 5.0);
    EXPECT_FLOAT_EQ (f.get (Param::threshold), (float) dragged);
    EXPECT_EQ (f.steps(), juce::StringArray ("Edit Vell"));
    EXPECT_EQ (f.face.getValueLabel (Param::threshold).getText(), knob.getTextFromValue (dragged));

    f.processor.performUndo();
    EXPECT_DOUBLE_EQ (knob.getValue(), -30.0);
    EXPECT_EQ (f.face.getValueLabel (Param::threshold).getText(), "-30.0 dB");

    f.processor.performRedo();
    EXPECT_DOUBLE_EQ (knob.getValue(), dragged);
}

TEST (FaceGestures, DoubleClickResetAndWheelStepsAreOneStepEach)
{
    ScreenFace f;
    f.set (Param::mix, 40);
    auto& knob = f.face.getKnob (Param::mix);

    f.doubleClick (f.centreOf (knob));
    EXPECT_DOUBLE_EQ (knob.getValue(), 100.0);
    EXPECT_EQ (f.steps(), juce::StringArray ("Edit Vell"));

    f.wheel (f.centreOf (knob), -0.5f);
    f.wheel (f.centreOf (knob), -0.5f);
    EXPECT_LT (knob.getValue(), 100.0);
    EXPECT_EQ (f.steps().size(), 3);
}

TEST (FaceGestures, TypedValueIsOneStepAndTheCurrentValueNone)
{
    ScreenFace f;
    f.type (Param::threshold, "-12 dB");
    EXPECT_FLOAT_EQ (f.get (Param::threshold), -12.0f);
    EXPECT_EQ (f.steps(), juce::StringArray ("Edit Vell Value"));

    f.type (Param::threshold, "-12");
    f.type (Param::threshold, "-12.04");
    EXPECT_EQ (f.steps().size(), 1);
    EXPECT_EQ (f.face.getValueLabel (Param::threshold).getText(), "-12.0 dB");
}

TEST (FaceGestures, ToggleClickIsOneStepAndAPressReleasedOutsideNone)
{
    ScreenFace f;
    auto& power = f.face.getPowerToggle();
    auto& monitor = f.face.getMonitorToggle();

    f.click (f.centreOf (power));
    EXPECT_FALSE (power.getToggleState());
    EXPECT_EQ (f.get (Param::power), 0.0f);

    f.click (f.centreOf (monitor));
    EXPECT_EQ (f.get (Param::monitor), 1.0f);
    EXPECT_EQ (f.steps(), juce::StringArray ({ "Toggle Monitor", "Toggle Power" }));

    f.time += 1000;
    f.press (f.centreOf (monitor));
    f.send ({ 20, 20 }, true);
    f.send ({ 20, 20 }, false);
    EXPECT_EQ (f.get (Param::monitor), 1.0f);
    EXPECT_EQ (f.steps().size(), 2);

    f.processor.performUndo();
    EXPECT_FALSE (monitor.getToggleState());
    f.processor.performUndo();
    EXPECT_TRUE (power.getToggleState());
}
