// The virtual programmer: a serial port with the programmer adapter and a
// PIC16F84A behind it, modelled on the wires.
//
// The serial line service opens it for port names beginning with VIRTUAL:
//   VIRTUAL            adapter with a PIC16F84A in the socket
//   VIRTUAL-<CHIP>     adapter with that chip (VIRTUAL-PIC16F628A, VIRTUAL-PIC16F84; see kChipModels)
//   VIRTUAL-EMPTY      adapter, empty socket
//   VIRTUAL-NOADAPTER  a port with nothing attached
//   VIRTUAL-LOOPBACK   a serial loopback plug instead of the programmer:
//                      RTS to CTS, DTR to DSR
//
// Adapter wiring: RTS is the target's clock (RB6), DTR drives its data line
// (RB7), CTS reads the data line, TXD in the break state powers the target
// and raises MCLR to the programming voltage, and DSR is looped back from RTS.
// Raw levels: 1 = line set (DTR, RTS), break set (TXD), input on (CTS, DSR).
//
// The chip's memory lives in virtual-pic.hex (other chips than the PIC16F84A:
// virtual-pic16f628a.hex and so on) in the working directory, read
// when the port opens and saved atomically when it closes. Every line change
// is recorded with its time, and so is every rule of the chip's programming
// interface that the host breaks (cycle times, data line contention, setup
// and hold times; see pic_chip.h); the record of the session is written
// beside it as virtual-pic.vcd when the port closes.
//
// This code models wires and a chip; it knows nothing of the host's protocol code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct VirtualPort;

// True for names the virtual programmer answers to (prefix VIRTUAL, in any
// letter case).
bool IsVirtualPortName(std::string_view portName);

// Opens the named fixture. nullptr for an unknown VIRTUAL... name, or when the
// virtual port is already open in this process or in another one working in
// the same directory.
VirtualPort* OpenVirtualPort(std::string_view portName);

// Drops every line, saves the chip and the line record, frees the port.
void CloseVirtualPort(VirtualPort* port);

// Host outputs.
void SetRts(VirtualPort* port, bool on);
void SetDtr(VirtualPort* port, bool on);
void SetBreak(VirtualPort* port, bool on);

// Host inputs, as the adapter presents them now.
bool GetCts(VirtualPort* port);
bool GetDsr(VirtualPort* port);
bool GetDcd(VirtualPort* port);
bool GetRi(VirtualPort* port);

// ---------------------------------------------------------------------------
// For tests and tools that look at what happened on the wires.

// The five wires, then the chip's rules that a host broke. A violation is
// recorded as an event of its own (level true) at the moment it happens; the
// model goes on as it did, but real silicon may not. In the VCD each is an
// event signal named as below.
enum class Line : uint8_t {
    Rts, Dtr, Break, Cts, Dsr,
    DataContention,       // "contention": the host pulls the data line while the chip drives it
    UnloadedProgramming,  // "unloaded": Begin Programming with no word loaded since power-on
    SetupTime,            // "setup": clock or data changed too close before the edge it must precede
    HoldTime,             // "hold": clock or data changed too close after the edge it must follow
    CommandDelay,         // "delay": the next clock rose too soon after a command or word ended
    EarlyRead,            // "early_read": the data line was read too soon after the chip's clock rose
};

struct LineEvent {
    int64_t timeNs;  // since the port was opened
    Line line;
    bool level;      // raw level after the change; true for a violation
};

// True for the violation entries of a record.
bool IsViolation(Line line);

// The signal's name in the VCD ("rts", ..., "contention", "early_read").
const char* LineName(Line line);

// The violation entries of a record, in order.
std::vector<LineEvent> ViolationsIn(const std::vector<LineEvent>& record);

// What the chip saw, decoded by the chip model itself as it ran.
struct ChipEvent {
    enum Kind : uint8_t {
        PowerOn,       // entered programming mode (clock and data low at the rise)
        PowerOff,
        Command,       // value = 6-bit command code
        DataIn,        // value = 14-bit word the host loaded after a load command
        DataOut,       // value = 14-bit word the chip shifted out after a read command
        CycleStart,    // value = address; erase/programming cycle began
        CycleDone,     // value = address; cycle finished in time
        CycleSpoiled,  // value = address; a command came before the cycle ended
    };
    int64_t timeNs;
    Kind kind;
    uint32_t value;
};

