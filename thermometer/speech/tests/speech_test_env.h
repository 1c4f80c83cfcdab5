// A private home for each test process: its own runtime, config and cache
// directories, so no test reaches the user's speech service or sound.
#pragma once

#include <string>

enum class ServiceSetup {
  Absent,    // no daemon can be started
  NullAudio, // speech-dispatcher with espeak-ng, audio to ALSA's null device
};

// The private directory of this test process.
const std::string& TestHome();
// Path of the per-user speech-dispatcher configuration.
std::string SpeechdConfigPath();
// Replaces the per-user configuration (before SpeechInit).
void WriteSpeechdConfig(const std::string& text);

// Sends the daemon's audio to a raw file through an ALSA file device (before
// SpeechInit); returns the file's path.
std::string UseAlsaFileDevice();

// Runs each selected test case in a child process of its own inside a fresh
// private home, then waits for any daemon the child started to leave and
// removes the home. Returns 0 when every case passed.
int RunTestsIsolated(int argc, char** argv, ServiceSetup setup);
