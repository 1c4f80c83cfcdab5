#include "fake_port.h"

namespace {

constexpr int32_t kHandle = 7;
FakePortState g_state;

void Record(std::string call) { g_state.calls.push_back(std::move(call)); }

int32_t Open(const char* settings, int32_t handshake, int32_t in, int32_t out)
{
    Record("open " + std::string(settings) + " " + std::to_string(handshake) + " " + std::to_string(in) + " " +
           std::to_string(out));
    return g_state.openSucceeds ? kHandle : 0;
}

int32_t Close(int32_t h)
{
    Record("close " + std::to_string(h));
    return 1;
}

int32_t Write(int32_t, const void* buffer, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        Record("write " + std::to_string(static_cast<const uint8_t*>(buffer)[i]));
    return 1;
}

int32_t Read(int32_t, void* buffer, int32_t count)
{
    if (g_state.readFails || count < 1)
        return 0;
    if (!g_state.incoming.empty()) {
        *static_cast<uint8_t*>(buffer) = g_state.incoming.front();
        g_state.incoming.pop_front();
    }
    return 1;
}

int32_t InputCount(int32_t) { return static_cast<int32_t>(g_state.incoming.size()); }

int32_t SetLine(const char* name, int32_t on)
{
    Record(std::string(name) + " " + std::to_string(on ? 1 : 0));
    return 1;
}

int32_t SetXonXoff(int32_t, int32_t xon, int32_t xoff)
{
    Record("xonxoff " + std::to_string(xon) + " " + std::to_string(xoff));
    return 1;
}

}  // namespace

FakePortState& FakePort() { return g_state; }

void ResetFakePort() { g_state = FakePortState(); }

SerialPortApi FakePortApi()
{
    return {Open,
            Close,
            Write,
            Read,
            InputCount,
            [](int32_t, int32_t on) { return SetLine("dtr", on); },
            [](int32_t, int32_t on) { return SetLine("rts", on); },
            [](int32_t, int32_t on) { return SetLine("break", on); },
            [](int32_t) { return g_state.cts; },
            [](int32_t) { return g_state.dsr; },
            [](int32_t) { return g_state.dcd; },
            [](int32_t) { return g_state.ri; },
            SetXonXoff,
            [](int32_t) { return -1; },   // no descriptor: the window polls
            [](int32_t) { return -1; }};
}

std::vector<std::string> FakeCalls(const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& c : g_state.calls) {
        if (c.rfind(prefix, 0) == 0)
            found.push_back(c);
    }
    return found;
}