// Record of the port currently open, or of the last one closed in this
// process (empty when none was opened).
std::vector<LineEvent> LastLineRecord();
std::vector<ChipEvent> LastChipRecord();

// Why the chip's memory of the last port closed in this process was not
// kept in virtual-pic.hex; empty when it was, or when no chip was in the socket.
std::string LastChipNotSaved();

// Writes a line record as a Value Change Dump; false if the file cannot be written.
bool WriteVcd(const std::vector<LineEvent>& record, const std::string& path);

// Reads a VCD written by WriteVcd back into a record; empty on a foreign file.
std::vector<LineEvent> ReadVcd(const std::string& path);

// The text WriteVcd writes, and the record read from such text.
std::string VcdText(const std::vector<LineEvent>& record);
std::vector<LineEvent> ReadVcdText(std::string_view text);

// For tests: from now on the port's line changes are stamped with timeNs
// (since open) instead of the steady clock, so erase/programming cycles can
// be timed exactly. A time before the last change counts as that time.
void SetVirtualTime(VirtualPort* port, int64_t timeNs);

// Runs a line record through a fresh chip model (erased memory) and returns
// what the chip saw, so a test of a separate process can decode its wires.
// Violation entries in the record are skipped.
std::vector<ChipEvent> ReplayLineRecord(const std::vector<LineEvent>& record);

// The chips the socket can hold. A family shares one command set and one
// table of cycle times.
enum class ChipFamily : uint8_t {
    Pic16f84a,   // erase and programming cycles started by Begin Programming
    Pic16f62xa,  // self-timed bulk erases, Begin Programming only
    Pic16f84,    // PIC16F84: Begin Programming, erased by the bulk erase setup sequence
    Pic16c84,    // PIC16C84: as the PIC16F84, and the bulk erase commands too
    Pic16f62x,   // PIC16F627/628: the PIC16F84A's commands and the bulk erase setup sequence
    // PIC16F87/88 and PIC16F818/819: cycles timed by the host and ended by
    // End Programming (23), program memory written in rows of four words,
    // Chip Erase (31). The two pairs differ in their times only.
    Pic16f88,
    Pic16f819,
};

// What takes a protected chip back to erased and unprotected.
enum class ProtectionClear : uint8_t {
    // Bulk Erase Program Memory (9) with the location counter in the
    // configuration area: program memory, identifiers and configuration word.
    BulkEraseFromConfiguration,
    // Load Configuration, seven Increments (to 0x2007), then commands 1 and 7
    // and Begin Programming (8): program and data memory, identifiers and
    // configuration word. The plain bulk erases do nothing while code
    // protection is on.
    EraseSetupSequence,
    // Load Configuration, then Chip Erase (31): the whole chip. The bulk
    // erases do nothing while code protection is on.
    ChipErase,
};

struct ChipModel {
    const char* name;
    uint16_t deviceId;
    int programWords;     // a power of two: the counter's low bits address it
    int dataBytes;
    uint16_t configMask;  // implemented bits of the configuration word
    ChipFamily family;
    // Code protection: program (cpMask) or data memory (cpdMask) is protected
    // when any of the configuration word's bits under the mask is 0. A
    // protected location reads protectedRead and ignores programming; the
    // identifiers and the configuration word stay readable.
    uint16_t cpMask = 0;
    uint16_t cpdMask = 0;
    uint16_t protectedRead = 0;
    ProtectionClear protectionClear = ProtectionClear::BulkEraseFromConfiguration;
    uint16_t config2Mask = 0;  // implemented bits of a second configuration word at 0x2008; 0: none
};

