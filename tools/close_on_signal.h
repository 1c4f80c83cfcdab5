// A tool stopped by SIGTERM, SIGHUP or SIGINT (the terminal closed, a logout,
// systemd ending the session, Ctrl+C) must not leave the port behind in raw
// mode and locked, nor the target powered: the signal only marks the job, and
// at its next wait the tool takes the normal close path and then ends as the
// signal would have ended it. Windowed Windows programs get no such signals:
// there the calls do nothing.
#pragma once

// From now on the three signals are noted instead of ending the tool;
// closePath powers the target off where it is on and closes the port.
void CloseOnSignal(void (*closePath)());

// Where a signal was noted: the close path, then the end by that signal.
void EndIfSignalled();

// The port is closed: a signal noted so far ends the tool now, later ones end
// it as usual (also while a box waits for the user).
void StopClosingOnSignal();
