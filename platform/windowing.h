#pragma once
// Window and message-loop services the program expects of the system.

class QWidget;

namespace brunzit {

// SetForegroundWindow: raise and activate the window.
void bringToFront(QWidget* window);

// The system's major version. Reports the newer-system behaviour (6 or more),
// which is what every window-dismissing path of the program expects.
int osMajorVersion();

// Returns after ms milliseconds; events, timers and input are handled
// meanwhile, re-entrantly, without spinning a processor core.
void WaitProcessingMessages(int ms);

}  // namespace brunzit
