// The two engine back ends behind the voice table. Each lives in its own file
// with its library's calls: legacy_engine_espeak.cpp, modern_voice_speechd.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class EngineEvent { Start, End, Word };

// Engines report on their own threads. `utterance` is the id given with the
// text (0: nobody wants events for it); `position` is the 0-based code point
// index of the word in the text handed to the engine (Word only).
using EngineEventSink = void (*)(uint64_t utterance, EngineEvent event, int32_t position);

// ---- kind 4: espeak-ng in process ----

constexpr int32_t kLegacyVolumeLowest = 0;
constexpr int32_t kLegacyVolumeHighest = 100;  // espeak-ng's normal; above it clips

struct LegacyVoice {
  std::string name;      // "Russian"
  std::string language;  // "ru"
};

// Starts espeak-ng once (later calls only report). 1 when it runs, 0 otherwise.
// A non-null sink replaces the one events go to.
int32_t LegacyEngineStart(EngineEventSink sink);
// Installed voices whose language is Russian, in espeak-ng's order.
std::vector<LegacyVoice> LegacyEngineVoices();
// Cuts off what is being spoken and starts `text` (UTF-8) at `volume`. The voice
// is chosen by name, or by language when the name is empty. 1 when started.
// Thread-safe.
int32_t LegacyEngineSpeak(const LegacyVoice& voice, int32_t volume, const std::string& text,
                          uint64_t utterance);

// Cuts off speech of utterance 0 (the agent's, which reports no events);
// speech of any other utterance goes on. Thread-safe.
void LegacyEngineStopUnreported();

// ---- kind 5: speech-dispatcher ----

constexpr int32_t kModernVolumeLowest = -100;
constexpr int32_t kModernVolumeHighest = 100;

// Connects (starting the daemon if needed) on a worker thread and waits at most
// waitMs for it, so a daemon that is slow to start or hangs costs start-up no
// more than waitMs. 1 when connected in time. A connection made later still
// joins. listChanged is called, on a worker thread, whenever the list changes
// after this returned: when a late connection joins, and when the voices have
// been listed. Call once.
int32_t ModernVoiceStart(EngineEventSink sink, int32_t waitMs, void (*listChanged)());
// The service's voices that speak Russian, under the service's names (no
// variants). Until they are listed (seconds after connecting), and for a
// module that lists no Russian voice, the output module itself stands in
// under its name and speaks with its own voice for Russian.
std::vector<std::string> ModernVoiceNames();
// Requests for the worker thread; they never block. A newer request of the
// same sort replaces one the worker has not taken yet.
void ModernVoiceSelect(int32_t index);
void ModernVoiceSetVolume(int32_t volume);
void ModernVoiceSay(const std::string& ssml, uint64_t utterance);
