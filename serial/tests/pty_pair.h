// A pseudo-terminal pair for exercising the serial backend without hardware.
#pragma once

#include <cstdint>
#include <string>

struct PtyPair {
    int master = -1;
    std::string slavePath;
};

// Opens a master and unlocks its slave; master is -1 on failure.
PtyPair OpenPtyPair();
void ClosePtyPair(PtyPair& pair);

// The descriptor of this process that has path open, or -1.
int FindOpenDescriptor(const std::string& path);

// Output speed of an open tty as the kernel keeps it (any rate, not just B-constants).
int32_t TtyOutputSpeed(int fd);
