// speech-dispatcher through libspeechd. Every libspeechd call runs on one
// worker thread: a daemon without working audio makes spd_say block, and one
// that does not answer makes even spd_open2 block, so the window only ever
// leaves requests in a mailbox here.
#include <libspeechd.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "speech_engines.h"
#include "speech_probe.h"

namespace {

// Late: start-up stopped waiting; a connection made after that still joins.
enum class Link { Connecting, Ready, Failed, Late };

struct Mailbox {
  bool selectPending = false;
  int32_t module = 0;
  bool volumePending = false;
  int32_t volume = 0;
  bool sayPending = false;
  std::string ssml;
  uint64_t utterance = 0;
};

// One entry of the list: a voice of an output module, or the module itself
// (voice empty: the module picks its own voice for Russian).
struct ServiceVoice {
  std::string module;
  std::string voice;
};

struct ModernState {
  std::mutex mutex;
  std::condition_variable changed;
  Link link = Link::Connecting;
  EngineEventSink sink = nullptr;
  void (*listChanged)() = nullptr;
  std::vector<ServiceVoice> voices;
  Mailbox mailbox;
  std::map<size_t, uint64_t> utteranceOfMessage;
  uint64_t sending = 0;  // utterance being handed over, before its id is known
  std::vector<std::string> trace;
};

// Never freed: a worker stuck in a daemon call may outlive everything else.
ModernState& State() {
  static ModernState* state = new ModernState;
  return *state;
}

uint64_t UtteranceOf(size_t message) {
  const auto found = State().utteranceOfMessage.find(message);
  return found != State().utteranceOfMessage.end() ? found->second : State().sending;
}

void OnNotification(size_t message, size_t, SPDNotificationType type) {
  static const std::map<SPDNotificationType, const char*> names = {
      {SPD_EVENT_BEGIN, "begin"}, {SPD_EVENT_END, "end"}, {SPD_EVENT_CANCEL, "cancel"}};
  const auto name = names.find(type);
  if (name == names.end()) return;
  uint64_t utterance = 0;
  {
    std::lock_guard lock(State().mutex);
    utterance = UtteranceOf(message);
    State().trace.push_back(std::string(name->second) + " " + std::to_string(utterance));
  }
  // A cancelled message has ended as far as the listener is concerned.
  const EngineEvent event = type == SPD_EVENT_BEGIN ? EngineEvent::Start : EngineEvent::End;
  if (State().sink && utterance != 0) State().sink(utterance, event, 0);
}

void OnIndexMark(size_t message, size_t, SPDNotificationType, char* mark) {
  if (!mark || !State().sink) return;
  char* end = nullptr;
  const long position = std::strtol(mark, &end, 10);
  if (end == mark || position < 0 || position > INT32_MAX) return;
  uint64_t utterance = 0;
  {
    std::lock_guard lock(State().mutex);
    utterance = UtteranceOf(message);
  }
  if (utterance != 0) State().sink(utterance, EngineEvent::Word, static_cast<int32_t>(position));
}

std::vector<std::string> ListModules(SPDConnection* connection) {
  std::vector<std::string> modules;
  char** list = spd_list_modules(connection);
  for (int i = 0; list && list[i]; ++i) modules.emplace_back(list[i]);
  if (list) free_spd_modules(list);
  return modules;
}

bool SpeaksRussian(const char* language) {
  if (!language || std::tolower(static_cast<unsigned char>(language[0])) != 'r' ||
      std::tolower(static_cast<unsigned char>(language[1])) != 'u')
    return false;
  return language[2] == '\0' || language[2] == '-' || language[2] == '_';
}

// The service lists each voice once plainly and once per variant, as
// "Russian+Alex" with variant "Alex"; a person chooses among voices.
std::string WithoutVariant(const SPDVoice& voice) {
  std::string name = voice.name;
  if (voice.variant && *voice.variant && std::strcmp(voice.variant, "none") != 0) {
    const std::string suffix = std::string("+") + voice.variant;
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      name.resize(name.size() - suffix.size());
  }
  return name;
}

void AddRussianVoices(SPDConnection* connection, const std::string& module,
                      std::vector<ServiceVoice>& voices) {
  if (spd_set_output_module(connection, module.c_str()) != 0) return;
  SPDVoice** list = spd_list_synthesis_voices(connection);
  std::set<std::string> seen;
  for (int i = 0; list && list[i]; ++i) {
    if (!list[i]->name || !SpeaksRussian(list[i]->language)) continue;
    std::string name = WithoutVariant(*list[i]);
    if (seen.insert(name).second) voices.push_back({module, std::move(name)});
  }
  if (list) free_spd_voices(list);
}

// Entries for modules whose voices are not known (yet).
std::vector<ServiceVoice> ModuleEntries(const std::vector<std::string>& modules) {
  std::vector<ServiceVoice> entries;
  for (const auto& module : modules) entries.push_back({module, ""});
  return entries;
}

// Listing voices takes seconds (thousands of voice x variant entries), so it
// runs on a connection and thread of its own while the worker serves
// requests. A module that lists no Russian voice keeps its own entry.
void ListVoices(std::vector<std::string> modules) {
  char* error = nullptr;
  SPDConnection* connection =
      spd_open2("Ambrel", "voices", nullptr, SPD_MODE_SINGLE, nullptr, 0, &error);
  std::free(error);
  if (!connection) return;
  std::vector<ServiceVoice> voices;
  for (const auto& module : modules) {
    const size_t before = voices.size();
    AddRussianVoices(connection, module, voices);
    if (voices.size() == before) voices.push_back({module, ""});
  }
  spd_close(connection);
  {
    std::lock_guard lock(State().mutex);
    State().voices = std::move(voices);
  }
  if (State().listChanged) State().listChanged();
}

SPDConnection* Connect() {
  char* error = nullptr;
  SPDConnection* connection =
      spd_open2("Ambrel", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
  std::free(error);
  if (!connection) return nullptr;
  connection->callback_begin = OnNotification;
  connection->callback_end = OnNotification;
  connection->callback_cancel = OnNotification;
  connection->callback_im = OnIndexMark;
  spd_set_notification_on(connection, SPD_BEGIN);
  spd_set_notification_on(connection, SPD_END);
  spd_set_notification_on(connection, SPD_CANCEL);
  spd_set_notification_on(connection, SPD_INDEX_MARKS);
  spd_set_data_mode(connection, SPD_DATA_SSML);
  spd_set_language(connection, "ru");
  return connection;
}

void Say(SPDConnection* connection, const Mailbox& wish) {
  {
    std::lock_guard lock(State().mutex);
    State().sending = wish.utterance;
  }
  spd_cancel(connection);
  const int message = spd_say(connection, SPD_TEXT, wish.ssml.c_str());
  std::lock_guard lock(State().mutex);
  if (message > 0) State().utteranceOfMessage[static_cast<size_t>(message)] = wish.utterance;
  State().sending = 0;
}

void Select(SPDConnection* connection, int32_t index) {
  ServiceVoice chosen;
  {
    std::lock_guard lock(State().mutex);
    if (index < 0 || index >= static_cast<int32_t>(State().voices.size())) return;
    chosen = State().voices[index];
  }
  spd_set_output_module(connection, chosen.module.c_str());
  // Without a voice name the module picks its own default for the language.
  spd_set_language(connection, "ru");
  if (!chosen.voice.empty()) spd_set_synthesis_voice(connection, chosen.voice.c_str());
}

void Apply(SPDConnection* connection, const Mailbox& wish) {
  if (wish.selectPending) Select(connection, wish.module);
  if (wish.volumePending) spd_set_volume(connection, wish.volume);
  if (wish.sayPending) Say(connection, wish);
}

[[noreturn]] void Serve(SPDConnection* connection) {
  for (;;) {
    Mailbox wish;
    {
      std::unique_lock lock(State().mutex);
      State().changed.wait(lock, [] {
        const Mailbox& m = State().mailbox;
        return m.selectPending || m.volumePending || m.sayPending;
      });
      wish = std::move(State().mailbox);
      State().mailbox = Mailbox{};
    }
    Apply(connection, wish);
  }
}

void Work() {
  SPDConnection* connection = Connect();
  std::vector<std::string> modules = connection ? ListModules(connection) : std::vector<std::string>{};
  bool ready = false;
  bool late = false;
  {
    std::lock_guard lock(State().mutex);
    late = State().link == Link::Late;
    State().link = connection ? Link::Ready : Link::Failed;
    State().voices = ModuleEntries(modules);
    ready = State().link == Link::Ready;
    State().changed.notify_all();
  }
  if (!ready) return;
  if (late && State().listChanged) State().listChanged();
  try {
    std::thread(ListVoices, modules).detach();
  } catch (const std::system_error&) {
    // The modules stay in the list, each speaking with its own voice.
  }
  Serve(connection);
}

void Post(const std::function<void(Mailbox&)>& change) {
  std::lock_guard lock(State().mutex);
  if (State().link != Link::Ready) return;
  change(State().mailbox);
  State().changed.notify_all();
}

}  // namespace

int32_t ModernVoiceStart(EngineEventSink sink, int32_t waitMs, void (*listChanged)()) {
  State().sink = sink;
  State().listChanged = listChanged;
  try {
    std::thread(Work).detach();
  } catch (const std::system_error&) {
    return 0;  // no thread, no service: espeak-ng still speaks
  }
  std::unique_lock lock(State().mutex);
  State().changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                           [] { return State().link != Link::Connecting; });
  if (State().link == Link::Connecting) State().link = Link::Late;
  return State().link == Link::Ready ? 1 : 0;
}

std::vector<std::string> ModernVoiceNames() {
  std::lock_guard lock(State().mutex);
  std::vector<std::string> names;
  for (const auto& entry : State().voices) names.push_back(entry.voice.empty() ? entry.module : entry.voice);
  return names;
}

void ModernVoiceSelect(int32_t index) {
  Post([index](Mailbox& m) {
    m.selectPending = true;
    m.module = index;
  });
}

void ModernVoiceSetVolume(int32_t volume) {
  Post([volume](Mailbox& m) {
    m.volumePending = true;
    m.volume = volume;
  });
}

void ModernVoiceSay(const std::string& ssml, uint64_t utterance) {
  Post([&ssml, utterance](Mailbox& m) {
    m.sayPending = true;
    m.ssml = ssml;
    m.utterance = utterance;
  });
}

std::vector<std::string> SpeechProbeServiceTrace() {
  std::lock_guard lock(State().mutex);
  return State().trace;
}
