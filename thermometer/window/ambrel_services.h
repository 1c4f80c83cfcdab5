// What the window needs from the speech output and the agent character,
// gathered in one record so that tests can put their own in place.
#pragma once

#include "speech_api.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

// Starts the agent sequence on a thread of its own; the window has disabled
// its controls before. The sequence reads temperatureWhole once and calls
// setControlsEnabled(true) on window's thread at its end.
using AgentStarter = void (*)(const std::atomic<std::int32_t>* temperatureWhole, QWidget* window,
                              std::function<void(bool enabled)> setControlsEnabled);

struct AmbrelServices {
    SpeechApi speech;
    AgentStarter startAgent = nullptr;  // null: the agent is left out
};

// The system's speech output and agent character (speech_binding.cpp,
// agent_binding.cpp).
SpeechApi SystemSpeech();
AgentStarter SystemAgent();
