#pragma once
// Finding another program's top-level window by its title and class, and
// pressing Return on it: how the service dismisses the UPCTV engine's window.
// Works on the X11 window tree; with no X11 display nothing is ever found.

#include <string>

namespace brunzit {

using WindowHandle = unsigned long;  // an X11 window id; 0 for none

// The first top-level window whose title (at most 254 characters, Windows-1252)
// contains titlePart and, when classPart is not empty, whose class contains
// classPart. Case-sensitive; an empty titlePart matches nothing.
WindowHandle FindAWindow(const std::string& titlePart, const std::string& classPart);

// Raises and activates the window, then presses and releases Return, but
// only when the window did take the keyboard focus.
void PressReturnOnWindow(WindowHandle window);

}  // namespace brunzit
