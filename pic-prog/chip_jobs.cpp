#include "chip_jobs.h"

#include <algorithm>
#include <cstddef>
#include <map>
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

std::vector<Location> ConfigLocations(const ChipInfo& chip, std::vector<ImageCell>& ids, ImageCell& config,
                                      ImageCell& config2)
{
    std::vector<Location> locations = Consecutive(ids);
    locations.push_back({&config, chip.configWordOffset});
    if (chip.config2Mask != 0)
        locations.push_back({&config2, chip.config2Offset});
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

// End Programming after the wait, on the chips whose cycles the host ends.
void EndProgramming(Wire& wire, const ChipInfo& chip, uint8_t endCommand)
{
    if (endCommand == 0)
        return;
    SendCommand(wire, endCommand);
    WaitPrescribed(wire, chip.endProgrammingMicroseconds);
}

void RunCycle(Wire& wire, const ChipInfo& chip, const ProgrammingCycle& cycle)
{
    SendCommand(wire, cycle.command);
    WaitPrescribed(wire, cycle.maxMicroseconds);
    EndProgramming(wire, chip, cycle.endCommand);
}

bool WritesRows(const ChipInfo& chip, const Section& section, Walk walk)
{
    return chip.rowWords > 1 && section.kind != MemoryKind::Data && (walk == Walk::Write || walk == Walk::WriteUnverified);
}

// Each row with a location to program: every latch loaded, with the erased
// value where nothing is to be programmed (which changes nothing), then one
// cycle for the row. The counter ends on the last word of the last row.
JobResult WriteRows(Wire& wire, const ChipInfo& chip, const Section& section, const std::vector<Location>& locations,
                    Walk walk)
{
    const uint16_t erased = ErasedValue(chip, section.kind);
    const int n = chip.rowWords;
    std::map<int, std::vector<uint16_t>> rows;  // by the offset of the row's first word
    for (const Location& location : locations)
        if (NeedsProgramming(walk, *location.cell, erased))
            rows.try_emplace(location.offset / n * n, static_cast<size_t>(n), erased)
                .first->second[static_cast<size_t>(location.offset % n)] = location.cell->value;
    int at = 0;
    for (const auto& [first, words] : rows) {
        if (Interrupted(wire))
            return JobResult::Interrupted;
        for (; at < first; ++at)
            SendCommand(wire, chip.commands.incrementAddress);
        for (int i = 0; i < n; ++i) {
            if (i > 0) {
                SendCommand(wire, chip.commands.incrementAddress);
                ++at;
            }
            SendCommand(wire, section.loadCommand);
            SendWord(wire, words[static_cast<size_t>(i)]);
        }
        RunCycle(wire, chip, ShortestCycle(chip, section.kind));
    }
    return JobResult::Done;
}

// Into programming mode with the counter on the section's first location.
void EnterSection(Wire& wire, const ChipInfo& chip, const Section& section)
{
    PowerOn(wire);
    if (section.kind == MemoryKind::Configuration) {
        SendCommand(wire, chip.commands.loadConfiguration);
        SendWord(wire, chip.wordMask);
    }
}

JobResult WalkSection(Wire& wire, const ChipInfo& chip, const Section& section, const std::vector<Location>& locations,
                      Walk walk, std::vector<Mismatch>& mismatches);

// A row is read back only once all rows are written: the counter does not
// go back, so the section is entered afresh for the comparison.
JobResult WalkRows(Wire& wire, const ChipInfo& chip, const Section& section, const std::vector<Location>& locations,
                   Walk walk, std::vector<Mismatch>& mismatches)
{
    if (WriteRows(wire, chip, section, locations, walk) == JobResult::Interrupted)
        return JobResult::Interrupted;
    if (walk == Walk::WriteUnverified || !AnyWork(Walk::Compare, locations, ErasedValue(chip, section.kind)))
        return JobResult::Done;
    if (Interrupted(wire))
        return JobResult::Interrupted;
    EnterSection(wire, chip, section);
    return WalkSection(wire, chip, section, locations, Walk::Compare, mismatches);
}

// Runs the location counter from the section's first location (where it must
// stand) to the last location that needs anything, and no further.
JobResult WalkSection(Wire& wire, const ChipInfo& chip, const Section& section, const std::vector<Location>& locations,
                      Walk walk, std::vector<Mismatch>& mismatches)
{
    if (WritesRows(chip, section, walk))
        return WalkRows(wire, chip, section, locations, walk, mismatches);
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
            RunCycle(wire, chip, cycle);
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

JobResult WalkConfigArea(Wire& wire, const ChipInfo& chip, ChipImage& image, Walk walk,
                         std::vector<Mismatch>& mismatches)
{
    const std::vector<Location> locations = ConfigLocations(chip, image.ids, image.config, image.config2);
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
ChipImage Covered(const ChipInfo& chip, ChipImage image, Extent extent)
{
    if (extent == Extent::FileOnly)
        return image;
    for (std::vector<ImageCell>* cells : {&image.program, &image.data, &image.ids})
        for (ImageCell& cell : *cells)
            cell.held = true;
    image.config.held = true;
    image.config2.held = chip.config2Mask != 0;
    return image;
}

// The setup sequence: Bulk Erase Setup 1 and 2 around a Begin Programming.
// It erases the memory last loaded, or with the counter on the configuration
// word the whole chip, code protection included.
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

// An erase armed with all ones loaded by loadCommand: the chip's bulk erase
// command (on most chips started like a programming cycle, on some by the
// command itself), or the setup sequence.
void EraseLoaded(Wire& wire, const ChipInfo& chip, uint8_t loadCommand, EraseSequence sequence, uint8_t eraseCommand)
{
    SendCommand(wire, loadCommand);
    SendWord(wire, chip.wordMask);
    if (sequence == EraseSequence::SetupSequence) {
        EraseBySetupSequence(wire, chip);
        return;
    }
    SendCommand(wire, eraseCommand);
    if (!chip.commands.bulkEraseSelfTimed)
        SendCommand(wire, chip.commands.beginEraseProgramming);
    WaitPrescribed(wire, chip.bulkEraseMicroseconds);
    EndProgramming(wire, chip, chip.commands.endProgramming);
}

// Chip Erase after Load Configuration: program and data memory, identifiers,
// configuration words, protection with them. It times itself.
void EraseByChipErase(Wire& wire, const ChipInfo& chip)
{
    SendCommand(wire, chip.commands.loadConfiguration);
    SendWord(wire, chip.wordMask);
    SendCommand(wire, chip.commands.chipErase);
    WaitPrescribed(wire, chip.bulkEraseMicroseconds);
}

// The setup sequence with the counter on the configuration word: program
// and data memory, identifiers and configuration word, protection with them.
// Only a fresh switch-on brings the counter back from there.
void EraseWholeChip(Wire& wire, const ChipInfo& chip)
{
    const ChipCommands& c = chip.commands;
    SendCommand(wire, c.loadConfiguration);
    SendWord(wire, chip.wordMask);
    for (int i = 0; i < chip.configWordOffset; ++i)
        SendCommand(wire, c.incrementAddress);
    EraseBySetupSequence(wire, chip);
    PowerOn(wire);
}

}  // namespace

ChipImage Within(ChipImage image, Regions regions)
{
    const auto drop = [](std::vector<ImageCell>& cells) {
        for (ImageCell& cell : cells)
            cell.held = false;
    };
    if (!regions.program)
        drop(image.program);
    if (!regions.data)
        drop(image.data);
    if (!regions.config) {
        drop(image.ids);
        image.config.held = false;
        image.config2.held = false;
    }
    return image;
}

JobResult ReadConfigArea(Wire& wire, const ChipInfo& layout, ConfigArea& area)
{
    PowerOn(wire);
    if (Interrupted(wire))
        return JobResult::Interrupted;
    ChipImage image = EmptyImage(layout);
    ImageCell deviceId{};
    std::vector<Location> locations = ConfigLocations(layout, image.ids, image.config, image.config2);
    // In address order: after the identifiers, before the configuration words.
    locations.insert(locations.begin() + static_cast<std::ptrdiff_t>(image.ids.size()),
                     Location{&deviceId, layout.deviceIdOffset});
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
    area.config2 = image.config2.value;
    return JobResult::Done;
}

JobResult EraseChip(Wire& wire, const ChipInfo& chip, Regions regions, bool clearProtection)
{
    if (Interrupted(wire))
        return JobResult::Interrupted;
    const ChipCommands& c = chip.commands;
    if (c.chipErase != 0 && regions.All()) {
        EraseByChipErase(wire, chip);
        return JobResult::Done;
    }
    const bool setupChip = c.programErase == EraseSequence::SetupSequence;
    // On chips that erase by the setup sequence, identifiers and the
    // configuration word go only with the whole chip.
    if (regions.program && regions.config && setupChip) {
        EraseWholeChip(wire, chip);
    } else {
        if (clearProtection && c.eraseSetupClearsProtection)
            EraseWholeChip(wire, chip);
        // With the counter in the configuration area the identifiers and the
        // configuration word go too; a fresh entry takes it back to 0.
        if (regions.program && regions.config) {
            EraseLoaded(wire, chip, c.loadConfiguration, c.programErase, c.bulkEraseProgram);
        } else if (regions.program) {
            PowerOn(wire);
            EraseLoaded(wire, chip, c.loadProgram, c.programErase, c.bulkEraseProgram);
        }
    }
    if (regions.data)
        EraseLoaded(wire, chip, c.loadData, c.dataErase, c.bulkEraseData);
    return JobResult::Done;
}

JobResult WriteImage(Wire& wire, const ChipInfo& chip, const ChipImage& image, bool verify, Extent extent,
                     Regions regions, bool clearProtection, std::vector<Mismatch>& mismatches)
{
    if (EraseChip(wire, chip, regions, clearProtection) == JobResult::Interrupted)
        return JobResult::Interrupted;
    ChipImage work = Within(verify ? Covered(chip, image, extent) : image, regions);
    const Walk walk = verify ? Walk::Write : Walk::WriteUnverified;
    if (WalkMemories(wire, chip, work, walk, mismatches) == JobResult::Interrupted)
        return JobResult::Interrupted;
    if (Interrupted(wire))
        return JobResult::Interrupted;
    // The configuration area follows in the session of the last memory walked:
    // Load Configuration moves there from anywhere, and the configuration
    // word is its last location.
    return WalkConfigArea(wire, chip, work, walk, mismatches);
}

JobResult ReadImage(Wire& wire, const ChipInfo& chip, const ConfigArea& area, Regions regions, ChipImage& image)
{
    image = EmptyImage(chip);
    if (!regions.program)
        image.program.clear();
    if (!regions.data)
        image.data.clear();
    std::vector<Mismatch> none;
    if (WalkMemories(wire, chip, image, Walk::Read, none) == JobResult::Interrupted)
        return JobResult::Interrupted;
    if (!regions.config) {
        image.ids.clear();
        return JobResult::Done;
    }
    for (size_t i = 0; i < image.ids.size() && i < area.ids.size(); ++i)
        image.ids[i] = {area.ids[i], true};
    image.config = {area.config, true};
    if (chip.config2Mask != 0)
        image.config2 = {area.config2, true};
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
                       Extent extent, Regions regions, std::vector<Mismatch>& mismatches)
{
    ChipImage work = Within(Covered(chip, image, extent), regions);
    if (WalkMemories(wire, chip, work, Walk::Compare, mismatches) == JobResult::Interrupted)
        return JobResult::Interrupted;
    for (size_t i = 0; i < work.ids.size() && i < area.ids.size(); ++i)
        CompareWord(MemoryKind::Configuration, chip.configBase + static_cast<uint32_t>(i), work.ids[i], area.ids[i],
                    mismatches);
    CompareWord(MemoryKind::Configuration, chip.configBase + static_cast<uint32_t>(chip.configWordOffset), work.config,
                area.config, mismatches);
    CompareWord(MemoryKind::Configuration, chip.configBase + static_cast<uint32_t>(chip.config2Offset), work.config2,
                area.config2, mismatches);
    return JobResult::Done;
}

JobResult EraseImage(Wire& wire, const ChipInfo& chip, Regions regions, bool clearProtection, bool verify,
                     std::vector<Mismatch>& mismatches)
{
    if (EraseChip(wire, chip, regions, clearProtection) == JobResult::Interrupted || !verify)
        return Interrupted(wire) ? JobResult::Interrupted : JobResult::Done;
    ChipImage erased = Within(Covered(chip, EmptyImage(chip), Extent::WholeChip), regions);
    if (WalkMemories(wire, chip, erased, Walk::Compare, mismatches) == JobResult::Interrupted)
        return JobResult::Interrupted;
    if (Interrupted(wire))
        return JobResult::Interrupted;
    return WalkConfigArea(wire, chip, erased, Walk::Compare, mismatches);
}
