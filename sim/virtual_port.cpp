// The port functions: one virtual port per process, guarded by one mutex so
// that a line call from any thread sees a consistent adapter.
#include "virtual_programmer.h"

#include "adapter_model.h"
#include "chip_file.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace sim {

struct VirtualPort {
    AdapterModel model;
    ChipFile file;
    std::chrono::steady_clock::time_point opened;
    bool manualClock = false;
    int64_t manualNs = 0;
    int64_t lastNs = 0;
};

namespace {

struct Registry {
    std::mutex mutex;
    VirtualPort* open = nullptr;
    std::vector<LineEvent> lastLines;
    std::vector<ChipEvent> lastChip;
    std::string lastUnsaved;
};

// Built on first use and never destroyed: no work at load or unload time of
// the library that carries it, and no teardown race with late callers.
Registry& TheRegistry()
{
    static Registry* const registry = new Registry;
    return *registry;
}

// Port names ignore letter case, as COM names do on Windows.
bool SameLetters(std::string_view a, std::string_view b)
{
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return std::ranges::equal(a, b, {}, upper, upper);
}

std::optional<Fixture> FixtureNamed(std::string_view name, const ChipModel*& model)
{
    // The serial service may hand over the whole settings string ("VIRTUAL:9600,N,8,1").
    name = name.substr(0, name.find(':'));
    model = &kPic16f84aModel;
    if (SameLetters(name, "VIRTUAL"))
        return Fixture::Chip;
    if (name.size() > 8 && SameLetters(name.substr(0, 8), "VIRTUAL-")) {
        if (const ChipModel* named = ChipModelNamed(name.substr(8))) {
            model = named;
            return Fixture::Chip;
        }
    }
    if (SameLetters(name, "VIRTUAL-EMPTY"))
        return Fixture::EmptySocket;
    if (SameLetters(name, "VIRTUAL-NOADAPTER"))
        return Fixture::NoAdapter;
    if (SameLetters(name, "VIRTUAL-LOOPBACK"))
        return Fixture::LoopbackPlug;
    return std::nullopt;
}

// The port's time now; never earlier than the last line change.
int64_t TimeNow(const VirtualPort& port)
{
    int64_t now = port.manualNs;
    if (!port.manualClock) {
        const auto elapsed = std::chrono::steady_clock::now() - port.opened;
        now = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    }
    return std::max(port.lastNs, now);
}

// Time of the next line change. Reading an input does not move it, so a
// test may still set the virtual time after reading.
int64_t Now(VirtualPort& port)
{
    port.lastNs = TimeNow(port);
    return port.lastNs;
}

void Drive(VirtualPort* port, Line line, bool on)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (port != nullptr && port == registry.open)
        DriveLine(port->model, Now(*port), line, on);
}

template <typename Read>
bool Input(VirtualPort* port, Read read)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return port != nullptr && port == registry.open && read(port->model);
}

}  // namespace

bool IsVirtualPortName(std::string_view portName)
{
    return portName.size() >= 7 && SameLetters(portName.substr(0, 7), "VIRTUAL");
}

VirtualPort* OpenVirtualPort(std::string_view portName)
{
    const ChipModel* model = nullptr;
    const std::optional<Fixture> fixture = FixtureNamed(portName, model);
    if (!fixture)
        return nullptr;
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (registry.open != nullptr)
        return nullptr;
    auto port = std::make_unique<VirtualPort>();
    if (OpenChipFile(port->file, *model) == ChipFileResult::Busy)
        return nullptr;
    const ChipMemory memory = *fixture == Fixture::Chip ? LoadChipMemory(port->file) : ErasedChipMemory();
    ResetAdapter(port->model, *fixture, memory);
    // A freshly opened port has DTR and RTS raised and no break.
    port->opened = std::chrono::steady_clock::now();
    StartLineRecord(port->model, 0, true, true, false);
    registry.open = port.release();
    return registry.open;
}

void CloseVirtualPort(VirtualPort* port)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (port == nullptr || port != registry.open)
        return;
    // Power goes first so that the falling clock cannot shift a stray bit in.
    AdapterModel& model = port->model;
    const int64_t now = Now(*port);
    DriveLine(model, now, Line::Break, false);
    DriveLine(model, now, Line::Rts, false);
    DriveLine(model, now, Line::Dtr, false);
    const bool hasChip = model.fixture == Fixture::Chip;
    registry.lastUnsaved = SaveChipFile(port->file, hasChip ? &model.chip.memory : nullptr, model.lines);
    registry.lastLines = std::move(model.lines);
    registry.lastChip = std::move(model.chip.events);
    registry.open = nullptr;
    delete port;
}

void SetRts(VirtualPort* port, bool on)
{
    Drive(port, Line::Rts, on);
}

void SetDtr(VirtualPort* port, bool on)
{
    Drive(port, Line::Dtr, on);
}

void SetBreak(VirtualPort* port, bool on)
{
    Drive(port, Line::Break, on);
}

bool GetCts(VirtualPort* port)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return port != nullptr && port == registry.open && SampleCts(port->model, TimeNow(*port));
}

bool GetDsr(VirtualPort* port)
{
    return Input(port, [](const AdapterModel& model) { return model.dsr; });
}

bool GetDcd(VirtualPort*)
{
    return false;  // the adapter leaves DCD and RI unconnected
}

bool GetRi(VirtualPort*)
{
    return false;
}

void SetVirtualTime(VirtualPort* port, int64_t timeNs)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (port == nullptr || port != registry.open)
        return;
    port->manualClock = true;
    port->manualNs = timeNs;
}

std::vector<LineEvent> LastLineRecord()
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.open != nullptr ? registry.open->model.lines : registry.lastLines;
}

std::string LastChipNotSaved()
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.lastUnsaved;
}

std::vector<ChipEvent> LastChipRecord()
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.open != nullptr ? registry.open->model.chip.events : registry.lastChip;
}

}  // namespace sim
