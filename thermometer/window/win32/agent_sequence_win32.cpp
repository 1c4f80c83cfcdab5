#include "agent_sequence_win32.h"

#include "automation.h"
#include "thermometer_reading.h"

#include <string>

namespace {

void ActOut(IDispatch* character, const std::atomic<std::int32_t>* temperatureWhole, const AgentSequenceWaits& waits)
{
    // Half the primary display's width less 50, a quarter of its height.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 50;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 4;
    CallMethod(character, u"Show");
    Sleep(static_cast<DWORD>(waits.afterShow));
    CallMethod(character, u"MoveTo(%d,%d)", x, y);
    CallMethod(character, u"Play(%T)", "Greet");
    const std::string text = AgentTemperatureText(temperatureWhole ? temperatureWhole->load() : 0);
    CallMethod(character, u"Speak(%T)", text.c_str());
    CallMethod(character, u"Play(%T)", "Reading");
    Sleep(static_cast<DWORD>(waits.afterReading));
    CallMethod(character, u"Stop");
    Sleep(static_cast<DWORD>(waits.afterStop));
    CallMethod(character, u"Play(%T)", "Hide");
    Sleep(static_cast<DWORD>(waits.afterHide));
}

}  // namespace

void RunAgentSequence(const std::atomic<std::int32_t>* temperatureWhole, const AgentSequenceWaits& waits)
{
    AutomationInit(1, 0);
    SetErrorDisplay(1);
    IDispatch* agent = nullptr;
    if (SUCCEEDED(CreateObject(u"Agent.Control.1", nullptr, &agent)) && agent) {
        PutValue(agent, u"Connected = %b", 1);
        CallMethod(agent, u"Characters.Load(%T)", "Genie");
        IDispatch* character = nullptr;
        GetValue(u"%o", &character, agent, u"Characters(%T)", "Genie");
        if (character) {
            ActOut(character, temperatureWhole, waits);
            character->Release();
        }
        agent->Release();
    }
    AutomationShutdown(1);
}
