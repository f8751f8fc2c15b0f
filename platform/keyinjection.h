#pragma once
// keybd_event in place: synthesised key events posted to the focused widget,
// so they arrive after the event being handled, as the system input queue
// would deliver them.

#include <Qt>

namespace brunzit {

// Posts a press and a release of key (with the given modifiers held) to the
// widget that has the keyboard focus, or to the active window.
void injectKeyStroke(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Ctrl+End: moves the caret of the focused editor to the end of its text.
void injectCtrlEnd();

// Return pressed and released.
void injectReturn();

}  // namespace brunzit
