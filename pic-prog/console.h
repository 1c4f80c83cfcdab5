// What pic-prog needs from the operating system's console: interruption by
// the user, and whether and how wide a terminal shows standard error. One
// file per platform implements it (console_posix.cpp).
#pragma once

// From now on Ctrl+C (and, on POSIX, a hang-up or a termination request)
// only sets a flag that the work checks between words, so the target is
// switched off and the port closed on the normal path. A write to a closed
// pipe fails instead of ending the program.
void InstallInterruptHandler();

// True once an interruption was asked for.
bool InterruptRequested();

// Ends the process the way the interruption would have ended it, after the
// program has cleaned up (so a calling shell sees it as interrupted).
[[noreturn]] void EndAsInterrupted();

// True when standard error is a terminal (progress bar) rather than a file
// or a pipe (one summary line).
bool StandardErrorIsTerminal();

// Width of the terminal standard error shows on; 0 when unknown.
int TerminalColumns();
