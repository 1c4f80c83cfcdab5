// The message box of the bench programs.
//
// On Windows, the system's own (MessageBoxW: the texts go over as UTF-16, so
// the Russian shows whatever the ANSI code page is); only ShowMessageBox
// exists there. On Linux, with a display, a modal QMessageBox with one OK
// button. Without one (a bench computer reached over SSH, a script, Qt's
// offscreen platform) the box is written to standard output as the caption
// on one line, the text, and an empty line, and the call returns as if OK
// had been pressed.
#pragma once

#include <string>

enum MessageBoxStyle {
    MessageBoxError = 0x10,        // error icon, OK button
    MessageBoxWarning = 0x30,      // exclamation icon, OK button
    MessageBoxInformation = 0x40,  // information icon, OK button
};

// Shows the box and returns when it is closed. Texts are UTF-8; lines are
// separated by "\n". Creates the Qt application object on first use when the
// program has none.
void ShowMessageBox(const std::string& caption, const std::string& text, int style);

// The box as it goes to standard output: the caption on one line, the text,
// an empty line; flushed at once so it is seen before the program goes on.
void PrintMessageBox(const std::string& caption, const std::string& text);

// From now on a write to a closed standard output or error fails instead of
// ending the program; a box that cannot be printed is skipped. Called by
// PrintMessageBox and by programs that may write before their first box.
void KeepRunningWithClosedOutput();

// True when boxes go to standard output rather than to the screen.
bool MessageBoxesGoToTerminal();
