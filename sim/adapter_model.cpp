#include "adapter_model.h"

namespace sim {

namespace {

constexpr size_t kMaxLineEvents = size_t{1} << 21;

void RecordLine(AdapterModel& model, int64_t timeNs, Line line, bool level)
{
    if (model.lines.size() < kMaxLineEvents)
        model.lines.push_back({timeNs, line, level});
}

// The chip's output wins over the host's data-out line, which only pulls the
// shared data line through the adapter.
bool DataLine(const AdapterModel& model)
{
    if (model.fixture == Fixture::Chip && model.chip.driving)
        return model.chip.outBit;
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
    default: return nullptr;  // inputs are the adapter's to drive
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
        SettleChip(chip, timeNs);
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
