#include "speech_output.h"

#include <atomic>
#include <mutex>

#include "speech_engines.h"
#include "speech_events.h"
#include "speech_probe.h"
#include "speech_text.h"
#include "voice_table.h"

namespace {

constexpr const char* kUnavailable = "Unavailable";

struct SpeechState {
  bool initialised = false;
  int32_t engines = 0;
  std::vector<VoiceEntry> table;
  std::vector<std::string> modernNames;
  std::vector<LegacyVoice> legacyVoices;
  int32_t current = 0;
  int32_t legacyVolume = kLegacyVolumeHighest;
  int32_t serviceWaitMs = -1;  // tests: replaces ServiceWaitMs when not negative
  std::atomic<SpeechVoicesChangedCallback> onVoicesChanged{nullptr};
  std::atomic<SpeechEventCallback> onStart{nullptr};
  std::atomic<SpeechEventCallback> onEnd{nullptr};
  std::atomic<SpeechWordCallback> onWord{nullptr};
  // Guards what engine threads read: the utterance whose words are reported.
  std::mutex utteranceMutex;
  uint64_t lastUtterance = 0;
  std::vector<int32_t> sourceIndex;
  std::string lastEngineText;
};

// Never freed: engine threads may report while the process ends.
SpeechState& State() {
  static SpeechState* state = new SpeechState;
  return *state;
}

bool InTable(int32_t index) {
  return index >= 0 && index < static_cast<int32_t>(State().table.size());
}

// Engine thread: turns the engine's position into one in the caller's text.
int32_t SourcePosition(uint64_t utterance, int32_t enginePosition) {
  std::lock_guard lock(State().utteranceMutex);
  if (utterance != State().lastUtterance) return -1;
  const auto& map = State().sourceIndex;
  if (enginePosition < 0 || enginePosition >= static_cast<int32_t>(map.size())) return -1;
  return map[enginePosition];
}

void OnEngineEvent(uint64_t utterance, EngineEvent event, int32_t position) {
  if (event == EngineEvent::Start) {
    RunOnMainThread([] {
      if (auto callback = State().onStart.load()) callback();
    });
  } else if (event == EngineEvent::End) {
    RunOnMainThread([] {
      if (auto callback = State().onEnd.load()) callback();
    });
  } else {
    const int32_t source = SourcePosition(utterance, position);
    if (source < 0) return;  // a word of speech already cut off
    RunOnMainThread([source] {
      if (auto callback = State().onWord.load()) callback(source);
    });
  }
}

uint64_t NextUtterance(SpeakableText&& speakable) {
  std::lock_guard lock(State().utteranceMutex);
  State().sourceIndex = std::move(speakable.sourceIndex);
  State().lastEngineText = speakable.text;
  return ++State().lastUtterance;
}

std::vector<VoiceEntry> BuildTable(int32_t engines) {
  State().modernNames = (engines & 1) ? ModernVoiceNames() : std::vector<std::string>{};
  State().legacyVoices = (engines & 2) ? LegacyEngineVoices() : std::vector<LegacyVoice>{};
  return BuildVoiceTable(static_cast<int32_t>(State().modernNames.size()),
                         static_cast<int32_t>(State().legacyVoices.size()));
}

// Main thread: the service's list (joining late, or its voices taking the
// place of its modules) replaces the front of the table, which is read only on
// this thread; the legacy voices stay as listed at start-up.
void RefreshServiceVoices() {
  const auto before = static_cast<int32_t>(State().modernNames.size());
  const bool hadVoices = !State().table.empty();
  State().engines |= 1;
  State().modernNames = ModernVoiceNames();
  const auto after = static_cast<int32_t>(State().modernNames.size());
  State().table = BuildVoiceTable(after, static_cast<int32_t>(State().legacyVoices.size()));
  // An espeak-ng voice stays current; a service voice gives way to the first.
  if (hadVoices && State().current >= before) {
    State().current += after - before;
  } else {
    State().current = 0;
    if (after > 0) ModernVoiceSelect(0);
  }
  if (auto callback = State().onVoicesChanged.load()) callback();
}

void OnServiceListChanged() { RunOnMainThread(RefreshServiceVoices); }

// How long start-up waits for the speech service to answer. A running service
// answers within milliseconds; starting its daemon takes about a second, more
// on a loaded machine.
int32_t ServiceWaitMs(int32_t espeakRuns) {
  if (State().serviceWaitMs >= 0) return State().serviceWaitMs;
  // espeak-ng speaks already: the window does not wait for the service, whose
  // voices join the list when it answers (running or still starting).
  if (espeakRuns) return 0;
  // The service is the only engine that could exist, and without an engine
  // Ambrel does not start: give its daemon the time it may need.
  return 2000;
}

}  // namespace

