// Where the virtual chip keeps its memory between runs: virtual-pic.hex (or
// the file of the chip in the socket, see ChipFileName) in
// the working directory, locked while a port is open, with the line record
// written beside it as virtual-pic.vcd when the port closes.
#pragma once

#include "virtual_programmer.h"

#include <string>
#include <vector>

namespace sim {

struct ChipFile {
    const ChipModel* model = &kPic16f84aModel;
    std::string hexPath;
    std::string vcdPath;
    std::string badPath;
    int lockFd = -1;           // held while open; -1 when nothing will be saved
    bool keepBadCopy = false;  // the file held something we could not read
    std::string unsaved;       // why the chip will not be kept, when the file could not be opened
};

enum class ChipFileResult { Opened, Busy, Unwritable };

// Locks the files of the working directory. Busy when another open port
// holds them; Unwritable when the directory does not let us keep them (the
// caller runs with an erased chip and saves nothing, a warning is printed).
ChipFileResult OpenChipFile(ChipFile& file, const ChipModel& model = kPic16f84aModel);

// virtual-pic.hex for the PIC16F84A, virtual-pic16f628a.hex and so on for the others.
std::string ChipFileName(const ChipModel& model);

// Reads the chip from the locked file. An empty or missing file is an erased
// chip; a file we cannot read is reported on standard error and gives an
// erased chip, and the file is kept as .bad when the chip is saved.
ChipMemory LoadChipMemory(ChipFile& file);

// Writes the line record and, when memory is given, the chip; then unlocks.
// Returns why the memory was not kept, empty when it was (or none was given).
std::string SaveChipFile(ChipFile& file, const ChipMemory* memory, const std::vector<LineEvent>& record);

// Platform part (chip_file_posix.cpp, chip_file_win32.cpp). The lock is an
// int: a descriptor on POSIX, a handle value on Windows; -1 when none.
int LockFileExclusively(const std::string& path, bool& busy, int& error);
void UnlockFile(int fd);
bool KeepCopyOfFile(const std::string& path, const std::string& copyPath);
std::string InWorkingDirectory(const std::string& name);
std::string SystemErrorText(int error);

}  // namespace sim
