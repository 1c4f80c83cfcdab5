// The agent sequence: the animated character greets, says the current
// temperature in English, reads for a while and hides.
//
// It runs on a thread of its own and talks to the character only through the
// automation layer, so a missing or broken agent shows the layer's error box
// and the sequence simply goes on to its end.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

class QObject;

// What the sequence needs from the program that starts it.
struct AgentSequenceHost {
    // The program-wide temperature in whole degrees; read once, when the
    // spoken text is made. Must outlive the sequence. Null reads as 0.
    const std::atomic<std::int32_t>* temperatureWhole = nullptr;

    // Enables VoiceList, VolumeSlider, WizardCheck and SayButton again (with
    // true) at the sequence's end. The caller disables them itself before it
    // starts the sequence, so that no second press is taken in between. Run
    // on the GUI thread through a queued call, never on the sequence's
    // thread; the sequence does not wait for it. May be empty.
    std::function<void(bool enabled)> setControlsEnabled;

    // Usually the main window: when it is gone by the time a queued call
    // would run, the call is dropped. Null: always run.
    QObject* guiContext = nullptr;
};

// The sequence's pauses in milliseconds; tests shorten them.
struct AgentSequenceWaits {
    int afterShow = 3000;
    int afterReading = 8000;
    int afterStop = 4000;
    int afterHide = 3000;
    // What a wait does; empty: sleep. Tests act during a wait with it.
    std::function<void(int ms)> wait;
};

// Registers the agent component (ProgID "Agent.Control.1") if needed and
// starts RunAgentSequence on a new detached thread. Returns at once. Call it
// from the GUI thread, with a QApplication in place, after disabling the
// controls.
void StartAgentSequence(const AgentSequenceHost& host);

// The sequence itself, run on the calling thread (which must not be the GUI
// thread: it waits in sleeps). Does not register the agent component.
// Returns when the controls have been asked to enable again.
void RunAgentSequence(const AgentSequenceHost& host, const AgentSequenceWaits& waits = {});