// No source gives what a protected chip of these reads; the sibling
// PIC16F87X's programming document (DS39025) says all zeros, so the model
// reads zeros.
inline constexpr ChipModel kChipModels[] = {
    {"PIC16F84A", 0x0560, 1024, 64, 0x3FFF, ChipFamily::Pic16f84a, 0x3FF0, 0, 0, ProtectionClear::EraseSetupSequence},
    {"PIC16F627A", 0x1040, 1024, 128, 0x21FF, ChipFamily::Pic16f62xa, 0x2000, 0x0100, 0,
     ProtectionClear::BulkEraseFromConfiguration},
    {"PIC16F628A", 0x1060, 2048, 128, 0x21FF, ChipFamily::Pic16f62xa, 0x2000, 0x0100, 0,
     ProtectionClear::BulkEraseFromConfiguration},
    {"PIC16F648A", 0x1100, 4096, 256, 0x21FF, ChipFamily::Pic16f62xa, 0x2000, 0x0100, 0,
     ProtectionClear::BulkEraseFromConfiguration},
    // No device id: what 0x2006 reads on them is not known, so it reads as
    // the other words without memory there do.
    {"PIC16F84", 0x3FFF, 1024, 64, 0x3FFF, ChipFamily::Pic16f84, 0x3FF0, 0, 0, ProtectionClear::EraseSetupSequence},
    {"PIC16C84", 0x3FFF, 1024, 64, 0x001F, ChipFamily::Pic16c84, 0x0010, 0, 0, ProtectionClear::EraseSetupSequence},
    // CP1:CP0 in both pairs: any cleared bit counts as the whole array
    // protected (the partial ranges are not modelled), the safer reading.
    {"PIC16F627", 0x07A0, 1024, 128, 0x3DFF, ChipFamily::Pic16f62x, 0x3C00, 0x0100, 0,
     ProtectionClear::EraseSetupSequence},
    {"PIC16F628", 0x07C0, 2048, 128, 0x3DFF, ChipFamily::Pic16f62x, 0x3C00, 0x0100, 0,
     ProtectionClear::EraseSetupSequence},
    // /CP (bit 13) and /CPD (bit 8); the WRT bits guard program memory from
    // the chip's own writes only. CONFIG2 of the PIC16F87/88: FCMEN, IESO.
    {"PIC16F87", 0x0720, 4096, 256, 0x3FFF, ChipFamily::Pic16f88, 0x2000, 0x0100, 0, ProtectionClear::ChipErase,
     0x0003},
    {"PIC16F88", 0x0760, 4096, 256, 0x3FFF, ChipFamily::Pic16f88, 0x2000, 0x0100, 0, ProtectionClear::ChipErase,
     0x0003},
    {"PIC16F818", 0x04C0, 1024, 128, 0x3FFF, ChipFamily::Pic16f819, 0x2000, 0x0100, 0, ProtectionClear::ChipErase},
    {"PIC16F819", 0x04E0, 2048, 256, 0x3FFF, ChipFamily::Pic16f819, 0x2000, 0x0100, 0, ProtectionClear::ChipErase},
};
inline constexpr const ChipModel& kPic16f84aModel = kChipModels[0];

// Case-blind lookup ("pic16f628a"); nullptr when the socket cannot hold it.
const ChipModel* ChipModelNamed(std::string_view name);

// The chip's nonvolatile memory, sized for the largest chip; the model says
// how much of it the chip has.
struct ChipMemory {
    static constexpr int kProgramWords = 4096;
    static constexpr int kConfigWords = 9;  // 0x2000..0x2008
    static constexpr int kDataBytes = 256;
    const ChipModel* model = &kPic16f84aModel;
    uint16_t program[kProgramWords];
    // [0..3] identifiers, [6] device id, [7] configuration word, [8] the
    // second configuration word of the chips that have one
    uint16_t config[kConfigWords];
    uint8_t data[kDataBytes];
};

ChipMemory ErasedChipMemory(const ChipModel& model = kPic16f84aModel);

// Intel HEX as PIC assemblers write it: byte address = word address x 2,
// little-endian words, configuration area at 0x4000, data memory at 0x4200.
std::string ChipMemoryToHex(const ChipMemory& memory);

// Parses hex text into memory (starting from erased memory of memory's
// model; locations the model lacks are refused). On failure returns
// false and sets error to a short description of what is wrong.
bool ChipMemoryFromHex(std::string_view text, ChipMemory& memory, std::string& error);

}  // namespace sim
