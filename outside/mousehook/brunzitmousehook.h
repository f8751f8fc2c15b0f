#pragma once
// The mouse-hook library: from SetHook on, every click of the left button
// anywhere on the screen is reported as "1" and every click of the right
// button as "2" in key "CLIC" of section "BrunzitMouseHook" of the shared
// settings file, until UnHookHook. Clicks still reach the window under the
// pointer. Both calls are safe from any thread, in any order, any number of
// times, and never end the host process.

#if defined(__GNUC__)
#define BRUNZIT_MOUSEHOOK_EXPORT __attribute__((visibility("default")))
#else
#define BRUNZIT_MOUSEHOOK_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// window: the host's main window. Reports travel through the settings file,
// so it is kept only for callers that pass it. Returns 1 when clicks are being
// watched, 0 when none will be reported (no X11 display, no XInput2); the
// reason is said once on standard error.
BRUNZIT_MOUSEHOOK_EXPORT int SetHook(unsigned long window);

// Stops watching and reporting; returns when no further report can be written.
BRUNZIT_MOUSEHOOK_EXPORT void UnHookHook(void);

#ifdef __cplusplus
}
#endif
