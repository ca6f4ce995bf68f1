#pragma once

#include "face/ZeriZaRirodGUI.h"

/** A processor and its main face at a given size, both real. */
struct FaceFixture
{
    explicit FaceFixture (int width = 1000, int height = 600) { face.setSize (width, height); }

    void set (Param p, float value)
    {
        auto* param = processor.parameters.getParameter (params::id (p));
        param->setValueNotifyingHost (param->convertTo0to1 (value));
    }

    float get (Param p) const { return processor.parameters.getRawParameterValue (params::id (p))->load(); }

    juce::Image render() { return face.createComponentSnapshot (face.getLocalBounds()); }

    ZeriZaRirodAudioProcessor processor;
    ZeriZaRirodGUI face{ processor };
};
