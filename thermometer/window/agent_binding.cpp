// The agent character, driven through the automation layer.
#include "ambrel_services.h"

#include "agent_sequence.h"

#include <QWidget>

namespace {

void StartAgent(const std::atomic<std::int32_t>* temperatureWhole, QWidget* window,
                std::function<void(bool)> setControlsEnabled)
{
    AgentSequenceHost host;
    host.temperatureWhole = temperatureWhole;
    host.setControlsEnabled = std::move(setControlsEnabled);
    host.guiContext = window;
    StartAgentSequence(host);
}

}  // namespace

AgentStarter SystemAgent()
{
    return StartAgent;
}