void SpeechOnVoicesChanged(SpeechVoicesChangedCallback callback) { State().onVoicesChanged = callback; }

int32_t SpeechInit(SpeechEventCallback onStart, SpeechEventCallback onEnd,
                   SpeechWordCallback onWord) {
  State().onStart = onStart;
  State().onEnd = onEnd;
  State().onWord = onWord;
  if (State().initialised) return State().engines;
  State().initialised = true;
  // espeak-ng starts in process within milliseconds; whether it runs decides
  // how long to wait for the service.
  const int32_t legacy = LegacyEngineStart(OnEngineEvent);
  const int32_t modern = ModernVoiceStart(OnEngineEvent, ServiceWaitMs(legacy), OnServiceListChanged);
  State().engines = modern * 1 + legacy * 2;
  State().table = BuildTable(State().engines);
  return State().engines;
}

int32_t SpeechLastVoiceIndex() { return static_cast<int32_t>(State().table.size()) - 1; }

std::string SpeechVoiceName(int32_t index) {
  if (!InTable(index)) return kUnavailable;
  const VoiceEntry entry = State().table[index];
  if (entry.kind == kModernKind) return State().modernNames[entry.engineIndex];
  const LegacyVoice& voice = State().legacyVoices[entry.engineIndex - 1];
  return ShorterName(voice.name, voice.language);
}

int32_t SpeechSelectVoice(int32_t index) {
  if (!InTable(index)) return 0;
  const VoiceEntry entry = State().table[index];
  // espeak-ng takes its voice with each text, as other callers share it.
  if (entry.kind == kModernKind) ModernVoiceSelect(entry.engineIndex);
  State().current = index;
  return 1;
}

int32_t SpeechSetVolume(int32_t percent) {
  if (State().table.empty() || percent < 0 || percent > 100) return 0;
  if (State().table[State().current].kind == kModernKind) {
    ModernVoiceSetVolume(ScaleVolume(percent, kModernVolumeLowest, kModernVolumeHighest));
  } else {
    State().legacyVolume = ScaleVolume(percent, kLegacyVolumeLowest, kLegacyVolumeHighest);
  }
  return 1;
}

int32_t SpeechSay(const char* text) {
  if (State().table.empty() || !text) return 0;
  const VoiceEntry entry = State().table[State().current];
  SpeakableText speakable = MakeRussianSpeakable(text);
  const std::string engineText = speakable.text;
  const uint64_t utterance = NextUtterance(std::move(speakable));
  if (entry.kind == kModernKind) {
    ModernVoiceSay(BuildSsmlWithWordMarks(engineText), utterance);
    return 1;
  }
  const LegacyVoice& voice = State().legacyVoices[entry.engineIndex - 1];
  return LegacyEngineSpeak(voice, State().legacyVolume, engineText, utterance);
}

int32_t SpeechSayWithLanguage(const char* text, const char* language, int32_t percent) {
  if (!text || !language || !*language || percent < 0 || percent > 100) return 0;
  if (!LegacyEngineStart(nullptr)) return 0;
  const int32_t volume = ScaleVolume(percent, kLegacyVolumeLowest, kLegacyVolumeHighest);
  // Utterance 0: the agent's speech raises none of the window's callbacks.
  return LegacyEngineSpeak(LegacyVoice{"", language}, volume, MakePlainSpeakable(text).text, 0);
}

void SpeechStopWithLanguage() { LegacyEngineStopUnreported(); }

void SpeechProbeSetServiceWait(int32_t ms) { State().serviceWaitMs = ms; }

std::string SpeechProbeLastEngineText() {
  std::lock_guard lock(State().utteranceMutex);
  return State().lastEngineText;
}
