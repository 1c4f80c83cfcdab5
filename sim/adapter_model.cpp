#include "adapter_model.h"

namespace sim {

namespace {

constexpr size_t kMaxLineEvents = size_t{1} << 21;

void RecordLine(AdapterModel& model, int64_t timeNs, Line line, bool level)
{
    if (model.lines.size() < kMaxLineEvents)
        model.lines.push_back({timeNs, line, level});
}

bool ChipDrives(const AdapterModel& model)
{
    return model.fixture == Fixture::Chip && model.chip.driving;
}

// The host releases the shared data line by raising DTR. While the chip
// drives it, a host still pulling it low fights the chip's output; the line
// then reads low whatever the chip puts out.
bool DataLine(const AdapterModel& model)
{
    if (ChipDrives(model))
        return model.chip.outBit && model.dtr;
    return model.dtr;
}

bool CtsLevel(const AdapterModel& model)
{
    if (model.fixture == Fixture::LoopbackPlug)
        return model.rts;
    return model.fixture != Fixture::NoAdapter && DataLine(model);
}

bool DsrLevel(const AdapterModel& model)
{
    if (model.fixture == Fixture::LoopbackPlug)
        return model.dtr;
    return model.fixture != Fixture::NoAdapter && model.rts;
}

void UpdateInputs(AdapterModel& model, int64_t timeNs)
{
    const bool dsr = DsrLevel(model);
    if (dsr != model.dsr) {
        model.dsr = dsr;
        RecordLine(model, timeNs, Line::Dsr, dsr);
    }
    const bool cts = CtsLevel(model);
    if (cts != model.cts) {
        model.cts = cts;
        RecordLine(model, timeNs, Line::Cts, cts);
    }
}

bool* HostOutput(AdapterModel& model, Line line)
{
    switch (line) {
    case Line::Rts: return &model.rts;
    case Line::Dtr: return &model.dtr;
    case Line::Break: return &model.brk;
    default: return nullptr;  // inputs and violations are the adapter's to record
    }
}

void PassToChip(AdapterModel& model, int64_t timeNs, Line line)
{
    PicChip& chip = model.chip;
    if (line == Line::Break)
        ChipPowerChanged(chip, timeNs, model.brk, model.rts, DataLine(model));
    else if (line == Line::Rts)
        ChipClockChanged(chip, timeNs, model.rts, DataLine(model));
    else
        ChipDataChanged(chip, timeNs);
    // A fight is recorded once, when it begins.
    const bool fight = ChipDrives(model) && !model.dtr;
    if (fight && !model.fighting)
        ChipViolation(chip, timeNs, Line::DataContention);
    model.fighting = fight;
}

// The chip's violations join the line record after the change that caused them.
void TakeViolations(AdapterModel& model)
{
    for (const LineEvent& violation : model.chip.violations)
        RecordLine(model, violation.timeNs, violation.line, violation.level);
    model.chip.violations.clear();
}

}  // namespace

void ResetAdapter(AdapterModel& model, Fixture fixture, const ChipMemory& memory)
{
    model = AdapterModel{};
    model.fixture = fixture;
    ResetChip(model.chip, memory);
}

void StartLineRecord(AdapterModel& model, int64_t timeNs, bool rts, bool dtr, bool brk)
{
    model.rts = rts;
    model.dtr = dtr;
    model.brk = brk;
    model.chip.clock = rts;
    model.cts = CtsLevel(model);
    model.dsr = DsrLevel(model);
    RecordLine(model, timeNs, Line::Rts, rts);
    RecordLine(model, timeNs, Line::Dtr, dtr);
    RecordLine(model, timeNs, Line::Break, brk);
    RecordLine(model, timeNs, Line::Cts, model.cts);
    RecordLine(model, timeNs, Line::Dsr, model.dsr);
}

void DriveLine(AdapterModel& model, int64_t timeNs, Line line, bool level)
{
    bool* output = HostOutput(model, line);
    if (output == nullptr || *output == level)
        return;
    *output = level;
    RecordLine(model, timeNs, line, level);
    if (model.fixture == Fixture::Chip)
        PassToChip(model, timeNs, line);
    UpdateInputs(model, timeNs);
    TakeViolations(model);
}

bool SampleCts(AdapterModel& model, int64_t timeNs)
{
    // The chip's bit is valid only a while after the clock rose that put it out.
    const PicChip& chip = model.chip;
    if (ChipDrives(model) && chip.outChangedNs != model.earlyReadOfNs && TooShort(Gap::Tdly3, timeNs - chip.outChangedNs)) {
        model.earlyReadOfNs = chip.outChangedNs;
        RecordLine(model, timeNs, Line::EarlyRead, true);
    }
    return model.cts;
}

std::vector<ChipEvent> ReplayLineRecord(const std::vector<LineEvent>& record)
{
    AdapterModel model;
    ResetAdapter(model, Fixture::Chip, ErasedChipMemory());
    for (const LineEvent& event : record)
        DriveLine(model, event.timeNs, event.line, event.level);
    return std::move(model.chip.events);
}

}  // namespace sim
