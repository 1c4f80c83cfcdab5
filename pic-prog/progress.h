// Progress of a long job on standard error: a bar with the percentage and the
// remaining time when a terminal shows it, nothing while it runs otherwise
// (the caller prints one summary line at the end). Work is counted in the
// microseconds the job's commands and waits are prescribed to take, so the
// remaining time holds however unevenly the locations cost.
#pragma once

#include <chrono>
#include <string>

struct Progress {
    bool bar = false;  // drawn on a terminal
    int columns = 80;
    std::string label;
    double totalUs = 0;
    double doneUs = 0;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDrawn;
    bool drawn = false;
};

// columns 0 means unknown (80 is assumed).
void StartProgress(Progress& progress, const std::string& label, double totalUs, bool bar, int columns);

// Redraws at most ten times a second.
void AdvanceProgress(Progress& progress, double us);

// Clears the bar's line, so what follows starts on a clean line.
void EndProgress(Progress& progress);

// "Запись [#####.....]  50 %  осталось 0:12", at most columns - 1 characters.
std::string ProgressBarLine(const std::string& label, double fraction, double remainingSeconds, int columns);
