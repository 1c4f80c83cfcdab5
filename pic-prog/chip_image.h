// What a hex file holds for one chip: each location of program memory, data
// memory, the identifier words and the configuration word, and whether the
// file gives it at all.
#pragma once

#include "chip_table.h"
#include "intel_hex.h"

#include <cstdint>
#include <span>
#include <vector>

struct ImageCell {
    uint16_t value = 0;
    bool held = false;  // the file gives this location
};

// The parts of a chip a command works on: program memory, data memory, and
// the identifier words with the configuration word.
struct Regions {
    bool program = true;
    bool data = true;
    bool config = true;
    bool All() const { return program && data && config; }
};

struct ChipImage {
    std::vector<ImageCell> program;
    std::vector<ImageCell> data;  // values 0..0xFF
    std::vector<ImageCell> ids;
    ImageCell config;
    ImageCell config2;  // never held on a chip without a second configuration word
};

// Nothing held; every value is the erased one.
ChipImage EmptyImage(const ChipInfo& chip);

// The erased value of a location of that kind (0x3FFF for words, 0xFF for bytes).
uint16_t ErasedValue(const ChipInfo& chip, MemoryKind kind);

// Places the bytes of a hex file (byte address = word address x 2, words
// little-endian). Refuses, with the line, a byte outside the chip, half a
// word, a value wider than its location, and a location given twice with
// different values. The words 0x2004-0x2006 are no memory; a file may carry
// them only erased or, at 0x2006, as this chip's device id.
bool ImageFromHex(const ChipInfo& chip, std::span<const HexData> data, ChipImage& image, HexError& error);

// Every location of the image, held or not, as hex file blocks; a part the
// image has no cells for (program, data, identifiers with the configuration
// word) is left out.
std::vector<HexData> HexOfImage(const ChipInfo& chip, const ChipImage& image);

// How many locations the image holds in each part.
struct HeldCounts {
    int program = 0;
    int data = 0;
    int ids = 0;
    bool config = false;
    bool config2 = false;
};
HeldCounts CountHeld(const ChipImage& image);
