// Test helpers: a scratch working directory per test, and the host side of
// the programmer wires bit-banged straight on the virtual port.
#pragma once

#include "virtual_programmer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace sim {

inline bool operator==(const LineEvent& a, const LineEvent& b)
{
    return a.timeNs == b.timeNs && a.line == b.line && a.level == b.level;
}

inline bool operator==(const ChipEvent& a, const ChipEvent& b)
{
    return a.timeNs == b.timeNs && a.kind == b.kind && a.value == b.value;
}

inline void PrintTo(const LineEvent& e, std::ostream* os)
{
    *os << e.timeNs << ":line" << static_cast<int>(e.line) << "=" << e.level;
}

inline void PrintTo(const ChipEvent& e, std::ostream* os)
{
    *os << e.timeNs << ":kind" << static_cast<int>(e.kind) << "=" << e.value;
}

}  // namespace sim

namespace simtest {

// The virtual chip keeps its files in the working directory; never let that
// be the source tree.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "sim-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        std::filesystem::current_path(dir_);
    }

    void TearDown() override
    {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::filesystem::path dir_;
    std::filesystem::path previous_;
};

// Drives the lines as the programmer protocol does, at raw levels. Every line
// change comes at least 1 us after the previous one, the least the chip
// counts as apart; with a manual clock exactly that, and waits are exact;
// otherwise the port's steady clock runs.
class WireHost {
public:
    explicit WireHost(sim::VirtualPort* port, bool manualClock = true) : port_(port), manual_(manualClock)
    {
        if (manual_)
            sim::SetVirtualTime(port_, now_);
    }

    void Wait(int64_t ns)
    {
        now_ += ns;
        if (manual_)
            sim::SetVirtualTime(port_, now_);
        else
            std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
    }

    // The next line change comes at the same moment as the last one.
    void Simultaneous() { simultaneous_ = true; }

    void Rts(bool on) { Step(); sim::SetRts(port_, on); }
    void Dtr(bool on) { Step(); sim::SetDtr(port_, on); }
    void Power(bool on) { Step(); sim::SetBreak(port_, on); }

    // Clock and data low, then the power line, as the host switches the target;
    // then the hold time after the rise.
    void PowerOn() { Rts(false); Dtr(false); Power(true); Wait(10'000); }
    void PowerOff() { Rts(false); Dtr(false); Power(false); }

    void SendBit(bool bit) { Dtr(bit); Rts(true); Rts(false); }

    bool ReadBit()
    {
        Rts(true);
        Rts(false);
        return sim::GetCts(port_);
    }

    void Command(int code)
    {
        for (int i = 0; i < 6; ++i)
            SendBit((code >> i) & 1);
    }

    // Start bit, 14 data bits LSB first, stop bit.
    void Word(int word)
    {
        const int framed = (word << 1) & 0x7FFE;
        for (int i = 0; i < 16; ++i)
            SendBit((framed >> i) & 1);
    }

    // All 16 clocks as read; the host keeps clocks 2..15.
    std::vector<bool> ReadClocks(bool releaseData = true)
    {
        if (releaseData)
            Dtr(true);
        std::vector<bool> bits;
        for (int i = 0; i < 16; ++i)
            bits.push_back(ReadBit());
        return bits;
    }

    int ReadWord()
    {
        const std::vector<bool> bits = ReadClocks();
        int word = 0;
        for (int clock = 2; clock <= 15; ++clock)
            word |= static_cast<int>(bits[clock - 1]) << (clock - 2);
        return word;
    }

    // Load, program, and wait longer than any cycle; then, on a chip whose
    // cycles the host ends, End Programming.
    void Write(int loadCommand, int word, int programCommand = 8)
    {
        Command(loadCommand);
        Word(word);
        Command(programCommand);
        Wait(20'000'000);
        if (endCommand_ >= 0)
            Command(endCommand_);
    }

    // From now on Write ends each cycle with this command.
    void EndCyclesWith(int command) { endCommand_ = command; }

    int Read(int readCommand)
    {
        Command(readCommand);
        return ReadWord();
    }

    void Increment(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            Command(6);
    }

private:
    void Step()
    {
        if (!simultaneous_)
            Wait(1000);
        simultaneous_ = false;
    }

    sim::VirtualPort* port_;
    bool manual_;
    bool simultaneous_ = false;
    int64_t now_ = 0;
    int endCommand_ = -1;
};

// The names of the violations in a record, in order.
inline std::vector<std::string> ViolationNames(const std::vector<sim::LineEvent>& record)
{
    std::vector<std::string> names;
    for (const sim::LineEvent& e : sim::ViolationsIn(record))
        names.push_back(sim::LineName(e.line));
    return names;
}

inline std::vector<sim::ChipEvent> EventsOfKind(const std::vector<sim::ChipEvent>& events, sim::ChipEvent::Kind kind)
{
    std::vector<sim::ChipEvent> found;
    for (const sim::ChipEvent& e : events)
        if (e.kind == kind)
            found.push_back(e);
    return found;
}

inline std::vector<uint32_t> ValuesOfKind(const std::vector<sim::ChipEvent>& events, sim::ChipEvent::Kind kind)
{
    std::vector<uint32_t> values;
    for (const sim::ChipEvent& e : EventsOfKind(events, kind))
        values.push_back(e.value);
    return values;
}

}  // namespace simtest
