#pragma once

/** A bare X server (Xvfb without a window manager) has not yet created the
    window-manager atoms that JUCE looks up only if they exist, and JUCE 7 then
    sets a window property with a null atom and the X error ends the process.
    The test program creates them before its first test, on a connection kept
    open so the server does not reset. False when there is no X display. */
bool createWindowManagerAtoms();
