// Wirelet stopped by SIGTERM, SIGHUP or SIGINT (the terminal it was started
// from closed, a logout, systemd ending the session, Ctrl+C) closes its
// window the normal way, so the port gets back its settings and its lock is
// released, and then ends as the signal would have ended it.
#pragma once

class QWidget;

// From now on the three signals are caught; one that comes before the window
// exists waits for it.
void CatchQuitSignals();

// The caught signals close window (through the event loop).
void CloseWindowOnSignal(QWidget* window);

// After the event loop: when a signal closed the window, the process ends
// by that signal; otherwise returns.
void EndIfClosedBySignal();
