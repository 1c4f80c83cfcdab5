#include "chip_jobs.h"

#include <algorithm>
#include <span>

namespace {

enum class Walk { Write, WriteUnverified, Compare, Read };

// One stretch of locations the location counter runs through from its first
// one: program memory or data memory after switch-on, the configuration
// area after Load Configuration.
struct Section {
    MemoryKind kind;
    uint8_t loadCommand;
    uint8_t readCommand;
    uint16_t readMask;
    uint32_t firstAddress;  // for mismatch reports
};

struct Location {
    ImageCell* cell;
    int offset;  // increments from the section's first location
};

Section ProgramSection(const ChipInfo& chip)
{
    return {MemoryKind::Program, chip.commands.loadProgram, chip.commands.readProgram, chip.wordMask, 0};
}

Section DataSection(const ChipInfo& chip)
{
    return {MemoryKind::Data, chip.commands.loadData, chip.commands.readData, 0xFF, chip.dataBase};
}

Section ConfigSection(const ChipInfo& chip)
{
    return {MemoryKind::Configuration, chip.commands.loadProgram, chip.commands.readProgram, chip.wordMask,
            chip.configBase};
}

std::vector<Location> Consecutive(std::vector<ImageCell>& cells)
{
    std::vector<Location> locations;
    for (size_t i = 0; i < cells.size(); ++i)
        locations.push_back({&cells[i], static_cast<int>(i)});
    return locations;
}

std::vector<Location> ConfigLocations(const ChipInfo& chip, std::vector<ImageCell>& ids, ImageCell& config)
{
    std::vector<Location> locations = Consecutive(ids);
    locations.push_back({&config, chip.configWordOffset});
    return locations;
}

bool NeedsProgramming(Walk walk, const ImageCell& cell, uint16_t erased)
{
    return (walk == Walk::Write || walk == Walk::WriteUnverified) && cell.held && cell.value != erased;
}

bool NeedsReading(Walk walk, const ImageCell& cell)
{
    return walk == Walk::Read || (cell.held && (walk == Walk::Write || walk == Walk::Compare));
}

bool AnyWork(Walk walk, const std::vector<Location>& locations, uint16_t erased)
{
    return std::ranges::any_of(locations, [walk, erased](const Location& l) {
        return NeedsReading(walk, *l.cell) || NeedsProgramming(walk, *l.cell, erased);
    });
}

// Runs the location counter from the section's first location (where it must
// stand) to the last location that needs anything, and no further.
JobResult WalkSection(Wire& wire, const ChipInfo& chip, const Section& section, const std::vector<Location>& locations,
                      Walk walk, std::vector<Mismatch>& mismatches)
{
    const uint16_t erased = ErasedValue(chip, section.kind);
    const ProgrammingCycle cycle = ShortestCycle(chip, section.kind);
    int at = 0;
    for (const Location& location : locations) {
        ImageCell& cell = *location.cell;
        const bool program = NeedsProgramming(walk, cell, erased);
        const bool read = NeedsReading(walk, cell);
        if (!program && !read)
            continue;
        if (Interrupted(wire))
            return JobResult::Interrupted;
        for (; at < location.offset; ++at)
            SendCommand(wire, chip.commands.incrementAddress);
        if (program) {
            SendCommand(wire, section.loadCommand);
            SendWord(wire, cell.value);
            SendCommand(wire, cycle.command);
            WaitPrescribed(wire, cycle.maxMicroseconds);
        }
        if (read) {
            SendCommand(wire, section.readCommand);
            const uint16_t value = static_cast<uint16_t>(ReceiveWord(wire) & section.readMask);
            if (walk == Walk::Read)
                cell = {value, true};
            else if (value != cell.value && !wire.dry)
                mismatches.push_back(
                    {section.kind, section.firstAddress + static_cast<uint32_t>(location.offset), cell.value, value});
        }
    }
    return JobResult::Done;
}

JobResult WalkConfigArea(Wire& wire, const ChipInfo& chip, std::vector<ImageCell>& ids, ImageCell& config, Walk walk,
                         std::vector<Mismatch>& mismatches)
{
    const std::vector<Location> locations = ConfigLocations(chip, ids, config);
    if (!AnyWork(walk, locations, ErasedValue(chip, MemoryKind::Configuration)))
        return JobResult::Done;
    // Load Configuration moves to the first identifier; its word is not programmed.
    SendCommand(wire, chip.commands.loadConfiguration);
    SendWord(wire, chip.wordMask);
    return WalkSection(wire, chip, ConfigSection(chip), locations, walk, mismatches);
}

// Program memory from a fresh switch-on, then data memory from another.
JobResult WalkMemories(Wire& wire, const ChipInfo& chip, ChipImage& image, Walk walk, std::vector<Mismatch>& mismatches)
{
    const std::pair<Section, std::vector<ImageCell>*> memories[] = {
        {ProgramSection(chip), &image.program},
        {DataSection(chip), &image.data},
    };
    for (const auto& [section, cells] : memories) {
        const std::vector<Location> locations = Consecutive(*cells);
        if (!AnyWork(walk, locations, ErasedValue(chip, section.kind)))
            continue;
        if (Interrupted(wire))
            return JobResult::Interrupted;
        PowerOn(wire);
        if (WalkSection(wire, chip, section, locations, walk, mismatches) == JobResult::Interrupted)
            return JobResult::Interrupted;
    }
    return JobResult::Done;
}

void CompareWord(MemoryKind kind, uint32_t address, const ImageCell& wanted, uint16_t read,
                 std::vector<Mismatch>& mismatches)
{
    if (wanted.held && wanted.value != read)
        mismatches.push_back({kind, address, wanted.value, read});
}

// A location the image does not give stands for its erased value, which an
// image keeps in every location it does not hold.
ChipImage Covered(ChipImage image, Extent extent)
{
    if (extent == Extent::FileOnly)
        return image;
    for (std::vector<ImageCell>* cells : {&image.program, &image.data, &image.ids})
        for (ImageCell& cell : *cells)
            cell.held = true;
    image.config.held = true;
    return image;
}

// On most chips a bulk erase starts like a programming cycle, on some the
// erase command starts it itself.
void BulkErase(Wire& wire, const ChipInfo& chip, uint8_t command)
{
    SendCommand(wire, command);
    if (!chip.commands.bulkEraseSelfTimed)
        SendCommand(wire, chip.commands.beginEraseProgramming);
    WaitPrescribed(wire, chip.bulkEraseMicroseconds);
}

void EraseBySetupSequence(Wire& wire, const ChipInfo& chip)
{
    const ChipCommands& c = chip.commands;
    SendCommand(wire, c.bulkEraseSetup1);
    SendCommand(wire, c.bulkEraseSetup2);
    SendCommand(wire, c.beginEraseProgramming);
    WaitPrescribed(wire, chip.bulkEraseMicroseconds);
    SendCommand(wire, c.bulkEraseSetup1);
    SendCommand(wire, c.bulkEraseSetup2);
}

}  // namespace

