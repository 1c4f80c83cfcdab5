// What pic-prog needs from the operating system's console: its arguments,
// writing its texts, interruption by the user, and whether and how wide a
// terminal shows standard error. One file per platform implements it
// (console_posix.cpp, console_win32.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The arguments after the program's name, in UTF-8 (file names included,
// whatever the system's code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// UTF-8 text to standard output or standard error: shown as text on a
// console, passed on as its bytes to a file or a pipe.
void PrintOut(std::string_view text);
void PrintError(std::string_view text);

// From now on Ctrl+C (on POSIX also a hang-up or a termination request, on
// Windows Ctrl+Break and the closing of the console window) only sets a flag
// that the work checks between words, so the target is switched off and the
// port closed on the normal path. A write to a closed
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

// The C library's text for an errno value, in the user's language where the
// system has it; empty for 0.
std::string ErrorNumberText(int error);
