// pic-prog's command line: one command, its file, and long options
// ("--port NAME" or "--port=NAME") anywhere among them.
#pragma once

#include "chip_image.h"
#include "chip_table.h"
#include "vantrel_pic.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

enum class Command { None, Info, Read, Write, Verify, Erase, BlankCheck };

struct CommandLine {
    Command command = Command::None;
    std::string file;
    std::optional<std::string> port;
    std::optional<int32_t> delay;
    const ChipInfo* device = nullptr;  // --device
    bool verify = true;
    bool force = false;
    bool onlyFile = false;  // compare only the locations the file gives
    bool keepData = false;  // write: the chip's data memory is written back, not the file's
    bool dryRun = false;    // identify the chip, say what would be done, change nothing
    Regions regions;        // --program, --data, --config; all when none is given
    bool regionsGiven = false;
    bool help = false;
    bool version = false;
};

// The unit delay pic-prog accepts, from --delay or Preferences.ini: the
// library's own limit, so that no value it would clamp gets through.
inline constexpr int32_t kMaxDelay = VANTREL_MAX_DELAY;

// "SOURCE: нужно целое число микросекунд от 0 до ..., а не «VALUE»".
std::string DelayProblem(std::string_view source, std::string_view value);

// Exit codes of pic-prog.
inline constexpr int kExitDone = 0;
inline constexpr int kExitDifferences = 1;
inline constexpr int kExitUsage = 2;  // bad usage or bad file
inline constexpr int kExitNoTarget = 3;  // no port, no programmer or no chip

// Parses the arguments after the program name. false with problem set (one
// Russian sentence) when they make no sense; --help and --version are
// valid whatever else is there.
bool ParseCommandLine(std::span<const std::string_view> args, CommandLine& line, std::string& problem);

std::string HelpText();