JobResult ReadConfigArea(Wire& wire, const ChipInfo& layout, ConfigArea& area)
{
    PowerOn(wire);
    if (Interrupted(wire))
        return JobResult::Interrupted;
    ChipImage image = EmptyImage(layout);
    ImageCell deviceId{};
    std::vector<Location> locations = ConfigLocations(layout, image.ids, image.config);
    locations.insert(locations.end() - 1, Location{&deviceId, layout.deviceIdOffset});
    std::vector<Mismatch> none;
    SendCommand(wire, layout.commands.loadConfiguration);
    SendWord(wire, layout.wordMask);
    if (WalkSection(wire, layout, ConfigSection(layout), locations, Walk::Read, none) == JobResult::Interrupted)
        return JobResult::Interrupted;
    area.ids.clear();
    for (const ImageCell& cell : image.ids)
        area.ids.push_back(cell.value);
    area.deviceId = deviceId.value;
    area.config = image.config.value;
    return JobResult::Done;
}

JobResult EraseChip(Wire& wire, const ChipInfo& chip)
{
    if (Interrupted(wire))
        return JobResult::Interrupted;
    const ChipCommands& c = chip.commands;
    // Each erase is armed with all ones loaded. With the location counter in
    // the configuration area the identifiers and the configuration word
    // (code protection) go too; the setup sequence wants it at the
    // configuration word, and only a new entry brings it back from there.
    SendCommand(wire, c.loadConfiguration);
    SendWord(wire, chip.wordMask);
    if (c.programErase == EraseSequence::SetupSequence) {
        for (int i = 0; i < chip.configWordOffset; ++i)
            SendCommand(wire, c.incrementAddress);
        EraseBySetupSequence(wire, chip);
        PowerOn(wire);
    } else {
        BulkErase(wire, chip, c.bulkEraseProgram);
    }
    SendCommand(wire, c.loadData);
    SendWord(wire, chip.wordMask);
    if (c.dataErase == EraseSequence::SetupSequence)
        EraseBySetupSequence(wire, chip);
    else
        BulkErase(wire, chip, c.bulkEraseData);
    return JobResult::Done;
}

