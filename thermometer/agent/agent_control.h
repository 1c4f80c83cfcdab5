// The agent component "Agent.Control.1": an animated character of our own
// in a frameless, always-on-top window, driven through dispatch calls.
//
//   agent.Connected                  (get/put boolean)
//   agent.Characters                 the character collection
//   agent.Characters.Load(name)      loads "Genie"; other names raise an exception
//   agent.Characters(name)           a loaded character (also .Character(name), .Item(name))
//   character.Show / Hide / MoveTo(x, y) / Play(animation) / Speak(text) / Stop
//
// Animations: "Greet", "Reading", "Hide" (and "Show", "Idle"). Calls queue
// a request for the window's thread and return at once; the character acts
// them out one after another. Stop ends the current request and drops the
// queued ones. Without a QApplication, Load raises an exception.
#pragma once

#include "com.h"

#include <string>
#include <vector>

extern const CLSID CLSID_AgentControl;

// Makes "Agent.Control.1" known to the component system. Calling it again
// is harmless.
HRESULT RegisterAgentControl();
HRESULT RevokeAgentControl();

// How the character's voice speaks English text (UTF-8). The default is the
// speech output's English voice; tests put a recorder in. Null restores it.
using AgentSpeechFunction = void (*)(const std::string& text);
void SetAgentSpeechFunction(AgentSpeechFunction speak);

// Scales every animation's length: 1 normally; 0 makes each request finish
// as soon as it starts, so tests need not wait.
void SetAgentTimeScale(double scale);

// The requests the character has started acting out, oldest first (at most
// the last 64), e.g. "Show", "MoveTo 590 150", "Play Greet", "Speak text".
std::vector<std::string> AgentRequestHistory();
void ClearAgentRequestHistory();
