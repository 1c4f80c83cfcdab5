// What pic-prog does with a chip, built from the line primitives: read its
// configuration area, bulk erase, and walk a memory location by location to
// program, read or compare it. Every job leaves the target powered; the
// caller switches it off on every path.
#pragma once

#include "chip_image.h"
#include "chip_table.h"
#include "programming_wire.h"

#include <cstdint>
#include <vector>

enum class JobResult { Done, Interrupted };

// A location whose content is not what it should be.
struct Mismatch {
    MemoryKind kind;
    uint32_t address;  // as in a hex file: word address, data memory from dataBase
    uint16_t wanted;
    uint16_t read;
};

struct ConfigArea {
    std::vector<uint16_t> ids;
    uint16_t deviceId = 0;
    uint16_t config = 0;
    uint16_t config2 = 0;  // read only when the layout has a second configuration word
};

// What a comparison covers: every location, those the image does not give
// having to read erased, or only the locations the image gives.
enum class Extent { WholeChip, FileOnly };

// Switches the target on and reads its identifier words, device id and
// configuration word (and the second one where the layout has it), laid out
// as in layout (the chip may not be known yet).
JobResult ReadConfigArea(Wire& wire, const ChipInfo& layout, ConfigArea& area);

// Bulk erase of the regions: program memory alone from program memory after
// a fresh switch-on; with the identifiers and configuration word from the
// configuration area, which takes them too; data memory after that. No chip
// erases the identifiers and configuration word without program memory. With
// clearProtection (the whole chip protected), the chip's own sequence that
// clears its code protection goes first where the plain erase would not.
JobResult EraseChip(Wire& wire, const ChipInfo& chip, Regions regions, bool clearProtection);

// Erase of the regions, then every location of the image within them that
// differs from erased, with the chip's shortest cycle per memory kind. With
// verify, each location the file holds is read back as soon as it is done.
// The configuration word comes last: once it enables code protection the
// chip no longer reads true. With verify over the whole chip, a location of
// the regions the image lacks must read erased.
JobResult WriteImage(Wire& wire, const ChipInfo& chip, const ChipImage& image, bool verify, Extent extent,
                     Regions regions, bool clearProtection, std::vector<Mismatch>& mismatches);

// Every location of the regions into image (identifiers and configuration
// from area); the image has no cells for the other regions.
JobResult ReadImage(Wire& wire, const ChipInfo& chip, const ConfigArea& area, Regions regions, ChipImage& image);

// Data memory alone, every byte of it, into data.
JobResult ReadDataMemory(Wire& wire, const ChipInfo& chip, std::vector<ImageCell>& data);

// Reads each location of the regions the extent covers and notes those that differ.
JobResult CompareImage(Wire& wire, const ChipInfo& chip, const ConfigArea& area, const ChipImage& image, Extent extent,
                       Regions regions, std::vector<Mismatch>& mismatches);

// Erase of the regions, and with verify a blank check of every location in them.
JobResult EraseImage(Wire& wire, const ChipInfo& chip, Regions regions, bool clearProtection, bool verify,
                     std::vector<Mismatch>& mismatches);

// The image without the locations outside the regions (none held there).
ChipImage Within(ChipImage image, Regions regions);
