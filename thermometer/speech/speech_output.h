// Ambrel's speech output: one numbered voice list merged from two engines.
//
//   kind 5  speech-dispatcher (libspeechd): the desktop speech service, one entry
//           per voice that speaks Russian, under the service's name for it
//           (variants left out). The service's voice x variant list takes
//           seconds to fetch, so at first each output module stands in with
//           its own voice for Russian; the voices take their place when listed
//           (SpeechOnVoicesChanged). A module without a Russian voice keeps
//           its own entry.
//   kind 4  espeak-ng in process (libespeak-ng): one entry per installed Russian
//           voice; speaks even where no speech service runs.
//
// On Windows (windows/speech_output_windows.cpp) kind 5 is the Speech API 5
// automation voice and kind 4 the Speech API 4 text-to-speech control; there
// the callbacks come on the main thread from the engines themselves, and the
// agent's English voice (SpeechSayWithLanguage) does not exist.
//
// The table holds the kind-5 voices first, then the kind-4 voices. Every function
// returns an integer result and never throws. Texts are UTF-8.
//
// Threads: SpeechInit, SpeechSelectVoice, SpeechSetVolume and SpeechSay are meant
// for the main (Qt) thread and never block on the speech service: requests to
// speech-dispatcher are handed to a worker thread. The three callbacks are always
// delivered on the thread that owns the QCoreApplication (queued), never on an
// engine thread; without a QCoreApplication no callback is delivered.
#pragma once

#include <cstdint>
#include <string>

// Callbacks. Their results are ignored (the window's callbacks return 0).
// A null pointer means "no callback".
using SpeechEventCallback = int32_t (*)();
// position: 0-based character (code point) index, in the text given to
// SpeechSay, of the word that is starting.
using SpeechWordCallback = int32_t (*)(int32_t position);

// Starts both engines and builds the voice table. Result: 1 when the speech
// service is available plus 2 when espeak-ng is (0 to 3); 0 means no speech at
// all. Does not wait for the speech service (which it starts if needed) when
// espeak-ng runs, and waits at most 2 s when the service is the only engine that
// could exist. A service that is absent, slow or hanging just leaves kind 5 out
// (result 2, or 0 without espeak-ng); one that answers later still joins (see
// SpeechOnVoicesChanged). Calling it again keeps the first table and returns the
// first result.
int32_t SpeechInit(SpeechEventCallback onStart, SpeechEventCallback onEnd,
                   SpeechWordCallback onWord);

// While espeak-ng runs, start-up does not wait for the speech service (a
// running one answers in milliseconds; starting the daemon takes about a
// second). When it answers, its entries are put at the front of the
// table, and when its voices have been listed they replace its modules'
// entries; each time this callback runs on the main thread: indexes have
// moved, so read the list afresh. A selected espeak-ng voice stays selected;
// after a change of the service's entries its first one is current.
using SpeechVoicesChangedCallback = void (*)();
void SpeechOnVoicesChanged(SpeechVoicesChangedCallback callback);

// Number of voices in the table minus one; -1 when there is none.
int32_t SpeechLastVoiceIndex();

// Display name of voice `index`; "Unavailable" for an index outside the table.
// Kind 4 voices carry two names (the voice's name and its language): the shorter
// one is shown, the language on equal length.
std::string SpeechVoiceName(int32_t index);

// Makes voice `index` the current one. 1 when selected; 0 (nothing changed) for
// an index outside the table.
int32_t SpeechSelectVoice(int32_t index);

// Volume of the current voice's engine, percent 0..100 mapped onto that engine's
// range (speech-dispatcher -100..100, espeak-ng 0..100 of its normal level).
// 1 when applied; 0 when the table is empty or percent is outside 0..100.
int32_t SpeechSetVolume(int32_t percent);

// Speaks `text` (UTF-8) with the current voice, asynchronously: returns at once
// and cuts off any text still being spoken. "°C" after a number is spoken as
// Russian words ("градусов Цельсия" with the right plural); malformed UTF-8 is
// spoken as far as it goes. 1 when handed to the engine; 0 when the table is
// empty or text is null. Where espeak-ng has no sound device it plays nothing
// and reports no events; nothing waits for them.
int32_t SpeechSay(const char* text);
inline int32_t SpeechSay(const std::string& text) { return SpeechSay(text.c_str()); }

// For the agent character: speaks `text` (UTF-8) with espeak-ng's voice for
// `language` (an espeak-ng language code such as "en" or "en-us"), independent of
// the voice table and the current voice, at the volume given (percent 0..100).
// Safe to call from any thread, also without SpeechInit (espeak-ng is started on
// first use). Asynchronous and cutting off like SpeechSay; the window's callbacks
// are not called for it. 1 when handed to espeak-ng; 0 when espeak-ng cannot
// start, the language has no voice, text is null or percent is outside 0..100.
int32_t SpeechSayWithLanguage(const char* text, const char* language, int32_t percent = 100);

// Cuts off what SpeechSayWithLanguage is speaking; the window's speech goes on.
// Safe to call from any thread, also when nothing is being spoken.
void SpeechStopWithLanguage();
