#pragma once

// SIGINT, SIGTERM and SIGHUP: Ctrl+C, kill's default and a closed terminal,
// each of which asks a program to end by its normal close path.
void HandleQuitSignals(void (*handler)(int));

// Ends the process as the signal itself would have (the status a shell and
// systemd expect), once the program has cleaned up after it.
[[noreturn]] void EndByQuitSignal(int signal);
