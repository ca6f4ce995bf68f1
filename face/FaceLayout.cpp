#include "face/FaceLayout.h"

namespace
{
juce::Rectangle<float> rect (float x, float y, float w, float h)
{
    return { x, y, juce::jmax (0.0f, w), juce::jmax (0.0f, h) };
}

juce::Rectangle<float> square (juce::Point<float> centre, float side)
{
    return juce::Rectangle<float> (side, side).withCentre (centre);
}
} // namespace

FaceLayout FaceLayout::forSize (float W, float H)
{
    FaceLayout l;

    l.plate = rect (0.018f * W, 0.032f * H, W - 0.036f * W, H - 0.064f * H);
    const auto Fw = l.plate.getWidth();
    const auto Fh = l.plate.getHeight();

    l.inner = rect (l.plate.getX() + 0.022f * Fw, l.plate.getY() + 0.04f * Fh, Fw - 0.044f * Fw, Fh - 0.08f * Fh);
    const auto Iw = l.inner.getWidth();
    const auto hh = juce::jmin (l.inner.getHeight(), 0.1f * Fh);

    const auto powerPartWidth = juce::jmin (Iw, 0.12f * Iw);
    const auto powerPartCentreX = l.inner.getRight() - powerPartWidth / 2;
    l.power = square ({ powerPartCentreX, l.inner.getY() + hh / 2 - 0.02f * hh }, 0.98f * hh);

    const auto bodyTop = l.inner.getY() + hh + 0.01f * Fh;
    l.body = rect (l.plate.getX() + 0.02f * Fw, bodyTop, 0.96f * Fw, l.inner.getBottom() - bodyTop);
    const auto C = l.body.getWidth();
    const auto U = l.body.getHeight();
    const auto D = l.body.getCentreX();
    const auto top = l.body.getY();

    const auto A = 0.34f * U;
    l.knobs[0] = square ({ D, top + 0.23f * U }, A);
    l.titles[0] = rect (D - 0.42f * A, l.knobs[0].getY() - 0.24f * A, 0.84f * A, 0.17f * A);
    l.values[0] = rect (D - 0.3f * A, l.knobs[0].getY() + 1.015f * A, 0.6f * A, 0.17f * A);

    l.meter = juce::Rectangle<float> (0.42f * C, 0.1f * U).withCentre ({ D, top + 0.82f * U });

    const auto monitorHeight = 0.06f * U;
    l.monitor = juce::Rectangle<float> (0.18f * C, monitorHeight)
                    .withCentre ({ D, l.meter.getBottom() + 0.95f * monitorHeight });

    const auto placeSmall = [&l] (int index, juce::Point<float> centre, float s)
    {
        const auto knob = square (centre, s);
        l.knobs[(size_t) index] = knob;
        l.titles[(size_t) index] = rect (centre.x - 0.78f * s, knob.getY() - 0.15f * s, 1.56f * s, 0.17f * s);
        l.values[(size_t) index] = rect (centre.x - 0.7f * s, knob.getY() + 1.02f * s, 1.4f * s, 0.17f * s);
    };

    const auto S3 = 0.2f * U;
    placeSmall (1, { D - 0.15f * C, 0.64f * H }, S3); // Threshold
    placeSmall (2, { D, 0.64f * H }, S3); // Attack
    placeSmall (3, { D + 0.15f * C, 0.64f * H }, S3); // Release

    const auto S4 = 0.29f * U;
    const auto left = l.body.getX() + 0.17f * C;
    const auto right = l.body.getRight() - 0.17f * C;
    const auto upper = top + 0.27f * U;
    const auto lower = top + 0.71f * U;
    placeSmall (4, { left, upper }, S4); // Frequency
    placeSmall (5, { left, lower }, S4); // Focus
    placeSmall (6, { right, upper }, S4); // Range
    placeSmall (7, { right, lower }, S4); // Mix

    return l;
}
