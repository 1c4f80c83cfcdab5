#include "progress.h"

#include "console.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// Characters on the screen, counting a UTF-8 sequence as one.
int ScreenWidth(const std::string& text)
{
    return static_cast<int>(std::ranges::count_if(text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Clock(double seconds)
{
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

void Draw(Progress& progress)
{
    const double fraction = progress.totalUs > 0 ? std::min(1.0, progress.doneUs / progress.totalUs) : 1.0;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
    // The prescribed time still ahead, scaled by how the run has kept to it so far.
    double pace = 1.0;
    if (progress.doneUs > 0 && elapsed > 0.5)
        pace = elapsed / (progress.doneUs / 1e6);
    const double remaining = (progress.totalUs - progress.doneUs) / 1e6 * pace;
    const std::string line = ProgressBarLine(progress.label, fraction, remaining, progress.columns);
    PrintError("\r" + line);
    progress.drawn = true;
}

}  // namespace

void StartProgress(Progress& progress, const std::string& label, double totalUs, bool bar, int columns)
{
    progress = Progress{};
    progress.bar = bar;
    progress.columns = columns > 0 ? columns : 80;
    progress.label = label;
    progress.totalUs = totalUs;
    progress.start = progress.lastDrawn = std::chrono::steady_clock::now();
    if (bar)
        Draw(progress);
}

void AdvanceProgress(Progress& progress, double us)
{
    progress.doneUs += us;
    if (!progress.bar)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - progress.lastDrawn < kRedrawInterval)
        return;
    progress.lastDrawn = now;
    Draw(progress);
}

void EndProgress(Progress& progress)
{
    if (!progress.drawn)
        return;
    std::string blank(static_cast<size_t>(std::max(progress.columns - 1, 0)) + 2, ' ');
    blank.front() = blank.back() = '\r';
    PrintError(blank);
    progress.drawn = false;
}

std::string ProgressBarLine(const std::string& label, double fraction, double remainingSeconds, int columns)
{
    fraction = std::clamp(fraction, 0.0, 1.0);
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d %%", static_cast<int>(fraction * 100));
    const std::string tail = std::string("  ") + percent + "  осталось " + Clock(remainingSeconds);
    const int room = std::max(columns, 20) - 1 - ScreenWidth(label) - ScreenWidth(tail) - 3;
    const int width = std::clamp(room, 0, 50);
    std::string line = label;
    if (width >= 5) {
        const int filled = static_cast<int>(fraction * width);
        line += " [" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), '.') + "]";
    }
    return line + tail;
}
