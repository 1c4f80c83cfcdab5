// The agent sequence on Windows: Microsoft Agent's character "Genie" shows
// itself, greets, says the temperature in English, reads for a while and
// hides, driven through the automation layer. Where Microsoft Agent is not
// installed, the layer's error box reports the failed creation and the
// sequence ends.
#pragma once

#include <atomic>
#include <cstdint>

// The sequence's pauses in milliseconds; tests shorten them.
struct AgentSequenceWaits {
    int afterShow = 3000;
    int afterReading = 8000;
    int afterStop = 4000;
    int afterHide = 3000;
};

// Runs on the calling thread (not the window's: it waits in sleeps) with the
// component system initialised for it. Reads temperatureWhole once, when the
// spoken text is made after the character has shown itself.
void RunAgentSequence(const std::atomic<std::int32_t>* temperatureWhole, const AgentSequenceWaits& waits = {});
