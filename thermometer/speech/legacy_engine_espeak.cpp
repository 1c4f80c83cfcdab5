// espeak-ng in process. The program lets espeak-ng play through its own audio
// output; without a sound device espeak-ng then reports no events at all, so
// nothing here ever waits for one. Tests render into memory instead, which
// delivers every event.
#include <espeak-ng/speak_lib.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "speech_engines.h"
#include "speech_probe.h"

namespace {

struct LegacyState {
  std::mutex api;    // espeak-ng is not thread-safe
  std::mutex events; // never held across an espeak-ng call
  bool tried = false;
  int32_t running = 0;
  std::atomic<EngineEventSink> sink{nullptr};
  SpeechSampleSink samples = nullptr;
  uint64_t active = 0;
  bool started = false;
  bool ended = true;
};

// Never freed: espeak-ng's thread may still call back while the process ends.
LegacyState& State() {
  static LegacyState* state = new LegacyState;
  return *state;
}

void Report(uint64_t utterance, EngineEvent event, int32_t position) {
  const EngineEventSink sink = State().sink.load();
  if (sink && utterance != 0) sink(utterance, event, position);
}

// Sorts one espeak-ng event into Start/Word/End for the utterance still active.
void HandleEvent(const espeak_EVENT& e) {
  const auto utterance = reinterpret_cast<uintptr_t>(e.user_data);
  bool start = false;
  bool end = false;
  {
    std::lock_guard lock(State().events);
    if (utterance != State().active || State().ended) return;
    start = !State().started;
    State().started = true;
    if (e.type == espeakEVENT_MSG_TERMINATED) end = State().ended = true;
  }
  if (start) Report(utterance, EngineEvent::Start, 0);
  if (e.type == espeakEVENT_WORD && e.text_position > 0)
    Report(utterance, EngineEvent::Word, e.text_position - 1);
  if (end) Report(utterance, EngineEvent::End, 0);
}

// The list's terminator carries the text's user data too, so a chunk of
// samples without any event of its own is still recognised as cut off.
bool IsCutOff(const espeak_EVENT* events) {
  std::lock_guard lock(State().events);
  for (const espeak_EVENT* e = events; e; ++e) {
    if (reinterpret_cast<uintptr_t>(e->user_data) != State().active) return true;
    if (e->type == espeakEVENT_LIST_TERMINATED) break;
  }
  return false;
}

int OnSynth(short* wav, int count, espeak_EVENT* events) {
  // Returning 1 stops synthesis at once; espeak_Cancel alone may let a text
  // already being rendered run on to its end.
  if (IsCutOff(events)) return 1;
  if (State().samples && wav && count > 0) State().samples(wav, count);
  for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) HandleEvent(*e);
  return 0;
}

bool HasRussian(const espeak_VOICE& voice) {
  // languages: (priority byte, name, NUL) repeated, ended by a zero priority.
  for (const char* p = voice.languages; p && *p; p += std::strlen(p + 1) + 2) {
    if (std::strncmp(p + 1, "ru", 2) == 0 && (p[3] == '\0' || p[3] == '-')) return true;
  }
  return false;
}

bool SpeaksLanguage(const espeak_VOICE& voice, const std::string& language) {
  for (const char* p = voice.languages; p && *p; p += std::strlen(p + 1) + 2) {
    if (language == p + 1) return true;
  }
  return false;
}

// espeak-ng falls back to some voice for any language asked for; only a
// language that an installed voice names is taken.
bool HasLanguage(const std::string& language) {
  const espeak_VOICE** list = espeak_ListVoices(nullptr);
  for (int i = 0; list && list[i]; ++i) {
    if (SpeaksLanguage(*list[i], language)) return true;
  }
  return false;
}

bool SetVoice(const LegacyVoice& voice) {
  if (!voice.name.empty()) return espeak_SetVoiceByName(voice.name.c_str()) == EE_OK;
  if (!HasLanguage(voice.language)) return false;
  espeak_VOICE wanted{};
  wanted.languages = voice.language.c_str();
  return espeak_SetVoiceByProperties(&wanted) == EE_OK;
}

// Marks the cut-off utterance as ended and reports it, as a purged stream ends.
void BeginUtterance(uint64_t utterance) {
  uint64_t cut = 0;
  {
    std::lock_guard lock(State().events);
    if (State().started && !State().ended) cut = State().active;
    State().active = utterance;
    State().started = false;
    State().ended = false;
  }
  if (cut != 0) Report(cut, EngineEvent::End, 0);
}

}  // namespace

void SpeechProbeUseRetrieval(SpeechSampleSink sink) {
  std::lock_guard lock(State().api);
  if (!State().tried) State().samples = sink;
}

int32_t LegacyEngineStart(EngineEventSink sink) {
  std::lock_guard lock(State().api);
  // The agent may start espeak-ng before the window does.
  if (sink) State().sink = sink;
  if (State().tried) return State().running;
  State().tried = true;
  const auto output = State().samples ? AUDIO_OUTPUT_RETRIEVAL : AUDIO_OUTPUT_PLAYBACK;
  // DONT_EXIT: a missing data file must not end the whole program.
  if (espeak_Initialize(output, 0, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0) return 0;
  espeak_SetSynthCallback(OnSynth);
  State().running = 1;
  return 1;
}

std::vector<LegacyVoice> LegacyEngineVoices() {
  std::lock_guard lock(State().api);
  std::vector<LegacyVoice> voices;
  if (!State().running) return voices;
  const espeak_VOICE** list = espeak_ListVoices(nullptr);
  for (int i = 0; list && list[i]; ++i) {
    if (!HasRussian(*list[i]) || !list[i]->name) continue;
    voices.push_back({list[i]->name, list[i]->languages + 1});
  }
  return voices;
}

void LegacyEngineStopUnreported() {
  std::lock_guard lock(State().api);
  if (!State().running) return;
  {
    std::lock_guard events(State().events);
    if (State().active != 0) return;  // the window's speech is not ours to stop
    // No utterance has this number, so the synthesis callback cuts off at once.
    State().active = UINT64_MAX;
    State().ended = true;
  }
  espeak_Cancel();
}

int32_t LegacyEngineSpeak(const LegacyVoice& voice, int32_t volume, const std::string& text,
                          uint64_t utterance) {
  std::lock_guard lock(State().api);
  if (!State().running) return 0;
  BeginUtterance(utterance);
  espeak_Cancel();
  if (!SetVoice(voice)) return 0;
  espeak_SetParameter(espeakVOLUME, volume, 0);
  const espeak_ERROR result =
      espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                   reinterpret_cast<void*>(static_cast<uintptr_t>(utterance)));
  return result == EE_OK ? 1 : 0;
}
