#include "agent_sequence.h"

#include "agent_control.h"
#include "automation.h"
#include "gui_thread.h"

#include <QGuiApplication>
#include <QScreen>

#include <chrono>
#include <string>
#include <thread>

namespace {

void Wait(const AgentSequenceWaits& waits, int ms)
{
    if (waits.wait)
        waits.wait(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetControlsEnabled(const AgentSequenceHost& host, bool enabled)
{
    if (host.setControlsEnabled)
        PostToGuiThread(host.guiContext, [set = host.setControlsEnabled, enabled] { set(enabled); });
}

// Half the primary display's width less 50, a quarter of its height; 0, 0
// when there is no display to ask.
QPoint AgentPosition()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    QPoint position;
    RunOnGuiThread([&position] {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            position = QPoint(screen->size().width() / 2 - 50, screen->size().height() / 4);
    });
    return position;
}

std::string SpokenText(const AgentSequenceHost& host)
{
    const std::int32_t whole = host.temperatureWhole ? host.temperatureWhole->load() : 0;
    return "Current temperature " + std::to_string(whole) + " °C";
}

void ActOut(IDispatch* character, QPoint position, const AgentSequenceHost& host, const AgentSequenceWaits& waits)
{
    CallMethod(character, u"Show");
    Wait(waits, waits.afterShow);
    CallMethod(character, u"MoveTo(%d,%d)", position.x(), position.y());
    CallMethod(character, u"Play(%T)", "Greet");
    // Read only now, so a reading that came during the wait is the one said.
    const std::string text = SpokenText(host);
    CallMethod(character, u"Speak(%T)", text.c_str());
    CallMethod(character, u"Play(%T)", "Reading");
    Wait(waits, waits.afterReading);
    CallMethod(character, u"Stop");
    Wait(waits, waits.afterStop);
    CallMethod(character, u"Play(%T)", "Hide");
    Wait(waits, waits.afterHide);
}

}  // namespace

void RunAgentSequence(const AgentSequenceHost& host, const AgentSequenceWaits& waits)
{
    AutomationInit(1, 0);
    const QPoint position = AgentPosition();
    SetErrorDisplay(1);
    IDispatch* agent = nullptr;
    if (SUCCEEDED(CreateObject(u"Agent.Control.1", nullptr, &agent)) && agent) {
        PutValue(agent, u"Connected = %b", 1);
        CallMethod(agent, u"Characters.Load(%T)", "Genie");
        IDispatch* character = nullptr;
        GetValue(u"%o", &character, agent, u"Characters(%T)", "Genie");
        if (character) {
            ActOut(character, position, host, waits);
            character->Release();
        }
        agent->Release();
    }
    AutomationShutdown(1);
    SetControlsEnabled(host, true);
}

void StartAgentSequence(const AgentSequenceHost& host)
{
    RegisterAgentControl();
    std::thread([host] { RunAgentSequence(host); }).detach();
}
