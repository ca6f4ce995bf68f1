#include "XServerAtoms.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <initializer_list>

bool createWindowManagerAtoms()
{
    static Display* const display = []
    {
        auto* d = XOpenDisplay (nullptr);

        if (d != nullptr)
        {
            for (auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                                "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE" })
                XInternAtom (d, name, False);

            XSync (d, False);
        }

        return d;
    }();

    return display != nullptr;
}

namespace
{
// JUCE reads the atoms once, when a component first needs the desktop, so they
// must exist before any test builds a component.
struct XServerEnvironment : ::testing::Environment
{
    void SetUp() override { createWindowManagerAtoms(); }
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment (new XServerEnvironment);
} // namespace