JobResult WriteImage(Wire& wire, const ChipInfo& chip, const ChipImage& image, bool verify, Extent extent,
                     std::vector<Mismatch>& mismatches)
{
    if (EraseChip(wire, chip) == JobResult::Interrupted)
        return JobResult::Interrupted;
    ChipImage work = verify ? Covered(image, extent) : image;
    const Walk walk = verify ? Walk::Write : Walk::WriteUnverified;
    if (WalkMemories(wire, chip, work, walk, mismatches) == JobResult::Interrupted)
        return JobResult::Interrupted;
    if (Interrupted(wire))
        return JobResult::Interrupted;
    // The configuration area follows in the session of the last memory walked:
    // Load Configuration moves there from anywhere, and the configuration
    // word is its last location.
    return WalkConfigArea(wire, chip, work.ids, work.config, walk, mismatches);
}

JobResult ReadImage(Wire& wire, const ChipInfo& chip, const ConfigArea& area, ChipImage& image)
{
    image = EmptyImage(chip);
    std::vector<Mismatch> none;
    if (WalkMemories(wire, chip, image, Walk::Read, none) == JobResult::Interrupted)
        return JobResult::Interrupted;
    for (size_t i = 0; i < image.ids.size() && i < area.ids.size(); ++i)
        image.ids[i] = {area.ids[i], true};
    image.config = {area.config, true};
    return JobResult::Done;
}

JobResult ReadDataMemory(Wire& wire, const ChipInfo& chip, std::vector<ImageCell>& data)
{
    // Without program cells the walk goes straight to data memory.
    ChipImage image = EmptyImage(chip);
    image.program.clear();
    std::vector<Mismatch> none;
    const JobResult result = WalkMemories(wire, chip, image, Walk::Read, none);
    data = image.data;
    return result;
}

JobResult CompareImage(Wire& wire, const ChipInfo& chip, const ConfigArea& area, const ChipImage& image,
                       Extent extent, std::vector<Mismatch>& mismatches)
{
    ChipImage work = Covered(image, extent);
    if (WalkMemories(wire, chip, work, Walk::Compare, mismatches) == JobResult::Interrupted)
        return JobResult::Interrupted;
    for (size_t i = 0; i < work.ids.size() && i < area.ids.size(); ++i)
        CompareWord(MemoryKind::Configuration, chip.configBase + static_cast<uint32_t>(i), work.ids[i], area.ids[i],
                    mismatches);
    CompareWord(MemoryKind::Configuration, chip.configBase + static_cast<uint32_t>(chip.configWordOffset), work.config,
                area.config, mismatches);
    return JobResult::Done;
}

JobResult EraseImage(Wire& wire, const ChipInfo& chip, bool verify, std::vector<Mismatch>& mismatches)
{
    if (EraseChip(wire, chip) == JobResult::Interrupted || !verify)
        return Interrupted(wire) ? JobResult::Interrupted : JobResult::Done;
    ChipImage erased = Covered(EmptyImage(chip), Extent::WholeChip);
    if (WalkMemories(wire, chip, erased, Walk::Compare, mismatches) == JobResult::Interrupted)
        return JobResult::Interrupted;
    if (Interrupted(wire))
        return JobResult::Interrupted;
    return WalkConfigArea(wire, chip, erased.ids, erased.config, Walk::Compare, mismatches);
}
